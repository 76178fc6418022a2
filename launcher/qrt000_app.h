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

  // The start-up sequence for the arguments after the program name. False when
  // the launcher must end at once (no window has been shown for the menu).
  bool InitInstance(const char* args);
};

// The launch mode for the first character of the arguments: 1 for "0", 2 for
// "V", 3 for "S", 0 for anything else (the launcher then ends silently).
int launch_mode_of(const char* args);

// The terminal name: the computer name cut or space-padded to 20 bytes.
void term_name_from(const char* computer_name, char* out, std::size_t cap);
