// The SDI checker menu's logic, without its window: preparing the menu, the
// button states, and the start and stop commands. The Windows dialog
// (win32/menu_dialog.cpp) binds its buttons to these functions.
#pragma once

#include <cstdint>

namespace menu {

// Control IDs of the menu's buttons (dialog resource 119).
enum : int {
  kIdStart = 1072,
  kIdStop = 1074,
  kIdOptions = 1075,
  kIdHistory = 1079,
  kIdAccount = 1080,
  kIdBack = 2,
};

// Which buttons are enabled.
struct Buttons {
  bool start = true, stop = true, history = true, options = true, account = true;
};

// What the menu does after a command.
enum class After {
  kStay,   // the menu stays open for another try
  kClose,  // the menu closes (the launcher then ends)
};

// Whether a checker runs now (its control block "QRT100" exists).
bool checker_running();

// Prepares the menu before its window opens: tells a running checker that the
// menu is open (cfg_chg 1), creates the DLV folders, reads UID_QRT.FIL, the SDI
// settings and the result counters.
void prepare();
// The button states when the window opens.
Buttons on_open();
// Whether the menu runs the start command at once (the launcher was started
// with "S").
bool start_at_once();
// The button states after the ID and password dialog (only when the account
// was accepted; *changed false otherwise).
Buttons after_account(const Buttons& now, bool* changed);

// The start command: the checks, the connection, the program update, the swap
// of QRT100.NEW and the start of the checker. When the checker's process cannot
// be created the launcher shows the error code and ends.
After start();
// The stop command: asks a running checker to end (run_sts 9).
After stop();
// After the window has closed: a running checker may check again (cfg_chg 0).
void closed();

// Starting the checker's process (tests replace it). Returns 0 or the
// system's error code.
using StartFn = std::uint32_t (*)(const char* path);
StartFn start_fn(StartFn fn);

}  // namespace menu
