// The Windows entry point of qrt000: the application object is built before
// anything else runs and destroyed after the start-up and the menu return. The
// menu's window and the download window are installed into the portable logic.
#include <windows.h>
#include <commctrl.h>

#include "download_dialog.h"
#include "menu_dialog.h"
#include "qrt000_app.h"
#include "update.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdline, int) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  update_window_maker(make_download_dialog);
  menu_window_set(run_menu_dialog);
  CQrt000App app;
  app.InitInstance(cmdline);
  return 0;
}
