// The Windows implementation of the platform layer.
#include <windows.h>
#include <objbase.h>
#include <io.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace plat {

// ---- process and environment -------------------------------------------------

bool current_dir(char* buf, std::size_t cap) {
  DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(cap), buf);
  if (n == 0 || n >= cap) {
    if (cap) buf[0] = '\0';
    return false;
  }
  return true;
}

bool set_current_dir(const char* dir) { return SetCurrentDirectoryA(dir) != 0; }

bool set_env(const char* name, const char* value) {
  // Both the C runtime's copy (read by tzset) and the process environment.
  return _putenv_s(name, value) == 0 && SetEnvironmentVariableA(name, value) != 0;
}

void set_japanese_locale() {
  std::setlocale(LC_ALL, "Japanese");
  std::setlocale(LC_NUMERIC, "C");
}

void tz_reset() { _tzset(); }

void sleep_ms(std::uint32_t ms) { Sleep(ms); }

void exit_process(int code) {
  std::fflush(nullptr);
  ExitProcess(static_cast<UINT>(code));
}

std::uint32_t last_error() { return GetLastError(); }

int computer_name(char* buf, std::size_t cap) {
  if (cap == 0) return -1;
  char name[MAX_COMPUTERNAME_LENGTH + 64] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return -1;
  std::size_t n = size < cap ? size : cap - 1;
  std::memcpy(buf, name, n);
  buf[n] = '\0';
  return static_cast<int>(n);
}

bool search_exe(const char* file_name, char* out, std::size_t cap) {
  DWORD n = SearchPathA(nullptr, file_name, nullptr, static_cast<DWORD>(cap), out, nullptr);
  return n > 0 && n < cap;
}

bool ole_init() { return SUCCEEDED(OleInitialize(nullptr)); }

std::uint32_t start_process(const char* path) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return GetLastError();
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 0;
}

// ---- platform probe ----------------------------------------------------------

OsVersion os_version() {
  OsVersion v;
  OSVERSIONINFOEXA ex{};
  ex.dwOSVersionInfoSize = sizeof ex;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex))) {
    v.known = true;
    v.major = ex.dwMajorVersion;
    v.minor = ex.dwMinorVersion;
    v.build = ex.dwBuildNumber & 0xFFFF;
    v.workstation = ex.wProductType == VER_NT_WORKSTATION;
    v.nt_platform = ex.dwPlatformId == VER_PLATFORM_WIN32_NT;
    return v;
  }
  OSVERSIONINFOA plain{};
  plain.dwOSVersionInfoSize = sizeof plain;
  if (GetVersionExA(&plain)) {
    v.known = true;
    v.major = plain.dwMajorVersion;
    v.minor = plain.dwMinorVersion;
    v.build = plain.dwBuildNumber & 0xFFFF;
    v.nt_platform = plain.dwPlatformId == VER_PLATFORM_WIN32_NT;
  }
#pragma GCC diagnostic pop
  return v;
}

bool is_wow64() {
  using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  HMODULE kernel = GetModuleHandleA("kernel32");
  if (!kernel) return false;
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
  BOOL wow = FALSE;
  return fn && fn(GetCurrentProcess(), &wow) && wow;
}

