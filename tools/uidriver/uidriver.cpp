// uidriver: drives the windows of another program running in the same Windows
// session (under Wine: the same prefix) the way a person would, for end-to-end
// tests. It finds top-level windows by their exact title, reads the texts of
// their controls and the rows of list views, presses buttons, picks combo box
// items, sets check boxes, types into edit controls, closes windows and saves
// screenshots. It also reads shell shortcuts and names the user's Startup folder,
// so that a test can check what a program put there.
//
// Titles and texts cross the command line and stdout as UTF-8; inside, everything
// goes through the wide-character APIs, so Shift-JIS windows of the programs under
// test are read correctly whatever the console's code page.
//
// Exit status: 0 on success, 1 on any failure or time-out (message on stderr).

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// How long a command other than wait/gone looks for its window before giving up.
constexpr DWORD kFindMs = 10000;
constexpr DWORD kPollMs = 100;
// Upper bound for one message sent to a window of another process.
constexpr UINT kSendMs = 5000;

bool g_hidden = false;  // -a: also consider windows and controls that are not visible

std::string utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

void fail(const char* fmt, ...) {
  std::fputs("uidriver: ", stderr);
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(stderr, fmt, ap);
  va_end(ap);
  std::fputc('\n', stderr);
}

void print_line(const std::wstring& w) {
  std::string s = utf8(w);
  s.push_back('\n');
  std::fwrite(s.data(), 1, s.size(), stdout);
}

// One line per control: line ends and tabs inside a text are written as \n and \t.
std::wstring one_line(const std::wstring& w) {
  std::wstring r;
  for (wchar_t c : w) {
    if (c == L'\r') continue;
    if (c == L'\n') {
      r += L"\\n";
    } else if (c == L'\t') {
      r += L"\\t";
    } else {
      r += c;
    }
  }
  return r;
}

// The text of a window of any process. WM_GETTEXT is marshalled across processes
// and also answers for controls that keep their own text (edit controls); a window
// that does not answer in time falls back to the text stored with the window.
std::wstring window_text(HWND h) {
  DWORD_PTR len = 0;
  if (SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendMs, &len)) {
    std::vector<wchar_t> buf(len + 2, L'\0');
    DWORD_PTR got = 0;
    if (SendMessageTimeoutW(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                            SMTO_ABORTIFHUNG, kSendMs, &got)) {
      return std::wstring(buf.data(), wcsnlen(buf.data(), buf.size()));
    }
  }
  wchar_t buf[1024] = {};
  GetWindowTextW(h, buf, 1024);
  return buf;
}

std::wstring class_name(HWND h) {
  wchar_t buf[256] = {};
  GetClassNameW(h, buf, 256);
  return buf;
}

bool usable(HWND h) { return g_hidden || IsWindowVisible(h); }

struct TopSearch {
  const std::wstring* title;
  std::vector<HWND> found;
};

BOOL CALLBACK collect_top(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<TopSearch*>(lp);
  if (!usable(h)) return TRUE;
  wchar_t buf[1024] = {};
  // Top-level captions are stored with the window; reading them sends no message,
  // so a hung program cannot stall the search.
  GetWindowTextW(h, buf, 1024);
  if (*s->title == buf) s->found.push_back(h);
  return TRUE;
}

HWND find_top(const std::wstring& title) {
  TopSearch s{&title, {}};
  EnumWindows(collect_top, reinterpret_cast<LPARAM>(&s));
  return s.found.empty() ? nullptr : s.found.front();
}

HWND wait_top(const std::wstring& title, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND h = find_top(title)) return h;
    if (GetTickCount() - start >= ms) return nullptr;
    Sleep(kPollMs);
  }
}

BOOL CALLBACK collect_child(HWND h, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  return TRUE;
}

// Every descendant of a window, in the order the system keeps them (for dialogs:
// the order of creation).
std::vector<HWND> children(HWND top) {
  std::vector<HWND> v;
  EnumChildWindows(top, collect_child, reinterpret_cast<LPARAM>(&v));
  return v;
}

DWORD seconds_arg(int argc, wchar_t** argv, int i, DWORD def_s) {
  if (i >= argc) return def_s * 1000;
  double s = _wtof(argv[i]);
  if (s < 0) s = 0;
  return static_cast<DWORD>(s * 1000);
}

HWND need_top(const std::wstring& title) {
  HWND h = wait_top(title, kFindMs);
  if (!h) fail("no window titled \"%s\"", utf8(title).c_str());
  return h;
}

// --- wait / gone ---------------------------------------------------------------

int cmd_wait(const std::wstring& title, DWORD ms) {
  if (wait_top(title, ms)) return 0;
  fail("time-out: no window titled \"%s\" after %lu ms", utf8(title).c_str(),
       static_cast<unsigned long>(ms));
  return 1;
}

