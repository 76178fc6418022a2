// The Windows entry point of qrt000: the application object is built before
// anything else runs and destroyed after the start-up (and the menu) return.
#include <windows.h>

#include "qrt000_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdline, int) {
  CQrt000App app;
  app.InitInstance(cmdline);
  return 0;
}