void webview2_version(bool wow64, char* out, std::size_t cap) {
  if (cap == 0) return;
  out[0] = '\0';
  const char* machine_key =
      wow64 ? "SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\"
              "{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}"
            : "SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
  const struct {
    HKEY root;
    const char* key;
  } places[] = {
      {HKEY_LOCAL_MACHINE, machine_key},
      {HKEY_CURRENT_USER,
       "Software\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}"},
  };
  for (const auto& place : places) {
    HKEY key;
    if (RegOpenKeyExA(place.root, place.key, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    char value[64] = {};
    DWORD size = sizeof value - 1, type = 0;
    LONG rc = RegQueryValueExA(key, "pv", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ || !value[0] || std::strcmp(value, "0.0.0.0") == 0)
      continue;
    std::size_t n = strnlen(value, sizeof value);
    if (n >= cap) n = cap - 1;
    std::memcpy(out, value, n);
    out[n] = '\0';
    return;
  }
}

MemoryStatus memory_status() {
  MEMORYSTATUS ms{};
  ms.dwLength = sizeof ms;
  GlobalMemoryStatus(&ms);
  MemoryStatus s;
  s.load = ms.dwMemoryLoad;
  s.total_phys = ms.dwTotalPhys;
  s.avail_phys = ms.dwAvailPhys;
  s.total_page = ms.dwTotalPageFile;
  s.avail_page = ms.dwAvailPageFile;
  s.total_virtual = ms.dwTotalVirtual;
  s.avail_virtual = ms.dwAvailVirtual;
  return s;
}

// ---- files ------------------------------------------------------------------

std::FILE* open_stream(const char* path, const char* mode) { return std::fopen(path, mode); }

bool path_exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool is_directory(const char* path) {
  DWORD a = GetFileAttributesA(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

int make_dir(const char* path) {
  return CreateDirectoryA(path, nullptr) ? 0 : static_cast<int>(GetLastError());
}

int remove_file(const char* path) {
  return DeleteFileA(path) ? 0 : static_cast<int>(GetLastError());
}

std::vector<DirEntry> find_files(const char* pattern) {
  std::vector<DirEntry> out;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pattern, &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    DirEntry e;
    e.name = fd.cFileName;
    e.is_dir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    out.push_back(e);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return out;
}

LocalTime local_time_of(std::int64_t unix_seconds) {
  // The C runtime honours TZ (the programs set JST-9), so convert with it.
  std::time_t t = static_cast<std::time_t>(unix_seconds);
  std::tm tm{};
  localtime_s(&tm, &t);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

LocalTime now_local() { return local_time_of(std::time(nullptr)); }

bool last_write_get(const char* path, LocalTime& out) {
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME write;
  BOOL ok = GetFileTime(h, nullptr, nullptr, &write);
  CloseHandle(h);
  if (!ok) return false;
  // File times are UTC; turn them into seconds and through the C runtime's
  // local time, so that the TZ setting of the program applies.
  ULARGE_INTEGER u;
  u.LowPart = write.dwLowDateTime;
  u.HighPart = write.dwHighDateTime;
  out = local_time_of(static_cast<std::int64_t>(u.QuadPart / 10000000ULL) - 11644473600LL);
  return true;
}

bool last_write_set(const char* path, const LocalTime& t) {
  HANDLE h = CreateFileA(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  std::time_t secs = std::mktime(&tm);
  ULARGE_INTEGER u;
  u.QuadPart = (static_cast<ULONGLONG>(secs) + 11644473600ULL) * 10000000ULL;
  FILETIME write{u.LowPart, u.HighPart};
  BOOL ok = SetFileTime(h, nullptr, nullptr, &write);
  CloseHandle(h);
  return ok != 0;
}

bool copy_file_times(const char* src, const char* dst) {
  HANDLE in = CreateFileA(src, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  FILETIME c, a, w;
  BOOL ok = GetFileTime(in, &c, &a, &w);
  CloseHandle(in);
  if (!ok) return false;
  HANDLE out = CreateFileA(dst, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  ok = SetFileTime(out, &c, &a, &w);
  CloseHandle(out);
  return ok != 0;
}

bool os_copy_file(const char* src, const char* dst) { return CopyFileA(src, dst, FALSE) != 0; }

bool replace_file(const char* src, const char* dst) {
  return MoveFileExA(src, dst, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

namespace {

// A security descriptor whose access list grants the current user alone full
// access and takes nothing from the folder. False when it cannot be made.
struct OwnerOnly {
  SECURITY_DESCRIPTOR sd{};
  std::vector<unsigned char> user;  // TOKEN_USER
  std::vector<unsigned char> acl;
  bool make() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD need = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &need);
    user.resize(need ? need : 1);
    const bool got = need && GetTokenInformation(token, TokenUser, user.data(), need, &need);
    CloseHandle(token);
    if (!got) return false;
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    acl.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
    PACL list = reinterpret_cast<PACL>(acl.data());
    return InitializeAcl(list, static_cast<DWORD>(acl.size()), ACL_REVISION) &&
           AddAccessAllowedAce(list, ACL_REVISION, GENERIC_ALL, sid) &&
           InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&sd, TRUE, list, FALSE) &&
           SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  }
};

}  // namespace

struct TempFile {
  HANDLE h;
  std::string name;
};

TempFile* temp_create_beside(const char* target, bool owner_only, std::string* tmp_name) {
  static LONG counter = 0;
  OwnerOnly owner;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, FALSE};
  if (owner_only) {
    if (!owner.make()) return nullptr;
    sa.lpSecurityDescriptor = &owner.sd;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned long stamp =
        GetCurrentProcessId() * 2654435761UL ^
        static_cast<unsigned long>(InterlockedIncrement(&counter)) * 40503UL ^ GetTickCount();
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".$%08lX", stamp & 0xFFFFFFFFUL);
    const std::string name = std::string(target) + suffix;
    // CREATE_NEW fails on any existing name, a link included.
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, owner_only ? &sa : nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) continue;
      return nullptr;
    }
    *tmp_name = name;
    return new TempFile{h, name};
  }
  return nullptr;
}

// The crash-safety tests run natively; the hook does nothing here.
void write_fault_set(long long) {}

bool temp_write(TempFile* f, const void* data, std::size_t len) {
  const char* p = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < len) {
    const DWORD piece = len - done > 0x40000000 ? 0x40000000 : static_cast<DWORD>(len - done);
    DWORD n = 0;
    if (!WriteFile(f->h, p + done, piece, &n, nullptr) || n == 0) return false;
    done += n;
  }
  return true;
}

bool temp_finish(TempFile* f) {
  bool ok = FlushFileBuffers(f->h) != FALSE;
  ok = CloseHandle(f->h) && ok;
  if (!ok) DeleteFileA(f->name.c_str());
  delete f;
  return ok;
}

void temp_discard(TempFile* f) {
  if (!f) return;
  CloseHandle(f->h);
  DeleteFileA(f->name.c_str());
  delete f;
}

bool commit_stream(std::FILE* fp) {
  if (std::fflush(fp) != 0) return false;
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(fp)));
  return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
}

