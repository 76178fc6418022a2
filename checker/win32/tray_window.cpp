#include "tray_window.h"

#include "new_arrivals.h"
#include "platform/platform.h"
#include "resource.h"
#include "zrlib.h"
#include "schedule.h"

namespace {
constexpr const char* kClassName = "QRT100_TrayWindow";
}

bool CMyWindow::Create(HINSTANCE instance) {
  instance_ = instance;
  icon_ = LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hIcon = icon_;
  wc.hIconSm = icon_;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kClassName;
  if (!RegisterClassExA(&wc)) return false;
  hwnd_ = CreateWindowExA(0, kClassName, "QRT100", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                          CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  ShowWindow(hwnd_, SW_HIDE);
  UpdateWindow(hwnd_);
  SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  return true;
}

void CMyWindow::StartTimer() { SetTimer(hwnd_, kTimerId, kTimerMs, nullptr); }

void CMyWindow::ShowTrayMenu() {
  SetForegroundWindow(hwnd_);
  HMENU menu = LoadMenuA(instance_, MAKEINTRESOURCEA(IDR_TRAY_MENU));
  if (!menu) return;
  HMENU popup = GetSubMenu(menu, 0);
  EnableMenuItem(popup, ID_SDI_LATEST,
                 MF_BYCOMMAND | (checker::latest_enabled() ? MF_ENABLED : MF_GRAYED));
  POINT pt;
  GetCursorPos(&pt);
  TrackPopupMenu(popup, TPM_RIGHTBUTTON, pt.x, pt.y, 0, hwnd_, nullptr);
  PostMessageA(hwnd_, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

void CMyWindow::OnCommand(UINT id) {
  switch (id) {
    case ID_SDI_LATEST:
      // A command that arrives while the item is disabled is not carried out.
      if (checker::latest_enabled()) sdi_disp_chk(true);
      break;
    case ID_SDI_EXIT:
      if (_mes_box("ＳＤＩチェッカーを終了します、よろしいですか？", plat::kMbYesNo) ==
          plat::kIdYes) {
        checker::state().stop = 1;
        KillTimer(hwnd_, kTimerId);
      }
      break;
    default:
      break;
  }
}

LRESULT CALLBACK CMyWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<CMyWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (msg) {
    case kTrayMessage:
      if (self && LOWORD(lp) == WM_RBUTTONUP) self->ShowTrayMenu();
      return 0;
    case WM_COMMAND:
      if (self) self->OnCommand(LOWORD(wp));
      return 0;
    case WM_TIMER:
      if (wp == kTimerId && zrsdi->checker_status != 1) sdi_disp_chk(false);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wp, lp);
  }
}