int cmd_gone(const std::wstring& title, DWORD ms) {
  DWORD start = GetTickCount();
  while (find_top(title)) {
    if (GetTickCount() - start >= ms) {
      fail("time-out: window \"%s\" still there after %lu ms", utf8(title).c_str(),
           static_cast<unsigned long>(ms));
      return 1;
    }
    Sleep(kPollMs);
  }
  return 0;
}

// --- texts ---------------------------------------------------------------------

std::wstring flags(HWND h) {
  std::wstring f;
  if (!IsWindowVisible(h)) f += L"hidden";
  if (!IsWindowEnabled(h)) f += f.empty() ? L"disabled" : L",disabled";
  return f.empty() ? L"-" : f;
}

void print_control(HWND h) {
  wchar_t id[16];
  std::swprintf(id, 16, L"%d", GetDlgCtrlID(h));
  print_line(class_name(h) + L"\t" + id + L"\t" + flags(h) + L"\t" + one_line(window_text(h)));
}

// Line 1 is the window itself, then one line per control:
// CLASS <tab> ID <tab> FLAGS ("-", "hidden", "disabled", "hidden,disabled") <tab> TEXT
int cmd_texts(const std::wstring& title) {
  HWND top = need_top(title);
  if (!top) return 1;
  print_line(class_name(top) + L"\t0\t" + flags(top) + L"\t" + one_line(window_text(top)));
  for (HWND h : children(top)) {
    if (usable(h)) print_control(h);
  }
  return 0;
}

// --- click ---------------------------------------------------------------------

// A button caption as a person reads it: without the "&" mnemonic marks.
std::wstring plain_caption(const std::wstring& w) {
  std::wstring r;
  for (size_t i = 0; i < w.size(); ++i) {
    if (w[i] == L'&' && i + 1 < w.size()) {
      r += w[++i];
    } else {
      r += w[i];
    }
  }
  return r;
}

// "OK" matches "OK" and "&OK"; "はい" also matches "はい(&Y)".
bool caption_matches(const std::wstring& caption, const std::wstring& wanted) {
  std::wstring c = plain_caption(caption);
  if (c == wanted) return true;
  if (c.size() == wanted.size() + 3 && c.compare(0, wanted.size(), wanted) == 0 &&
      c[wanted.size()] == L'(' && c.back() == L')') {
    return true;
  }
  return false;
}

// Presses the button with the Ctrl key held, as the target sees it: the driver
// shares the target thread's input state, marks Ctrl as down in it, and sends
// the click (waiting until the target has handled it) before letting go.
bool click_with_ctrl(HWND top, HWND parent, int id, HWND button) {
  DWORD target = GetWindowThreadProcessId(top, nullptr);
  DWORD self = GetCurrentThreadId();
  if (!AttachThreadInput(self, target, TRUE)) return false;
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  BYTE before = keys[VK_CONTROL], before_left = keys[VK_LCONTROL];
  keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
  bool ok = SetKeyboardState(keys) != FALSE;
  DWORD_PTR result = 0;
  if (ok) {
    ok = SendMessageTimeoutW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(button), SMTO_NORMAL, 60000, &result) != 0;
  }
  keys[VK_CONTROL] = before;
  keys[VK_LCONTROL] = before_left;
  SetKeyboardState(keys);
  AttachThreadInput(self, target, FALSE);
  return ok;
}

int cmd_click(const std::wstring& title, const std::wstring& text, bool ctrl) {
  HWND top = need_top(title);
  if (!top) return 1;
  DWORD start = GetTickCount();
  for (;;) {
    for (HWND h : children(top)) {
      if (_wcsicmp(class_name(h).c_str(), L"Button") != 0) continue;
      if (!IsWindowVisible(h) || !caption_matches(window_text(h), text)) continue;
      if (!IsWindowEnabled(h)) {
        fail("button \"%s\" of \"%s\" is disabled", utf8(text).c_str(), utf8(title).c_str());
        return 1;
      }
      // What a click on the button makes it send to its parent. Posted, so that a
      // button opening a modal dialog does not block the driver.
      HWND parent = GetParent(h);
      int id = GetDlgCtrlID(h);
      if (ctrl) {
        if (click_with_ctrl(top, parent ? parent : top, id, h)) return 0;
        fail("could not press \"%s\" with Ctrl (error %lu)", utf8(text).c_str(), GetLastError());
        return 1;
      }
      if (!PostMessageW(parent ? parent : top, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(h))) {
        fail("could not press \"%s\" (error %lu)", utf8(text).c_str(), GetLastError());
        return 1;
      }
      return 0;
    }
    if (!IsWindow(top) || GetTickCount() - start >= kFindMs) break;
    Sleep(kPollMs);
  }
  fail("no button \"%s\" in \"%s\"", utf8(text).c_str(), utf8(title).c_str());
  return 1;
}

// --- list views ----------------------------------------------------------------

