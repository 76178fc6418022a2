// Named shared memory: the checker's command block, the launcher's presence
// block and the launcher's per-folder lock.
#include <cstring>

#include "platform/platform.h"
#include "runtime/zrcommon.h"
#include "platform/sjis_byte.h"

namespace {

// The handle of the launcher's folder lock, kept until _single_ins(off) or the
// end of the process.
void* g_instance_handle = nullptr;

}  // namespace

void zr_instance_name(const char* word, char* out, std::size_t cap) {
  char cwd[260];
  plat::current_dir(cwd, sizeof cwd);
  zr::format(out, cap, "%s_%s", cwd, word);
  for (unsigned char* p = reinterpret_cast<unsigned char*>(out); *p; ++p) {
    if (zr::sjis_lead(*p)) {
      if (p[1]) ++p;
      continue;
    }
    if (*p >= 'a' && *p <= 'z') *p = static_cast<unsigned char>(*p - 'a' + 'A');
    if (*p == '\\') *p = '_';
  }
}

void* _shm_create(const char* name, int size) {
  return plat::shm_create(name, size > 0 ? static_cast<std::size_t>(size) : 1);
}

void* _shm_open(const char* name) { return plat::shm_open(name); }

void _shm_close(void* view) { plat::shm_close(view); }

void* _shm_create_ins(const char* word, int size) {
  char name[260];
  zr_instance_name(word, name, sizeof name);
  return _shm_create(name, size);
}

void* _shm_open_ins(const char* word) {
  char name[260];
  zr_instance_name(word, name, sizeof name);
  return _shm_open(name);
}

int _single_ins(const char* word, int on) {
  if (!on) {
    plat::shm_release_handle(g_instance_handle);
    g_instance_handle = nullptr;
    plat::sleep_ms(100);
    return 0;
  }
  if (void* view = _shm_open_ins("MAIN")) {
    _shm_close(view);
    char cwd[260];
    plat::current_dir(cwd, sizeof cwd);
    char text[600];
    ZR_FMT(text, "アプリケーションは、 【%s】 で既に起動されています。(%s)", cwd, word);
    _mes_box(text, 0);
    return -1;
  }
  g_instance_handle = _shm_create_ins("MAIN", 256);
  return 0;
}
