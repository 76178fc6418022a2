// qrtlha c ARCHIVE FILE   compresses FILE into the one-member archive ARCHIVE
// qrtlha x ARCHIVE FILE   expands ARCHIVE into FILE
// Exit status 0 on success; 1 with the codec's result printed on failure.
#include <cstdio>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "lha/lha.h"
#include "zrlib.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: qrtlha c ARCHIVE FILE   compress FILE into ARCHIVE (-lh6-)\n"
               "       qrtlha x ARCHIVE FILE   expand ARCHIVE into FILE\n");
  return 2;
}

const char* meaning(int rc) {
  switch (rc) {
    case -1:
      return "input cannot be opened";
    case -2:
      return "not an archive of a supported method";
    case -3:
      return "CRC of the expanded data differs";
    case -4:
      return "header checksum wrong";
    case -6:
      return "output cannot be written";
    default:
      return "failed";
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::strlen(argv[1]) != 1 || (argv[1][0] != 'c' && argv[1][0] != 'x'))
    return usage();
  const bool compress = argv[1][0] == 'c';
  const char* archive = argv[2];
  const char* file = argv[3];

#if defined(__GLIBC__)
  // Blocks of 16 KiB and more (the areas, the work tables) come straight from
  // the system as zero pages that are touched only where they are used,
  // instead of being cleared on the heap: a small archive is done sooner. The
  // heap's free top (what the start-up left of its first extension) is given
  // back first, or the first areas would be cut from it and cleared page by page.
  mallopt(M_MMAP_THRESHOLD, 16 * 1024);
  mallopt(M_TOP_PAD, 0);
  malloc_trim(0);
#endif
  _zrcmna_make();
  int rc = compress ? _lha(0, file, archive) : _lha(1, archive, file);
  _zrcmna_kill();
  if (rc < 0) {
    std::fprintf(stderr, "qrtlha: %s %s: _lha %d (%s)\n", compress ? "compress" : "expand",
                 compress ? file : archive, rc, meaning(rc));
    std::printf("%d\n", rc);
    return 1;
  }
  return 0;
}