// Memory allocated in another process, freed when it goes out of scope.
class RemoteBlock {
 public:
  RemoteBlock(HANDLE process, size_t size) : process_(process), size_(size) {
    addr_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBlock() {
    if (addr_) VirtualFreeEx(process_, addr_, 0, MEM_RELEASE);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;
  explicit operator bool() const { return addr_ != nullptr; }
  char* at(size_t off) const { return static_cast<char*>(addr_) + off; }
  bool write(size_t off, const void* data, size_t n) const {
    SIZE_T done = 0;
    return off + n <= size_ && WriteProcessMemory(process_, at(off), data, n, &done) && done == n;
  }
  bool read(size_t off, void* data, size_t n) const {
    SIZE_T done = 0;
    return off + n <= size_ && ReadProcessMemory(process_, at(off), data, n, &done) && done == n;
  }

 private:
  HANDLE process_;
  size_t size_;
  void* addr_;
};

class ProcessHandle {
 public:
  explicit ProcessHandle(HWND h) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    h_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  }
  ~ProcessHandle() {
    if (h_) CloseHandle(h_);
  }
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_ = nullptr;
};

HWND find_list(HWND top, const wchar_t* id_arg) {
  int id = id_arg ? _wtoi(id_arg) : -1;
  for (HWND h : children(top)) {
    if (_wcsicmp(class_name(h).c_str(), WC_LISTVIEWW) != 0) continue;
    if (id < 0 || GetDlgCtrlID(h) == id) return h;
  }
  return nullptr;
}

bool send(HWND h, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result) {
  return SendMessageTimeoutW(h, msg, wp, lp, SMTO_ABORTIFHUNG, kSendMs, result) != 0;
}

constexpr size_t kTextChars = 2048;

// Rows of a list view, columns separated by tabs. The item structure and the text
// buffer live in the list view's process, where the control writes its answer.
int cmd_list(const std::wstring& title, const wchar_t* id_arg) {
  HWND top = need_top(title);
  if (!top) return 1;
  HWND lv = find_list(top, id_arg);
  if (!lv) {
    fail("no list view%s in \"%s\"", id_arg ? " with that id" : "", utf8(title).c_str());
    return 1;
  }
  DWORD_PTR rows = 0, header = 0, cols = 0;
  if (!send(lv, LVM_GETITEMCOUNT, 0, 0, &rows)) {
    fail("list view does not answer");
    return 1;
  }
  send(lv, LVM_GETHEADER, 0, 0, &header);
  if (header) send(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, &cols);
  if (static_cast<int>(cols) <= 0) cols = 1;

  ProcessHandle proc(lv);
  if (!proc.get()) {
    fail("cannot open the list view's process (error %lu)", GetLastError());
    return 1;
  }
  const size_t text_off = (sizeof(LVITEMW) + 15) & ~size_t{15};
  RemoteBlock mem(proc.get(), text_off + kTextChars * sizeof(wchar_t));
  if (!mem) {
    fail("cannot allocate memory in the list view's process (error %lu)", GetLastError());
    return 1;
  }
  for (int r = 0; r < static_cast<int>(rows); ++r) {
    std::wstring line;
    for (int c = 0; c < static_cast<int>(cols); ++c) {
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = r;
      item.iSubItem = c;
      item.pszText = reinterpret_cast<LPWSTR>(mem.at(text_off));
      item.cchTextMax = kTextChars;
      wchar_t zero = 0;
      std::vector<wchar_t> text(kTextChars + 1, L'\0');
      DWORD_PTR len = 0;
      if (!mem.write(0, &item, sizeof item) || !mem.write(text_off, &zero, sizeof zero) ||
          !send(lv, LVM_GETITEMTEXTW, r, reinterpret_cast<LPARAM>(mem.at(0)), &len) ||
          !mem.read(text_off, text.data(), kTextChars * sizeof(wchar_t))) {
        fail("cannot read row %d column %d (error %lu)", r, c, GetLastError());
        return 1;
      }
      if (c) line += L'\t';
      line += one_line(text.data());
    }
    print_line(line);
  }
  return 0;
}

// The columns of a list view, one per line: the width in pixels and the title.
int cmd_columns(const std::wstring& title, const wchar_t* id_arg) {
  HWND top = need_top(title);
  if (!top) return 1;
  HWND lv = find_list(top, id_arg);
  if (!lv) {
    fail("no list view%s in \"%s\"", id_arg ? " with that id" : "", utf8(title).c_str());
    return 1;
  }
  DWORD_PTR header = 0, cols = 0;
  send(lv, LVM_GETHEADER, 0, 0, &header);
  if (!header || !send(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, &cols)) {
    fail("the list view has no header");
    return 1;
  }
  ProcessHandle proc(lv);
  const size_t text_off = (sizeof(LVCOLUMNW) + 15) & ~size_t{15};
  RemoteBlock mem(proc.get(), text_off + kTextChars * sizeof(wchar_t));
  if (!proc.get() || !mem) {
    fail("cannot reach the list view's process (error %lu)", GetLastError());
    return 1;
  }
  std::vector<std::wstring> lines;
  for (int c = 0; c < static_cast<int>(cols); ++c) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = reinterpret_cast<LPWSTR>(mem.at(text_off));
    col.cchTextMax = kTextChars;
    wchar_t zero = 0;
    std::vector<wchar_t> text(kTextChars + 1, L'\0');
    DWORD_PTR ok = 0, width = 0;
    if (!mem.write(0, &col, sizeof col) || !mem.write(text_off, &zero, sizeof zero) ||
        !send(lv, LVM_GETCOLUMNW, c, reinterpret_cast<LPARAM>(mem.at(0)), &ok) || !ok ||
        !mem.read(text_off, text.data(), kTextChars * sizeof(wchar_t)) ||
        !send(lv, LVM_GETCOLUMNWIDTH, c, 0, &width)) {
      fail("cannot read column %d (error %lu)", c, GetLastError());
      return 1;
    }
    lines.push_back(std::to_wstring(static_cast<int>(width)) + L"\t" + one_line(text.data()));
  }
  for (const auto& line : lines) print_line(line);
  return 0;
}

