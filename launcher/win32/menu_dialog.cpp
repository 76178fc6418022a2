#include "menu_dialog.h"

#include "account_dialog.h"
#include "history_dialog.h"
#include "options_dialog.h"
#include "resource.h"
#include "zrlib.h"

namespace {

constexpr COLORREF kText = RGB(0, 0, 0);
constexpr COLORREF kFace = RGB(144, 200, 200);
constexpr int kBevel = 2;
// Posted to the dialog by itself so that the start command of launch mode "S"
// runs once the dialog is on the screen (the template is WS_VISIBLE, so the
// dialog is shown before its message loop runs).
constexpr UINT kStartNow = WM_APP + 1;

constexpr int kButtonIds[] = {menu::kIdStart,   menu::kIdStop,    menu::kIdHistory,
                              menu::kIdOptions, menu::kIdAccount, menu::kIdBack};

}  // namespace

INT_PTR CMenuDlg::DoModal() { return ModalDialog::DoModal(IDD_MENU); }

void CMenuDlg::Apply(const menu::Buttons& b) {
  buttons_ = b;
  EnableWindow(GetDlgItem(hwnd_, menu::kIdStart), b.start);
  EnableWindow(GetDlgItem(hwnd_, menu::kIdStop), b.stop);
  EnableWindow(GetDlgItem(hwnd_, menu::kIdHistory), b.history);
  EnableWindow(GetDlgItem(hwnd_, menu::kIdOptions), b.options);
  EnableWindow(GetDlgItem(hwnd_, menu::kIdAccount), b.account);
}

void CMenuDlg::OnInitDialog() {
  const COLORREF disabled = GetSysColor(COLOR_GRAYTEXT);
  for (int i = 0; i < 6; ++i)
    colour_[i].Attach(hwnd_, kButtonIds[i], kText, kFace, disabled, kBevel);
  Apply(menu::on_open());
  if (menu::start_at_once()) PostMessageA(hwnd_, kStartNow, 0, 0);
}

void CMenuDlg::Run(int id) {
  if (busy_) return;  // clicks made while a command runs are dropped
  struct Busy {
    bool& flag;
    explicit Busy(bool& f) : flag(f) { flag = true; }
    ~Busy() { flag = false; }
  } busy(busy_);
  switch (id) {
    case menu::kIdStart:
      if (menu::start() == menu::After::kClose) EndDialog(hwnd_, id);
      break;
    case menu::kIdStop:
      if (menu::stop() == menu::After::kClose) EndDialog(hwnd_, id);
      break;
    case menu::kIdOptions:
      CQrt020Dlg(hwnd_).DoModal();
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    case menu::kIdHistory:
      CQrt030Dlg(hwnd_).DoModal();
      break;
    case menu::kIdAccount: {
      CQrt040Dlg(hwnd_).DoModal();
      bool changed = false;
      menu::Buttons b = menu::after_account(buttons_, &changed);
      if (changed) Apply(b);
      break;
    }
    case menu::kIdBack:
      EndDialog(hwnd_, id);
      break;
    default:
      break;
  }
}

// Every button click is the menu's: 戻り and Escape (IDCANCEL, the same number)
// end it unless a command runs.
bool CMenuDlg::OnCommand(int id, int code) {
  if (code == BN_CLICKED) Run(id);
  return true;
}

bool CMenuDlg::OnMessage(UINT msg, WPARAM, LPARAM lp, INT_PTR* result) {
  if (msg == kStartNow) {
    // Painted first: the start command blocks the dialog until it returns.
    UpdateWindow(hwnd_);
    Run(menu::kIdStart);
    *result = TRUE;
    return true;
  }
  if (msg != WM_DRAWITEM) return false;
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
  for (const CColor_Button& b : colour_) {
    if (b.hwnd() && b.hwnd() == item->hwndItem) {
      b.Draw(*item);
      *result = TRUE;
      return true;
    }
  }
  return false;
}

void run_menu_dialog() {
  // The menu's messages carry the application title of string resource 57344.
  char title[64];
  if (LoadStringA(GetModuleHandleA(nullptr), IDS_APP_TITLE, title, sizeof title) > 0) {
    zr_app_title_set(title);
  }
  CMenuDlg dialog;
  dialog.DoModal();
}
