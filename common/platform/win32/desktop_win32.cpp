// The desktop surface on Windows: Shell_NotifyIconA for the tray, the system
// metrics and the shell's taskbar for the screen layout, GDI for bitmaps.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>

#include "platform/desktop.h"

namespace plat {
namespace {

#ifndef _WIN64
// The record of the notification area in its full (Vista and later) form.
static_assert(sizeof(NOTIFYICONDATAA) == 508);
#endif

NOTIFYICONDATAA* rec_of(void* rec) { return static_cast<NOTIFYICONDATAA*>(rec); }

template <std::size_t N>
void copy_text(char (&dst)[N], const char* src) {
  std::size_t n = src ? std::strlen(src) : 0;
  if (n >= N) n = N - 1;
  if (n) std::memcpy(dst, src, n);
  dst[n] = '\0';
}

struct ThreadStart {
  void (*fn)(void*);
  void* arg;
};

DWORD WINAPI thread_main(LPVOID p) {
  ThreadStart start = *static_cast<ThreadStart*>(p);
  delete static_cast<ThreadStart*>(p);
  start.fn(start.arg);
  return 0;
}

}  // namespace

bool tray_traced() { return false; }
std::size_t tray_record_size() { return sizeof(NOTIFYICONDATAA); }

void tray_fill(void* rec, void* wnd, unsigned id, unsigned callback_msg, void* icon,
               const char* tip) {
  NOTIFYICONDATAA* nid = rec_of(rec);
  std::memset(nid, 0, sizeof *nid);
  nid->cbSize = sizeof *nid;
  nid->hWnd = static_cast<HWND>(wnd);
  nid->uID = id;
  nid->uCallbackMessage = callback_msg;
  nid->hIcon = static_cast<HICON>(icon);
  copy_text(nid->szTip, tip ? tip : "");
  nid->uFlags = NIF_INFO;
  if (callback_msg) nid->uFlags |= NIF_MESSAGE;
  if (icon) nid->uFlags |= NIF_ICON;
  if (tip) nid->uFlags |= NIF_TIP;
}

bool tray_add(void* rec) { return Shell_NotifyIconA(NIM_ADD, rec_of(rec)) != FALSE; }

bool tray_set_tip(void* rec, const char* tip) {
  NOTIFYICONDATAA* nid = rec_of(rec);
  nid->uFlags = NIF_TIP;
  copy_text(nid->szTip, tip);
  return Shell_NotifyIconA(NIM_MODIFY, nid) != FALSE;
}

bool tray_balloon(void* rec, const char* title, const char* text, int icon_type) {
  NOTIFYICONDATAA* nid = rec_of(rec);
  nid->uFlags = NIF_INFO;
  switch (icon_type) {
    case 1:
      nid->dwInfoFlags = NIIF_INFO;
      break;
    case 2:
      nid->dwInfoFlags = NIIF_WARNING;
      break;
    case 3:
      nid->dwInfoFlags = NIIF_ERROR;
      break;
    default:
      nid->dwInfoFlags = NIIF_NONE;
      break;
  }
  nid->uTimeout = 10000;
  copy_text(nid->szInfoTitle, title);
  copy_text(nid->szInfo, text);
  return Shell_NotifyIconA(NIM_MODIFY, nid) != FALSE;
}

void tray_delete(void* rec) { Shell_NotifyIconA(NIM_DELETE, rec_of(rec)); }

Rect virtual_screen() {
  Rect r;
  r.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  r.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  r.right = r.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  r.bottom = r.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  return r;
}

int monitor_count() { return GetSystemMetrics(SM_CMONITORS); }
int caption_height() { return GetSystemMetrics(SM_CYCAPTION); }

bool taskbar_rect(Rect& out) {
  APPBARDATA abd{};
  abd.cbSize = sizeof abd;
  abd.hWnd = FindWindowA("Shell_TrayWnd", nullptr);
  if (!abd.hWnd) return false;
  if (SHAppBarMessage(ABM_GETSTATE, &abd) & ABS_AUTOHIDE) return false;
  RECT rc;
  if (!GetWindowRect(abd.hWnd, &rc)) return false;
  out = Rect{rc.left, rc.top, rc.right, rc.bottom};
  return true;
}

int dc_draw_dib(void* dc, int dx, int dy, int dw, int dh, const void* info, const void* bits,
                bool halftone) {
  HDC hdc = static_cast<HDC>(dc);
  const auto* bi = static_cast<const BITMAPINFO*>(info);
  int sw = bi->bmiHeader.biWidth;
  int sh = bi->bmiHeader.biHeight < 0 ? -bi->bmiHeader.biHeight : bi->bmiHeader.biHeight;
  if (halftone) {
    SetStretchBltMode(hdc, HALFTONE);
    SetBrushOrgEx(hdc, 0, 0, nullptr);
  }
  return StretchDIBits(hdc, dx, dy, dw, dh, 0, 0, sw, sh, bits, bi, DIB_RGB_COLORS, SRCCOPY);
}

bool dc_capture(void* dc, int left, int top, int w, int h, void* pixels) {
  HDC src = static_cast<HDC>(dc);
  HDC mem = CreateCompatibleDC(src);
  if (!mem) return false;
  HBITMAP bmp = CreateCompatibleBitmap(src, w, h);
  bool ok = false;
  if (bmp) {
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, src, left, top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    ok = GetDIBits(mem, bmp, 0, static_cast<UINT>(h), pixels, &bi, DIB_RGB_COLORS) == h;
    DeleteObject(bmp);
  }
  DeleteDC(mem);
  return ok;
}

void window_text_color(void* wnd, std::uint32_t colorref) {
  HWND hwnd = static_cast<HWND>(wnd);
  if (HDC dc = GetDC(hwnd)) {
    SetTextColor(dc, colorref);
    ReleaseDC(hwnd, dc);
  }
}

void list_view_prepare(void* list, const ListColumn* columns, int count) {
  HWND lv = static_cast<HWND>(list);
  SetWindowLongPtrA(lv, GWL_STYLE, (GetWindowLongPtrA(lv, GWL_STYLE) & ~LVS_TYPEMASK) | LVS_REPORT);
  SendMessageA(lv, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
               LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  while (SendMessageA(lv, LVM_DELETECOLUMN, 0, 0)) {
  }
  int avg = 8;
  HDC dc = GetDC(lv);
  auto font = reinterpret_cast<HFONT>(SendMessageA(lv, WM_GETFONT, 0, 0));
  if (!font) font = reinterpret_cast<HFONT>(SendMessageA(GetParent(lv), WM_GETFONT, 0, 0));
  HGDIOBJ old = dc && font ? SelectObject(dc, font) : nullptr;
  TEXTMETRICA tm;
  if (dc && GetTextMetricsA(dc, &tm) && tm.tmAveCharWidth > 0) avg = tm.tmAveCharWidth;
  // The header draws its text with a margin of three edges on either side.
  const int margin = 6 * GetSystemMetrics(SM_CXEDGE) + avg;
  for (int c = 0; c < count; ++c) {
    int cx = columns[c].chars * avg;
    SIZE title{};
    const int len = static_cast<int>(std::strlen(columns[c].title));
    if (dc && GetTextExtentPoint32A(dc, columns[c].title, len, &title)) {
      const int needed = (title.cx + margin + avg - 1) / avg * avg;
      if (needed > cx) cx = needed;
    }
    LVCOLUMNA col{};
    col.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.fmt = columns[c].centred ? LVCFMT_CENTER : LVCFMT_LEFT;
    col.cx = cx;
    col.pszText = const_cast<char*>(columns[c].title);
    col.iSubItem = c;
    SendMessageA(lv, LVM_INSERTCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&col));
  }
  if (old) SelectObject(dc, old);
  if (dc) ReleaseDC(lv, dc);
}

void list_view_fill(void* list, const std::vector<std::vector<std::string>>& rows) {
  HWND lv = static_cast<HWND>(list);
  SendMessageA(lv, LVM_DELETEALLITEMS, 0, 0);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].empty()) continue;
    LVITEMA it{};
    it.mask = LVIF_TEXT | LVIF_PARAM;
    it.iItem = static_cast<int>(i);
    it.pszText = const_cast<char*>(rows[i][0].c_str());
    it.lParam = static_cast<LPARAM>(i);
    const int row =
        static_cast<int>(SendMessageA(lv, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
    if (row < 0) continue;
    for (std::size_t c = 1; c < rows[i].size(); ++c) {
      LVITEMA cell{};
      cell.iSubItem = static_cast<int>(c);
      cell.pszText = const_cast<char*>(rows[i][c].c_str());
      SendMessageA(lv, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    }
  }
}

int list_view_selected(void* list, int* row) {
  HWND lv = static_cast<HWND>(list);
  *row =
      static_cast<int>(SendMessageA(lv, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (*row < 0) return -1;
  LVITEMA it{};
  it.mask = LVIF_PARAM;
  it.iItem = *row;
  if (!SendMessageA(lv, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) return -1;
  return static_cast<int>(it.lParam);
}

void list_view_select(void* list, int row) {
  LVITEMA sel{};
  sel.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  sel.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(static_cast<HWND>(list), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(&sel));
}

int message_beep(unsigned kind) { return MessageBeep(kind); }

void* thread_start(void (*fn)(void*), void* arg) {
  auto* start = new ThreadStart{fn, arg};
  HANDLE h = CreateThread(nullptr, 0, thread_main, start, 0, nullptr);
  if (!h) delete start;
  return h;
}

void thread_join(void* thread) {
  if (!thread) return;
  WaitForSingleObject(static_cast<HANDLE>(thread), INFINITE);
  CloseHandle(static_cast<HANDLE>(thread));
}

}  // namespace plat