// Selects and focuses one row (0-based) as a click on it would; the list view
// notifies its parent of the change.
int cmd_select(const std::wstring& title, int row, const wchar_t* id_arg) {
  HWND top = need_top(title);
  if (!top) return 1;
  HWND lv = find_list(top, id_arg);
  if (!lv) {
    fail("no list view in \"%s\"", utf8(title).c_str());
    return 1;
  }
  DWORD_PTR rows = 0, ok = 0;
  if (!send(lv, LVM_GETITEMCOUNT, 0, 0, &rows) || row < 0 || row >= static_cast<int>(rows)) {
    fail("no row %d (the list has %d)", row, static_cast<int>(rows));
    return 1;
  }
  ProcessHandle proc(lv);
  RemoteBlock mem(proc.get(), sizeof(LVITEMW));
  if (!proc.get() || !mem) {
    fail("cannot reach the list view's process (error %lu)", GetLastError());
    return 1;
  }
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = 0;
  // Clear the selection of every row first (-1), then select the wanted one.
  if (!mem.write(0, &item, sizeof item) || !send(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                                                 reinterpret_cast<LPARAM>(mem.at(0)), &ok)) {
    fail("cannot clear the selection");
    return 1;
  }
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  if (!mem.write(0, &item, sizeof item) ||
      !send(lv, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(mem.at(0)), &ok) || !ok) {
    fail("cannot select row %d", row);
    return 1;
  }
  send(lv, LVM_ENSUREVISIBLE, row, FALSE, &ok);
  return 0;
}

// --- shot ----------------------------------------------------------------------

bool write_bmp(const wchar_t* file, HDC screen, const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  BOOL copied = BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
  SelectObject(mem, old);

  BITMAPINFOHEADER bi{};
  bi.biSize = sizeof bi;
  bi.biWidth = w;
  bi.biHeight = h;  // bottom-up, as BMP files store it
  bi.biPlanes = 1;
  bi.biBitCount = 24;
  bi.biCompression = BI_RGB;
  const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) & ~3u);
  bi.biSizeImage = stride * static_cast<DWORD>(h);
  std::vector<unsigned char> pixels(bi.biSizeImage);
  int lines = copied ? GetDIBits(mem, bmp, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi),
                                 DIB_RGB_COLORS)
                     : 0;
  DeleteObject(bmp);
  DeleteDC(mem);
  if (lines != h) return false;

  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;  // "BM"
  fh.bfOffBits = sizeof fh + sizeof bi;
  fh.bfSize = fh.bfOffBits + bi.biSizeImage;
  FILE* f = _wfopen(file, L"wb");
  if (!f) return false;
  bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&bi, sizeof bi, 1, f) == 1 &&
            std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
  return std::fclose(f) == 0 && ok;
}

// The window as it is on screen (title "-": the whole screen).
int cmd_shot(const std::wstring& title, const wchar_t* file) {
  RECT r{};
  if (title == L"-") {
    r.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    r.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    r.right = r.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    r.bottom = r.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  } else {
    HWND top = need_top(title);
    if (!top) return 1;
    // Let the program finish painting what it has just been asked to show.
    DWORD_PTR dummy = 0;
    send(top, WM_NULL, 0, 0, &dummy);
    Sleep(300);
    GetWindowRect(top, &r);
  }
  HDC screen = GetDC(nullptr);
  bool ok = write_bmp(file, screen, r);
  ReleaseDC(nullptr, screen);
  if (!ok) {
    fail("cannot save the screenshot to %s", utf8(file).c_str());
    return 1;
  }
  return 0;
}

// --- close ---------------------------------------------------------------------

int cmd_close(const std::wstring& title) {
  HWND top = need_top(title);
  if (!top) return 1;
  if (!PostMessageW(top, WM_CLOSE, 0, 0)) {
    fail("cannot close \"%s\" (error %lu)", utf8(title).c_str(), GetLastError());
    return 1;
  }
  return 0;
}

// --- command / shm -------------------------------------------------------------

