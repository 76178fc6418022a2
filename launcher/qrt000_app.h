// The launcher's application object: builds the common areas on construction,
// runs the start-up sequence, and frees everything on destruction.
#pragma once

#include <cstddef>

class CQrt000App {
 public:
  CQrt000App();
  ~CQrt000App();
  CQrt000App(const CQrt000App&) = delete;
  CQrt000App& operator=(const CQrt000App&) = delete;

  // The start-up sequence for the arguments after the program name, then the
  // SDI checker menu. False when the launcher must end at once (no menu).
  bool InitInstance(const char* args);
};

// The menu's window, shown modally between menu::prepare and menu::closed. The
// Windows program installs it before the start-up; without one (natively) the
// menu is prepared and closed at once.
using MenuWindowFn = void (*)();
MenuWindowFn menu_window_set(MenuWindowFn fn);

// The launch mode for the first character of the arguments: 1 for "0", 2 for
// "V", 3 for "S", 0 for anything else (the launcher then ends silently).
int launch_mode_of(const char* args);

// The terminal name: the computer name cut or space-padded to 20 bytes.
void term_name_from(const char* computer_name, char* out, std::size_t cap);
