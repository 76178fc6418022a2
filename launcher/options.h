// The SDI options dialog's logic, without its window: the items of its lists,
// the selections it opens with, what 登録 stores, and the start-up shortcut
// that starts the launcher with "S" when the user logs on to Windows.
#pragma once

#include <cstddef>
#include <string>

namespace options {

// Control IDs of the options dialog (dialog resource 210).
enum : int {
  kIdAutoStart = 1130,
  kIdCheckTime = 1131,
  kIdDispCycle = 1132,
  kIdZeroDisp = 1133,
  kIdNetwork = 1134,
  kIdDlvType = 1135,
};

// The items of the lists, in the order shown (index = stored value).
inline constexpr const char* kDlvTypes[] = {"発行日毎", "週１回", "半月１回", "月１回"};
inline constexpr const char* kDispCycles[] = {"　５分毎", "１０分毎", "３０分毎", "１時間毎",
                                              "２時間毎"};
// The check times: the half hours from 00:30 to 23:30.
inline constexpr int kTimeCount = 47;
// The item selected when check_time is none of the items (12:30).
inline constexpr int kTimeFallback = 24;

// "HH:MM" of check-time item i (0 is 00:30).
void time_item(int i, char (&out)[6]);
// The item that begins with the HH:MM of check_time, else kTimeFallback.
int time_index(const char* check_time);

// What the dialog's controls show.
struct Choice {
  int dlv_type = 0;
  int check_time = kTimeFallback;  // item index
  int disp_cycle = 0;
  bool auto_start = false;
  bool zero_disp = false;
};
// The selections the dialog opens with, from the loaded settings.
Choice on_open();
// 登録: takes the choice into the settings, keeps the start-up shortcut in step
// with auto_start and stores CONFIG.INI.
void store(const Choice& c);

// ---- the start-up shortcut ----------------------------------------------------

// The shortcut the shell starts at logon.
struct Link {
  std::string path;         // ...\QRT_SDI.LNK in the Startup folder
  std::string target;       // qrt000.exe in the install folder
  std::string arguments;    // "S"
  std::string folder;       // the install folder
  std::string description;  // "Orvanta SDI"
  std::string icon;         // the executable holding the icon
  int icon_index = 2;
  bool normal_window = true;
};

// The shell operations behind the shortcut (the Windows program installs the
// real ones; tests install fakes). startup_folder returns false when the shell
// cannot name the folder; save replaces an older file.
struct Shell {
  bool (*startup_folder)(std::string* out) = nullptr;
  bool (*save)(const Link& link) = nullptr;
};
// Installs the shell operations; returns the previous ones.
Shell shell_set(const Shell& s);

// Creates (on) or deletes (off) the start-up shortcut. Without a Startup
// folder it shows "フォルダーの取得に失敗しました。"; a shortcut that cannot be
// saved is not reported.
void keep_shortcut(bool on);

}  // namespace options
