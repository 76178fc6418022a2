// The whole-file form of the temporary files beside a target, over the
// platform's piecewise one.
#include "platform/platform.h"

namespace plat {

bool write_temp_beside(const char* target, const void* data, std::size_t len, bool owner_only,
                       std::string* tmp_name) {
  TempFile* f = temp_create_beside(target, owner_only, tmp_name);
  if (!f) return false;
  if (!temp_write(f, data, len)) {
    temp_discard(f);
    return false;
  }
  return temp_finish(f);
}

}  // namespace plat
