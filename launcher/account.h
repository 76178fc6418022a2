// The ID and password dialog's logic, without its window: 設定 tests a new
// account against the server before it is stored; clearing either field
// removes the account without contacting the server.
#pragma once

namespace account {

// Control IDs of the dialog (dialog resource 251).
enum : int {
  kIdUser = 1126,
  kIdPass = 1127,
};

// The longest ID and password (the edits take no more).
inline constexpr int kFieldMax = 8;

// 設定 with the two edit texts (each cut to kFieldMax bytes). With both set
// the user check runs first: when it fails "Ｏｒｖａｎｔａに接続できません。"
// is shown, user_id and user_pass keep their previous values and false is
// returned (the dialog stays open). Otherwise UID_QRT.FIL is written (cleared
// when either text is empty) and true is returned.
bool apply(const char* user, const char* pass);

}  // namespace account
