// uidriver_demo: a small Windows program that shows the kinds of windows the
// product shows (a system-modal message box with a Shift-JIS text, a window with a
// report list view, an edit field and buttons, a page opened in the browser), so
// that the UI driver and the end-to-end scripts can be tested on their own.
//
// Its texts are written through the ANSI (code page 932) APIs, like the product's.
//
//   uidriver_demo box          message box "QRTDEMO" (Yes/No); exit code = button pressed
//   uidriver_demo list         window "QRTDEMO 一覧"; 閉じる ends with 42, closing it with 3
//   uidriver_demo url URL      opens URL with the "open" verb; 0 when the shell took it
//   uidriver_demo form FILE    dialog "QRTDEMO 設定" (combo boxes, check boxes, an edit and a
//                              password edit limited to 8 characters); 保存 writes what the
//                              dialog saw to FILE (Shift-JIS) and ends with 42, ｷｬﾝｾﾙ with 3
//   uidriver_demo link FILE    writes a shortcut to this program (arguments "S", its folder,
//                              a description, icon 2 of this program, normal window)

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "uidriver_demo.h"

namespace {

constexpr int kIdList = 1001;
constexpr int kIdEdit = 1002;
constexpr int kIdDisabled = 1003;
constexpr int kIdSelected = 1004;
constexpr int kIdClose = IDOK;

int g_exit = 3;

void add_column(HWND lv, int index, const char* text, int width) {
  LVCOLUMNA col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  col.pszText = const_cast<char*>(text);
  col.cx = width;
  col.iSubItem = index;
  SendMessageA(lv, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&col));
}

void set_cell(HWND lv, int row, int column, const char* text) {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text);
  if (column == 0) {
    SendMessageA(lv, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  } else {
    SendMessageA(lv, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  }
}

void create_controls(HWND w) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  HWND lv = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                            WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 10, 10, 460,
                            150, w, reinterpret_cast<HMENU>(kIdList), inst, nullptr);
  add_column(lv, 0, "番号", 60);
  add_column(lv, 1, "検索式", 260);
  add_column(lv, 2, "件数", 80);
  static const char* const rows[][3] = {
      {"00001", "商標公報 第一類", "12"},
      {"00002", "ＡＢＣ＼表示", "―"},
      {"00003", "plain ascii", "0"},
  };
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) set_cell(lv, r, c, rows[r][c]);
  }
  CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "編集テキスト", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL,
                  10, 170, 200, 24, w, reinterpret_cast<HMENU>(kIdEdit), inst, nullptr);
  CreateWindowExA(0, "STATIC", "選択: なし", WS_CHILD | WS_VISIBLE, 220, 174, 200, 20, w,
                  reinterpret_cast<HMENU>(kIdSelected), inst, nullptr);
  CreateWindowExA(0, "BUTTON", "無効", WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_PUSHBUTTON, 260,
                  205, 100, 28, w, reinterpret_cast<HMENU>(kIdDisabled), inst, nullptr);
  CreateWindowExA(0, "BUTTON", "閉じる", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 370, 205, 100,
                  28, w, reinterpret_cast<HMENU>(kIdClose), inst, nullptr);
}

LRESULT CALLBACK list_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      create_controls(w);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == kIdClose) {
        g_exit = 42;
        DestroyWindow(w);
      }
      return 0;
    case WM_NOTIFY: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(lp);
      if (nm->hdr.idFrom == kIdList && nm->hdr.code == LVN_ITEMCHANGED &&
          (nm->uNewState & LVIS_SELECTED)) {
        char text[32];
        std::snprintf(text, sizeof text, "選択: %d", nm->iItem);
        SetDlgItemTextA(w, kIdSelected, text);
      }
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

int run_list() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSA wc{};
  wc.lpfnWndProc = list_proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "QrtDemoList";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, wc.lpszClassName, "QRTDEMO 一覧", WS_OVERLAPPEDWINDOW, 100, 100, 500,
                           290, nullptr, nullptr, wc.hInstance, nullptr);
  if (!w) return 2;
  ShowWindow(w, SW_SHOWNORMAL);
  UpdateWindow(w);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return g_exit;
}

// --- form ------------------------------------------------------------------------

// What the form dialog was told by its controls' notifications.
struct Form {
  const char* out_file;
  int selchanges = 0;
  int seen_index = -1;
  char seen_text[64] = "";
  int auto_clicks = 0;
  int auto_seen = -1;
  int manual_clicks = 0;
};

// One line per control: how often it notified and what the dialog saw then,
// then the texts of the two edits as the program reads them.
bool save_form(HWND d, const Form& f) {
  char id[32] = "", password[32] = "";
  GetDlgItemTextA(d, IDC_FORM_ID, id, sizeof id);
  GetDlgItemTextA(d, IDC_FORM_PASSWORD, password, sizeof password);
  FILE* out = std::fopen(f.out_file, "wb");
  if (!out) return false;
  std::fprintf(out, "when %d %d %s\n", f.selchanges, f.seen_index, f.seen_text);
  std::fprintf(out, "auto %d %d\n", f.auto_clicks, f.auto_seen);
  std::fprintf(out, "manual %d %u\n", f.manual_clicks, IsDlgButtonChecked(d, IDC_FORM_MANUAL));
  std::fprintf(out, "id %s\n", id);
  std::fprintf(out, "password %s\n", password);
  return std::fclose(out) == 0;
}