// Posts WM_COMMAND with a command ID to the window, as its menu would.
int cmd_command(const std::wstring& title, const wchar_t* id_arg) {
  HWND top = need_top(title);
  if (!top) return 1;
  WPARAM id = static_cast<WPARAM>(_wtoi(id_arg)) & 0xFFFF;
  if (!PostMessageW(top, WM_COMMAND, id, 0)) {
    fail("cannot post command %s to \"%s\" (error %lu)", utf8(id_arg).c_str(), utf8(title).c_str(),
         GetLastError());
    return 1;
  }
  return 0;
}

// Prints byte OFFSET of a named shared-memory block, or writes VALUE into it.
int cmd_shm(const std::wstring& name, const wchar_t* offset_arg, const wchar_t* value_arg) {
  HANDLE h = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
  if (!h) {
    fail("no shared memory named \"%s\"", utf8(name).c_str());
    return 1;
  }
  int offset = _wtoi(offset_arg);
  auto* view = static_cast<volatile unsigned char*>(MapViewOfFile(h, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  CloseHandle(h);
  if (!view || offset < 0) {
    if (view) UnmapViewOfFile(const_cast<unsigned char*>(view));
    fail("cannot map \"%s\" at %d", utf8(name).c_str(), offset);
    return 1;
  }
  if (value_arg) {
    view[offset] = static_cast<unsigned char>(_wtoi(value_arg));
  } else {
    std::printf("%u\n", static_cast<unsigned>(view[offset]));
  }
  UnmapViewOfFile(const_cast<unsigned char*>(view));
  return 0;
}

// --- controls by dialog id -----------------------------------------------------

// A whole decimal number (an optional sign, digits, nothing after them).
bool parse_number(const wchar_t* s, long* out) {
  if (!s || !*s) return false;
  wchar_t* end = nullptr;
  errno = 0;
  long v = std::wcstol(s, &end, 10);
  if (*end != L'\0' || errno != 0) return false;
  *out = v;
  return true;
}

// The control of that dialog ID and window class. The class keeps a combo box's
// own edit field (id 1001) from being taken for a dialog's edit control of that id.
HWND find_control(HWND top, long id, const wchar_t* cls) {
  for (HWND h : children(top)) {
    if (GetDlgCtrlID(h) == id && usable(h) && _wcsicmp(class_name(h).c_str(), cls) == 0) return h;
  }
  return nullptr;
}

HWND need_control(const std::wstring& title, const wchar_t* id_arg, const wchar_t* cls,
                  const char* what) {
  long id = 0;
  if (!parse_number(id_arg, &id)) {
    fail("not a control id: \"%s\"", utf8(id_arg).c_str());
    return nullptr;
  }
  HWND top = need_top(title);
  if (!top) return nullptr;
  HWND h = find_control(top, id, cls);
  if (!h) fail("no %s with id %ld in \"%s\"", what, id, utf8(title).c_str());
  return h;
}

// What a control sends its parent when the user works it. Posted, so that a
// notification that opens a modal dialog does not block the driver.
bool notify_parent(HWND control, WORD code) {
  HWND parent = GetParent(control);
  if (!parent) parent = GetAncestor(control, GA_ROOT);
  return PostMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
                      reinterpret_cast<LPARAM>(control)) != 0;
}

// --- combo ---------------------------------------------------------------------

// The items of a combo box, one per line in list order; the selected one starts
// with "*", the others with a space. CB_GETLBTEXT is marshalled across processes
// (the system asks the control for the length first), so no memory in the
// program's process is needed.
int cmd_combo_items(HWND cb) {
  DWORD_PTR count = 0, sel = 0;
  if (!send(cb, CB_GETCOUNT, 0, 0, &count) || static_cast<LRESULT>(count) < 0 ||
      !send(cb, CB_GETCURSEL, 0, 0, &sel)) {
    fail("the combo box does not answer");
    return 1;
  }
  std::wstring out;
  for (int i = 0; i < static_cast<int>(count); ++i) {
    DWORD_PTR len = 0, got = 0;
    if (!send(cb, CB_GETLBTEXTLEN, i, 0, &len) || static_cast<LRESULT>(len) < 0) {
      fail("cannot read the length of item %d", i);
      return 1;
    }
    // For a control that keeps ANSI text the length may count bytes: never less
    // than the UTF-16 units it hands back.
    std::vector<wchar_t> text(len + 1, L'\0');
    if (!send(cb, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()), &got) ||
        static_cast<LRESULT>(got) < 0) {
      fail("cannot read item %d", i);
      return 1;
    }
    out += i == static_cast<int>(sel) ? L'*' : L' ';
    out += one_line(std::wstring(text.data(), wcsnlen(text.data(), text.size())));
    out += L'\n';
  }
  // Printed only once every item was read, so a failure prints no partial list.
  std::string s = utf8(out);
  std::fwrite(s.data(), 1, s.size(), stdout);
  return 0;
}

