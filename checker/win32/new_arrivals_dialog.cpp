#include "new_arrivals_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include "new_arrivals.h"
#include "platform/desktop.h"
#include "resource.h"
#include "zrlib.h"

namespace {

constexpr COLORREF kBackground = RGB(250, 200, 205);
constexpr COLORREF kHeadingColor = RGB(0, 40, 159);
constexpr COLORREF kNoticeColor = RGB(255, 0, 0);

constexpr plat::ListColumn kColumns[] = {
    {"検索式", false, 40},
    {"検索件数", true, 8},
    {"既読", true, 8},
};

}  // namespace

CQrt100Dlg::CQrt100Dlg(HWND parent)
    : parent_(parent),
      brush_(CreateSolidBrush(kBackground)),
      icon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

CQrt100Dlg::~CQrt100Dlg() {
  if (heading_font_) DeleteObject(heading_font_);
  DeleteObject(brush_);
}

INT_PTR CQrt100Dlg::DoModal() {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_NEW_ARRIVALS), parent_,
                         Proc, reinterpret_cast<LPARAM>(this));
}

void CQrt100Dlg::OnInitDialog() {
  SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  SendDlgItemMessageA(hwnd_, IDC_ALERT_ICON, STM_SETICON,
                      reinterpret_cast<WPARAM>(LoadIcon(nullptr, IDI_EXCLAMATION)), 0);
  list_ = GetDlgItem(hwnd_, IDC_REQUEST_LIST);
  check_ = GetDlgItem(hwnd_, IDC_NO_POPUP);
  summary_ = GetDlgItem(hwnd_, -1);

  heading_font_ =
      CreateFontA(0, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH, "System");
  SendDlgItemMessageA(hwnd_, IDC_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(heading_font_),
                      TRUE);

  plat::list_view_prepare(list_, kColumns, 3);
  SendMessageA(check_, BM_SETCHECK, zrsdi->disp_first == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
  Fill();
  checker::nad_opened();
  SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void CQrt100Dlg::Fill() {
  char summary[256];
  sdi_view_summary(summary, sizeof summary);
  SetWindowTextA(summary_, summary);
  plat::list_view_fill(list_, sdi_view_rows());
}

void CQrt100Dlg::OnOpen() {
  int row = -1;
  const int request = plat::list_view_selected(list_, &row);
  char url[256];
  if (!checker::nad_open(request, url, sizeof url)) return;
  SetWindowPos(hwnd_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
  Fill();
  if (row >= 0) plat::list_view_select(list_, row);
}

void CQrt100Dlg::OnClose() {
  checker::nad_close(SendMessageA(check_, BM_GETCHECK, 0, 0) == BST_CHECKED);
  EndDialog(hwnd_, IDCANCEL);
}

INT_PTR CQrt100Dlg::OnCtlColor(HDC dc, HWND control, bool is_static) {
  if (is_static) {
    SetBkMode(dc, TRANSPARENT);
    int id = GetDlgCtrlID(control);
    if (id == IDC_HEADING) {
      SetTextColor(dc, kHeadingColor);
    } else if (id == IDC_NOTICE) {
      SetTextColor(dc, kNoticeColor);
    } else {
      SetBkColor(dc, kBackground);
    }
  }
  return reinterpret_cast<INT_PTR>(brush_);
}

INT_PTR CALLBACK CQrt100Dlg::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CQrt100Dlg*>(lp);
    SetWindowLongPtrA(hwnd, DWLP_USER, lp);
    self->hwnd_ = hwnd;
    self->OnInitDialog();
    return TRUE;
  }
  auto* self = reinterpret_cast<CQrt100Dlg*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (!self) return FALSE;
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        self->OnOpen();
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {
        self->OnClose();
        return TRUE;
      }
      return FALSE;
    case WM_CTLCOLORSTATIC:
      return self->OnCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), true);
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      return self->OnCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), false);
    default:
      return FALSE;
  }
}

void run_new_arrivals_dialog() {
  CQrt100Dlg dlg(static_cast<HWND>(zrsdi->main_wnd));
  zrsdi->open_dialog = &dlg;
  dlg.DoModal();
  zrsdi->open_dialog = nullptr;
}
