// The ID and password dialog's logic (see account.h).
#include "account.h"

#include <cstring>

#include "platform/platform.h"
#include "platform/sjis_byte.h"
#include "zrlib.h"

namespace {

// Copies at most kFieldMax bytes of text into a 9-byte account field, never
// splitting a Shift-JIS character.
void take(char (&field)[9], const char* text) {
  std::memset(field, 0, sizeof field);
  std::size_t n = 0;
  while (text[n] && n < static_cast<std::size_t>(account::kFieldMax)) {
    const bool lead = zr::sjis_lead(static_cast<unsigned char>(text[n]));
    if (lead && (n + 1 >= static_cast<std::size_t>(account::kFieldMax) || !text[n + 1])) break;
    n += lead ? 2 : 1;
  }
  std::memcpy(field, text, n);
}

}  // namespace

namespace account {

bool apply(const char* user, const char* pass) {
  char old_id[9], old_pass[9];
  std::memcpy(old_id, zr01->user_id, sizeof old_id);
  std::memcpy(old_pass, zr01->user_pass, sizeof old_pass);
  take(zr01->user_id, user);
  take(zr01->user_pass, pass);
  if (zr01->user_id[0] && zr01->user_pass[0]) {
    if (user_mst_get() != 0) {
      _mes_box("Ｏｒｖａｎｔａに接続できません。", plat::kMbOk);
      std::memcpy(zr01->user_id, old_id, sizeof old_id);
      std::memcpy(zr01->user_pass, old_pass, sizeof old_pass);
      return false;
    }
  } else {
    std::memset(zr01->user_id, 0, sizeof zr01->user_id);
    std::memset(zr01->user_pass, 0, sizeof zr01->user_pass);
  }
  uid_fil_write(zr01->user_id, zr01->user_pass);
  return true;
}

}  // namespace account