INT_PTR CALLBACK form_proc(HWND d, UINT msg, WPARAM wp, LPARAM lp) {
  auto* f = reinterpret_cast<Form*>(GetWindowLongPtrA(d, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(d, DWLP_USER, lp);
      // 表 and ソ end in the byte 0x5C, which a naive reader takes for a backslash.
      static const char* const when[] = {"起動しない", "12:30", "表示のみ", "ソフト 00:00"};
      for (const char* item : when) {
        SendDlgItemMessageA(d, IDC_FORM_WHEN, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
      }
      SendDlgItemMessageA(d, IDC_FORM_WHEN, CB_SETCURSEL, 1, 0);
      SendDlgItemMessageA(d, IDC_FORM_FIXED, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("固定"));
      SendDlgItemMessageA(d, IDC_FORM_FIXED, CB_SETCURSEL, 0, 0);
      SendDlgItemMessageA(d, IDC_FORM_ID, EM_LIMITTEXT, 8, 0);
      SendDlgItemMessageA(d, IDC_FORM_PASSWORD, EM_LIMITTEXT, 8, 0);
      return TRUE;
    }
    case WM_COMMAND:
      if (!f) return FALSE;
      switch (LOWORD(wp)) {
        case IDC_FORM_WHEN:
          if (HIWORD(wp) == CBN_SELCHANGE) {
            ++f->selchanges;
            f->seen_index =
                static_cast<int>(SendDlgItemMessageA(d, IDC_FORM_WHEN, CB_GETCURSEL, 0, 0));
            f->seen_text[0] = '\0';
            if (SendDlgItemMessageA(d, IDC_FORM_WHEN, CB_GETLBTEXTLEN, f->seen_index, 0) <
                static_cast<LRESULT>(sizeof f->seen_text)) {
              SendDlgItemMessageA(d, IDC_FORM_WHEN, CB_GETLBTEXT, f->seen_index,
                                  reinterpret_cast<LPARAM>(f->seen_text));
            }
          }
          return TRUE;
        case IDC_FORM_AUTO:
          if (HIWORD(wp) == BN_CLICKED) {
            ++f->auto_clicks;
            f->auto_seen = static_cast<int>(IsDlgButtonChecked(d, IDC_FORM_AUTO));
          }
          return TRUE;
        case IDC_FORM_MANUAL:
          // A plain check box: the program turns it over on each click.
          if (HIWORD(wp) == BN_CLICKED) {
            ++f->manual_clicks;
            CheckDlgButton(d, IDC_FORM_MANUAL,
                           IsDlgButtonChecked(d, IDC_FORM_MANUAL) ? BST_UNCHECKED : BST_CHECKED);
          }
          return TRUE;
        case IDOK:
          EndDialog(d, save_form(d, *f) ? 42 : 1);
          return TRUE;
        case IDCANCEL:
          EndDialog(d, 3);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

int run_form(const char* out_file) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  Form f{out_file};
  INT_PTR r = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_FORM), nullptr,
                              form_proc, reinterpret_cast<LPARAM>(&f));
  return r < 0 ? 2 : static_cast<int>(r);
}

// --- link ------------------------------------------------------------------------

// Writes a shortcut to this program through the ANSI shell-link interface, as the
// product writes its start-up shortcut.
int run_link(const char* file) {
  if (FAILED(CoInitialize(nullptr))) return 1;
  char exe[MAX_PATH] = "";
  DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string dir(exe, n);
  dir.erase(dir.find_last_of('\\') == std::string::npos ? 0 : dir.find_last_of('\\'));
  wchar_t wide[MAX_PATH] = L"";
  bool ok = n > 0 && n < MAX_PATH && MultiByteToWideChar(CP_ACP, 0, file, -1, wide, MAX_PATH) > 0;
  IShellLinkA* link = nullptr;
  IPersistFile* persist = nullptr;
  ok = ok && SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IShellLinkA, reinterpret_cast<void**>(&link)));
  ok = ok && SUCCEEDED(link->SetPath(exe)) && SUCCEEDED(link->SetArguments("S")) &&
       SUCCEEDED(link->SetWorkingDirectory(dir.c_str())) &&
       SUCCEEDED(link->SetDescription("QRTDEMO 自動起動")) &&
       SUCCEEDED(link->SetIconLocation(exe, 2)) && SUCCEEDED(link->SetShowCmd(SW_SHOWNORMAL)) &&
       SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
       SUCCEEDED(persist->Save(wide, TRUE));
  if (persist) persist->Release();
  if (link) link->Release();
  CoUninitialize();
  return ok ? 0 : 1;
}

// The argument after the mode word, without the quotes a path may come in.
std::string argument(const char* rest) {
  std::string a(rest);
  while (!a.empty() && a.front() == ' ') a.erase(0, 1);
  while (!a.empty() && a.back() == ' ') a.pop_back();
  if (a.size() >= 2 && a.front() == '"' && a.back() == '"') a = a.substr(1, a.size() - 2);
  return a;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmd, int) {
  // First word of the command line selects the demo.
  while (*cmd == ' ') ++cmd;
  if (std::strncmp(cmd, "box", 3) == 0) {
    return MessageBoxA(nullptr, "ドライブ又はフォルダーがありません。\nC:\\ZORAX\\表示", "QRTDEMO",
                       MB_YESNO | MB_SYSTEMMODAL);
  }
  if (std::strncmp(cmd, "list", 4) == 0) return run_list();
  if (std::strncmp(cmd, "url ", 4) == 0) {
    HINSTANCE r = ShellExecuteA(nullptr, "open", cmd + 4, nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32 ? 0 : 1;
  }
  if (std::strncmp(cmd, "form ", 5) == 0) return run_form(argument(cmd + 5).c_str());
  if (std::strncmp(cmd, "link ", 5) == 0) return run_link(argument(cmd + 5).c_str());
  return 2;
}
