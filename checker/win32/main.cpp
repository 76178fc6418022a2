// The Windows entry point of qrt100: the application object is built before
// anything else runs; the instance start-up creates the hidden window and the
// tray icon, runs the start-up body and starts the threads; the main thread then
// runs the window's messages until the process ends.
#include <windows.h>
#include <commctrl.h>

#include "new_arrivals.h"
#include "new_arrivals_dialog.h"
#include "platform/platform.h"
#include "qrt100_app.h"
#include "runtime/desktop.h"
#include "zrlib.h"
#include "tray_window.h"

namespace {
CMyApp theApp;
CMyWindow g_window;
}  // namespace

bool CMyApp::InitInstance() {
  if (!plat::ole_init()) return false;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!g_window.Create(instance)) return false;
  zrsdi->main_wnd = g_window.hwnd();
  _tray_add(g_window.hwnd(), 1, CMyWindow::kTrayMessage, g_window.icon(),
            "Orvanta SDIチェッカー起動中");
  if (StartupBody() != 0) return false;
  checker::dialog_set(run_new_arrivals_dialog);
  checker::start_watcher();
  g_window.StartTimer();
  checker::start_scheduler();
  _tray_balloon("【 Orvanta SDIチェッカー 】", "SDIチェッカーを起動しました", ZR_BALLOON_INFO);
  return true;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (!theApp.InitInstance()) return 0;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // The window was closed: the same end as a stop from the watcher.
  checker::end_process();
}
