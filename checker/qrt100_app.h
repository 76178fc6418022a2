// The checker's application object: builds the common areas on construction,
// runs the start-up body (single instance, control block, settings, logs,
// folders, launcher replacement, user master, settings, retention cleanup) and
// the closing steps with their banners.
#pragma once

class CMyApp {
 public:
  CMyApp();
  ~CMyApp();
  CMyApp(const CMyApp&) = delete;
  CMyApp& operator=(const CMyApp&) = delete;

  // The start-up with the window, the tray icon and the threads (Windows). False
  // when the program must end at once.
  bool InitInstance();
  // The start-up body: 0, or -1 when the checker must not run (the reason has
  // been shown).
  int StartupBody();
};

namespace checker {

// The start-up body on the areas already built (CMyApp::StartupBody).
int startup_body();
// Start the watcher and the scheduler thread (the timer between them is the
// window's).
void start_watcher();
void start_scheduler();
// The closing steps: tray icon removed, a running check awaited, open files
// listed and closed, both closing banners. Runs once; later calls do nothing.
void closing();
// The watcher thread's end of the process: the closing steps, then the process
// ends with exit status 0 at once. The areas are left to the end of the process,
// so that the main thread never finds them freed under it.
[[noreturn]] void end_process();

}  // namespace checker
