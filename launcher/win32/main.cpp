// The Windows entry point of qrt000: the application object is built before
// anything else runs and destroyed after the start-up and the menu return. The
// menu's window, the download window and the shell behind the start-up
// shortcut are installed into the portable logic.
#include <windows.h>
#include <commctrl.h>

#include "download_dialog.h"
#include "menu_dialog.h"
#include "options_dialog.h"
#include "qrt000_app.h"
#include "update.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdline, int) {
  INITCOMMONCONTROLSEX icc{sizeof icc,
                           ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  update_window_maker(make_download_dialog);
  menu_window_set(run_menu_dialog);
  install_shortcut_shell();
  CQrt000App app;
  app.InitInstance(cmdline);
  return 0;
}