void make_writable(const char* path) {
  DWORD a = GetFileAttributesA(path);
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
}

// ---- named shared memory -----------------------------------------------------

void* shm_create(const char* name, std::size_t size) {
  return CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                            static_cast<DWORD>(size), name);
}

void shm_release_handle(void* handle) {
  if (handle) CloseHandle(handle);
}

void* shm_open(const char* name) {
  HANDLE h = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
  if (!h) return nullptr;
  void* view = MapViewOfFile(h, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  CloseHandle(h);
  return view;
}

void shm_close(void* view) {
  if (view) UnmapViewOfFile(view);
}

// ---- message boxes -------------------------------------------------------------

int message_box(const char* text, const char* title, unsigned style) {
  return MessageBoxA(nullptr, text, title, style);
}

// ---- progress windows ------------------------------------------------------------
//
// A caption-less modeless dialog built from an in-memory template: a centred
// static text (id 1001) and a 中止 push button (id 2).

namespace {

constexpr int kTextId = 1001;

struct ProgressWindow {
  HWND hwnd = nullptr;
  int slot = 0;
  bool cancelled = false;
  bool cancel_option = false;
  int last_width = -1;
  int last_lines = -1;
  char longest[2048] = {};
};

std::mutex g_windows_lock;
std::map<HWND, ProgressWindow*> g_windows;

INT_PTR CALLBACK progress_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL) {
    std::lock_guard<std::mutex> lock(g_windows_lock);
    auto it = g_windows.find(hwnd);
    if (it != g_windows.end()) it->second->cancelled = true;
    return TRUE;
  }
  return msg == WM_INITDIALOG ? TRUE : FALSE;
}

// Appends a UTF-16 string to a template.
void put_text(std::vector<WORD>& t, const wchar_t* s) {
  do t.push_back(static_cast<WORD>(*s));
  while (*s++);
}

void align_dword(std::vector<WORD>& t) {
  if (t.size() % 2) t.push_back(0);
}

void put_item(std::vector<WORD>& t, DWORD style, short x, short y, short cx, short cy, WORD id,
              WORD cls, const wchar_t* text) {
  align_dword(t);
  DLGITEMTEMPLATE item{style | WS_CHILD | WS_VISIBLE, 0, x, y, cx, cy, id};
  const WORD* raw = reinterpret_cast<const WORD*>(&item);
  t.insert(t.end(), raw, raw + sizeof item / sizeof(WORD));
  t.push_back(0xFFFF);
  t.push_back(cls);
  put_text(t, text);
  t.push_back(0);  // no creation data
}