// Selects item INDEX (0-based) as a person's choice in the list would: the combo
// box shows it, then its parent gets CBN_SELCHANGE.
int cmd_combo_select(HWND cb, const wchar_t* index_arg) {
  long index = 0;
  if (!parse_number(index_arg, &index)) {
    fail("not an item index: \"%s\"", utf8(index_arg).c_str());
    return 1;
  }
  if (!IsWindowEnabled(cb)) {
    fail("the combo box is disabled");
    return 1;
  }
  DWORD_PTR count = 0, got = 0;
  if (!send(cb, CB_GETCOUNT, 0, 0, &count)) {
    fail("the combo box does not answer");
    return 1;
  }
  if (index < 0 || index >= static_cast<long>(count)) {
    fail("no item %ld (the combo box has %d)", index, static_cast<int>(count));
    return 1;
  }
  if (!send(cb, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &got) ||
      static_cast<LRESULT>(got) != index) {
    fail("cannot select item %ld", index);
    return 1;
  }
  if (!notify_parent(cb, CBN_SELCHANGE)) {
    fail("cannot notify the combo box's parent (error %lu)", GetLastError());
    return 1;
  }
  return 0;
}

int cmd_combo(const std::wstring& title, const wchar_t* id_arg, const wchar_t* index_arg) {
  HWND cb = need_control(title, id_arg, L"ComboBox", "combo box");
  if (!cb) return 1;
  return index_arg ? cmd_combo_select(cb, index_arg) : cmd_combo_items(cb);
}

// --- check ---------------------------------------------------------------------

// How long a set check box may take to report its new state.
constexpr DWORD kSettleMs = 5000;

// Prints a check box's state (0, 1, or 2 for an indeterminate three-state box), or
// sets it to 0 or 1 as a click would. A click on an automatic box changes its
// state and then notifies the parent; the driver does the same with BM_SETCHECK
// and a posted BN_CLICKED, which ends in the wanted state whether or not the
// dialog is active (BM_CLICK imitates the mouse and can be lost then). A plain
// check box is changed by its program on BN_CLICKED, so only the notification is
// posted. Either way the driver waits until the box reports the wanted state.
int cmd_check(const std::wstring& title, const wchar_t* id_arg, const wchar_t* value_arg) {
  HWND b = need_control(title, id_arg, L"Button", "check box");
  if (!b) return 1;
  const LONG type = GetWindowLongW(b, GWL_STYLE) & BS_TYPEMASK;
  const bool automatic = type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE;
  if (!automatic && type != BS_CHECKBOX && type != BS_3STATE) {
    fail("control %s is a button, not a check box", utf8(id_arg).c_str());
    return 1;
  }
  DWORD_PTR state = 0;
  if (!send(b, BM_GETCHECK, 0, 0, &state)) {
    fail("the check box does not answer");
    return 1;
  }
  if (!value_arg) {
    std::printf("%u\n", static_cast<unsigned>(state));
    return 0;
  }
  long want = 0;
  if (!parse_number(value_arg, &want) || (want != 0 && want != 1)) {
    fail("a check box is set to 0 or 1, not \"%s\"", utf8(value_arg).c_str());
    return 1;
  }
  if (!IsWindowEnabled(b)) {
    fail("the check box is disabled");
    return 1;
  }
  if (state == static_cast<DWORD_PTR>(want)) return 0;
  DWORD_PTR ignored = 0;
  if (automatic && !send(b, BM_SETCHECK, static_cast<WPARAM>(want), 0, &ignored)) {
    fail("cannot set the check box");
    return 1;
  }
  if (!notify_parent(b, BN_CLICKED)) {
    fail("cannot notify the check box's parent (error %lu)", GetLastError());
    return 1;
  }
  DWORD start = GetTickCount();
  for (;;) {
    if (!send(b, BM_GETCHECK, 0, 0, &state)) {
      fail("the check box does not answer");
      return 1;
    }
    if (state == static_cast<DWORD_PTR>(want)) return 0;
    if (GetTickCount() - start >= kSettleMs) break;
    Sleep(kPollMs / 5);
  }
  fail("the check box still reads %u after %lu ms", static_cast<unsigned>(state),
       static_cast<unsigned long>(kSettleMs));
  return 1;
}

// --- type ----------------------------------------------------------------------

