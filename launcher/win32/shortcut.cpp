// The start-up shortcut through the shell: the current user's Startup folder
// and a shell-link object saved as QRT_SDI.LNK. COM is initialised for the one
// call and released afterwards.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "options.h"
#include "options_dialog.h"

namespace {

bool startup_folder(std::string* out) {
  char path[MAX_PATH];
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_STARTUP, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return false;
  }
  *out = path;
  return !out->empty();
}

bool save(const options::Link& link) {
  const HRESULT init = CoInitialize(nullptr);
  bool saved = false;
  IShellLinkA* shell_link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&shell_link)))) {
    shell_link->SetPath(link.target.c_str());
    shell_link->SetArguments(link.arguments.c_str());
    shell_link->SetDescription(link.description.c_str());
    shell_link->SetWorkingDirectory(link.folder.c_str());
    shell_link->SetIconLocation(link.icon.c_str(), link.icon_index);
    shell_link->SetShowCmd(link.normal_window ? SW_SHOWNORMAL : SW_SHOWMINNOACTIVE);
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      // The file's name goes to the shell as UTF-16, converted from the ANSI code page.
      wchar_t wide[MAX_PATH];
      if (MultiByteToWideChar(CP_ACP, 0, link.path.c_str(), -1, wide, MAX_PATH) > 0) {
        saved = SUCCEEDED(file->Save(wide, TRUE));
      }
      file->Release();
    }
    shell_link->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return saved;
}

}  // namespace

void install_shortcut_shell() { options::shell_set({startup_folder, save}); }