std::vector<WORD> progress_template() {
  std::vector<WORD> t;
  DLGTEMPLATE dlg{
      WS_POPUP | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS, WS_EX_TOPMOST, 2, 0, 0, 630, 45};
  const WORD* raw = reinterpret_cast<const WORD*>(&dlg);
  t.insert(t.end(), raw, raw + sizeof dlg / sizeof(WORD));
  t.push_back(0);  // no menu
  t.push_back(0);  // default class
  t.push_back(0);  // no caption
  t.push_back(8);  // font size, with the system's fixed font
  put_text(t, L"MS Shell Dlg");
  put_item(t, SS_CENTER, 8, 5, 600, 15, kTextId, 0x0082, L"");
  put_item(t, BS_PUSHBUTTON, 80, 28, 22, 14, IDCANCEL, 0x0080, L"\u4E2D\u6B62");
  return t;
}

}  // namespace

struct Progress {
  ProgressWindow w;
};

Progress* progress_create(int slot) {
  std::vector<WORD> t = progress_template();
  auto* p = new Progress;
  p->w.slot = slot;
  HWND hwnd = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                         reinterpret_cast<DLGTEMPLATE*>(t.data()),
                                         GetDesktopWindow(), progress_proc, 0);
  if (!hwnd) {
    delete p;
    return nullptr;
  }
  p->w.hwnd = hwnd;
  std::lock_guard<std::mutex> lock(g_windows_lock);
  g_windows[hwnd] = &p->w;
  return p;
}

void progress_destroy(Progress* p) {
  if (!p) return;
  {
    std::lock_guard<std::mutex> lock(g_windows_lock);
    g_windows.erase(p->w.hwnd);
  }
  DestroyWindow(p->w.hwnd);
  delete p;
}

void pump_messages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void progress_show(Progress* p, const char* text, bool cancel_button) {
  ProgressWindow& w = p->w;
  w.cancel_option = cancel_button;
  HWND hwnd = w.hwnd;
  HWND label = GetDlgItem(hwnd, kTextId);
  HWND button = GetDlgItem(hwnd, IDCANCEL);

  // The longest line and the line count decide the size.
  int lines = 0;
  std::size_t longest = 0;
  const char* longest_at = text;
  for (const char* line = text;;) {
    const char* end = std::strchr(line, '\n');
    std::size_t len = end ? static_cast<std::size_t>(end - line) : std::strlen(line);
    ++lines;
    if (len > longest) {
      longest = len;
      longest_at = line;
    }
    if (!end) break;
    line = end + 1;
  }
  if (longest >= sizeof w.longest) longest = sizeof w.longest - 1;

  if (static_cast<int>(longest) != w.last_width || lines != w.last_lines) {
    w.last_width = static_cast<int>(longest);
    w.last_lines = lines;
    std::memcpy(w.longest, longest_at, longest);
    w.longest[longest] = '\0';

    HDC dc = GetDC(label);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32A(dc, w.longest, static_cast<int>(longest), &size);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(label, dc);

    int text_w = size.cx + 60;
    int text_h = (tm.tmHeight + 3) * lines;
    RECT button_rc{};
    GetWindowRect(button, &button_rc);
    int button_h = button_rc.bottom - button_rc.top;
    int button_w = button_rc.right - button_rc.left;
    int win_w = text_w + 30;
    int win_h = text_h + 30 + (cancel_button ? button_h + 10 : 0);
    MoveWindow(label, 15, 15, text_w, text_h, FALSE);
    MoveWindow(button, (win_w - button_w) / 2, 15 + text_h + 5, button_w, button_h, FALSE);

    // Centred over an MDI frame window when there is one, else the desktop;
    // vertically at 1/6, 1/2 or 5/6 of the free height.
    RECT area{};
    HWND frame = FindWindowA("AfxMDIFrame", nullptr);
    if (!frame || !GetWindowRect(frame, &area)) SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    int free_h = (area.bottom - area.top) - win_h;
    int x = area.left + ((area.right - area.left) - win_w) / 2;
    int y = area.top + (w.slot == 0 ? free_h / 6 : w.slot == 1 ? free_h / 2 : free_h * 5 / 6);
    SetWindowPos(hwnd, HWND_TOPMOST, x, y, win_w, win_h, SWP_NOACTIVATE);
  }
  SetWindowTextA(label, text);
  ShowWindow(button, cancel_button ? SW_SHOWNA : SW_HIDE);
  SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  UpdateWindow(hwnd);
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool progress_cancelled(const Progress* p) { return p->w.cancelled; }

}  // namespace plat