// Empties an edit control, then types TEXT into it as keyboard input arrives: one
// posted WM_CHAR per UTF-16 unit, so the control applies its own rules (its text
// limit, a password mask, digits only).
//
// Posted messages are handled in order, but a sent message is handled ahead of
// every posted one, so a round trip alone does not show that the characters are
// in. Behind them the driver posts a change of the text limit (to a neighbouring
// value, harmless once the characters are in), waits until the control reports
// it, then sets the limit back.
int cmd_type(const std::wstring& title, const wchar_t* id_arg, const std::wstring& text) {
  HWND e = need_control(title, id_arg, L"Edit", "edit control");
  if (!e) return 1;
  if (!IsWindowEnabled(e)) {
    fail("the edit control is disabled");
    return 1;
  }
  DWORD_PTR ok = 0, limit = 0;
  if (!send(e, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), &ok) || !ok ||
      !send(e, EM_GETLIMITTEXT, 0, 0, &limit)) {
    fail("cannot empty the edit control");
    return 1;
  }
  if (text.empty()) return 0;
  for (wchar_t c : text) {
    if (!PostMessageW(e, WM_CHAR, c, 1)) {
      fail("cannot type into the edit control (error %lu)", GetLastError());
      return 1;
    }
  }
  const DWORD_PTR marker = limit > 1 ? limit - 1 : limit + 1;
  if (!PostMessageW(e, EM_SETLIMITTEXT, marker, 0)) {
    fail("cannot post to the edit control (error %lu)", GetLastError());
    return 1;
  }
  DWORD start = GetTickCount();
  DWORD_PTR now = 0;
  for (;;) {
    if (!send(e, EM_GETLIMITTEXT, 0, 0, &now)) {
      fail("the edit control does not answer");
      return 1;
    }
    if (now == marker) break;
    if (GetTickCount() - start >= kSettleMs) {
      fail("the edit control did not take the typed text within %lu ms",
           static_cast<unsigned long>(kSettleMs));
      return 1;
    }
    Sleep(kPollMs / 5);
  }
  if (!send(e, EM_SETLIMITTEXT, limit, 0, &ok)) {
    fail("cannot restore the edit control's text limit");
    return 1;
  }
  return 0;
}

// --- link / folder -------------------------------------------------------------

// COM for the calling thread, for as long as the object lives.
class ComApartment {
 public:
  ComApartment() : hr_(CoInitialize(nullptr)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

// An interface pointer released when it goes out of scope.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* operator->() const { return p_; }
  void** out() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

constexpr int kLinkChars = 32768;

// The fields of a shell shortcut (.lnk), one per line: NAME <tab> VALUE. The
// target is the path as stored (environment variables not expanded).
int cmd_link(const std::wstring& file) {
  std::vector<wchar_t> full(kLinkChars, L'\0');
  DWORD n = GetFullPathNameW(file.c_str(), kLinkChars, full.data(), nullptr);
  if (n == 0 || n >= kLinkChars) {
    fail("not a file path: %s", utf8(file).c_str());
    return 1;
  }
  ComApartment com;
  if (FAILED(com.result())) {
    fail("cannot start COM (0x%08lx)", static_cast<unsigned long>(com.result()));
    return 1;
  }
  ComRef<IShellLinkW> link;
  ComRef<IPersistFile> persist;
  HRESULT hr =
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out());
  if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, persist.out());
  if (FAILED(hr)) {
    fail("no shell link object (0x%08lx)", static_cast<unsigned long>(hr));
    return 1;
  }
  hr = persist->Load(full.data(), STGM_READ);
  if (FAILED(hr)) {
    fail("cannot load the shortcut %s (0x%08lx)", utf8(full.data()).c_str(),
         static_cast<unsigned long>(hr));
    return 1;
  }
  std::vector<wchar_t> buf(kLinkChars, L'\0');
  std::wstring out;
  auto field = [&](const wchar_t* name, HRESULT got, const std::wstring& value) {
    if (FAILED(got)) {
      fail("cannot read the %s of the shortcut (0x%08lx)", utf8(name).c_str(),
           static_cast<unsigned long>(got));
      return false;
    }
    out += name;
    out += L'\t';
    out += one_line(value);
    out += L'\n';
    return true;
  };
  // Each getter leaves an empty string when the shortcut has no such field; the
  // getter runs before its text is taken.
  auto text = [&]() { return std::wstring(buf.data(), wcsnlen(buf.data(), buf.size())); };
  buf[0] = L'\0';
  hr = link->GetPath(buf.data(), kLinkChars, nullptr, SLGP_RAWPATH);
  if (!field(L"target", hr, text())) return 1;
  buf[0] = L'\0';
  hr = link->GetArguments(buf.data(), kLinkChars);
  if (!field(L"arguments", hr, text())) return 1;
  buf[0] = L'\0';
  hr = link->GetWorkingDirectory(buf.data(), kLinkChars);
  if (!field(L"folder", hr, text())) return 1;
  buf[0] = L'\0';
  hr = link->GetDescription(buf.data(), kLinkChars);
  if (!field(L"description", hr, text())) return 1;
  buf[0] = L'\0';
  int icon = 0;
  hr = link->GetIconLocation(buf.data(), kLinkChars, &icon);
  if (!field(L"icon", hr, text() + L"," + std::to_wstring(icon))) return 1;
  int show = 0;
  hr = link->GetShowCmd(&show);
  if (!field(L"show", hr, std::to_wstring(show))) return 1;
  std::string s = utf8(out);
  std::fwrite(s.data(), 1, s.size(), stdout);
  return 0;
}

// A shell folder of the current user as a Windows path. The folder is not
// created: a shell without one is reported as a failure.
int cmd_folder(const std::wstring& name) {
  if (name != L"startup") {
    fail("unknown folder \"%s\" (known: startup)", utf8(name).c_str());
    return 1;
  }
  wchar_t path[MAX_PATH] = {};
  HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_STARTUP, nullptr, SHGFP_TYPE_CURRENT, path);
  if (hr != S_OK || path[0] == L'\0') {
    fail("the shell has no Startup folder (0x%08lx)", static_cast<unsigned long>(hr));
    return 1;
  }
  print_line(path);
  return 0;
}

int usage() {
  std::fputs(
      "usage: uidriver [-a] COMMAND ...\n"
      "  wait TITLE [SECONDS]        wait until a window with that exact title is shown (30)\n"
      "  gone TITLE [SECONDS]        wait until no such window is shown (30)\n"
      "  texts TITLE                 print CLASS\\tID\\tFLAGS\\tTEXT of the window and its "
      "controls\n"
      "  click TITLE BUTTON_TEXT     press the button with that caption\n"
      "  ctrlclick TITLE BUTTON_TEXT press it with the Ctrl key held (returns once handled)\n"
      "  list TITLE [CONTROL_ID]     print a list view's rows, columns separated by tabs\n"
      "  select TITLE ROW [CONTROL_ID]  select a list view row (0-based)\n"
      "  columns TITLE [CONTROL_ID]  print a list view's columns: WIDTH\\tTITLE\n"
      "  shot TITLE FILE.bmp         save a screenshot of the window (TITLE \"-\": the screen)\n"
      "  close TITLE                 ask the window to close\n"
      "  command TITLE ID            post the menu command ID to the window\n"
      "  shm NAME OFFSET [VALUE]     print or write one byte of a named shared-memory block\n"
      "  combo TITLE ID [INDEX]      print a combo box's items (\"*\" marks the selected one),\n"
      "                              or select item INDEX (0-based)\n"
      "  check TITLE ID [0|1]        print a check box's state, or set it as a click would\n"
      "  type TITLE ID TEXT          empty an edit control and type TEXT into it\n"
      "  link FILE                   print a shortcut's target, arguments, folder, description,\n"
      "                              icon and show command\n"
      "  folder startup              print the current user's Startup folder\n"
      "  -a  also consider hidden windows and controls\n",
      stderr);
  return 1;
}

}  // namespace

int main() {
  _setmode(_fileno(stdout), _O_BINARY);
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return usage();
  int i = 1;
  if (i < argc && std::wcscmp(argv[i], L"-a") == 0) {
    g_hidden = true;
    ++i;
  }
  if (argc - i < 2) return usage();
  const std::wstring cmd = argv[i];
  // The first argument after the command: a window title for most commands, the
  // file for link, the folder's name for folder.
  const std::wstring title = argv[i + 1];
  const int rest = argc - i - 2;  // arguments after the title
  wchar_t** more = argv + i + 2;
  int rc;
  if (cmd == L"wait") {
    rc = cmd_wait(title, seconds_arg(rest, more, 0, 30));
  } else if (cmd == L"gone") {
    rc = cmd_gone(title, seconds_arg(rest, more, 0, 30));
  } else if (cmd == L"texts") {
    rc = cmd_texts(title);
  } else if (cmd == L"click" && rest == 1) {
    rc = cmd_click(title, more[0], false);
  } else if (cmd == L"ctrlclick" && rest == 1) {
    rc = cmd_click(title, more[0], true);
  } else if (cmd == L"list") {
    rc = cmd_list(title, rest >= 1 ? more[0] : nullptr);
  } else if (cmd == L"columns") {
    rc = cmd_columns(title, rest >= 1 ? more[0] : nullptr);
  } else if (cmd == L"select" && rest >= 1) {
    rc = cmd_select(title, _wtoi(more[0]), rest >= 2 ? more[1] : nullptr);
  } else if (cmd == L"shot" && rest == 1) {
    rc = cmd_shot(title, more[0]);
  } else if (cmd == L"close") {
    rc = cmd_close(title);
  } else if (cmd == L"command" && rest == 1) {
    rc = cmd_command(title, more[0]);
  } else if (cmd == L"shm" && rest >= 1) {
    rc = cmd_shm(title, more[0], rest >= 2 ? more[1] : nullptr);
  } else if (cmd == L"combo" && (rest == 1 || rest == 2)) {
    rc = cmd_combo(title, more[0], rest == 2 ? more[1] : nullptr);
  } else if (cmd == L"check" && (rest == 1 || rest == 2)) {
    rc = cmd_check(title, more[0], rest == 2 ? more[1] : nullptr);
  } else if (cmd == L"type" && rest == 2) {
    rc = cmd_type(title, more[0], more[1]);
  } else if (cmd == L"link" && rest == 0) {
    rc = cmd_link(title);
  } else if (cmd == L"folder" && rest == 0) {
    rc = cmd_folder(title);
  } else {
    rc = usage();
  }
  std::fflush(stdout);
  LocalFree(argv);
  return rc;
}
