// Exported names that do nothing in these programs: other members of the product
// family fill them, and both programs keep the names so that their export
// tables stay the same.
#include "runtime/zrcommon.h"

void _zrcmna_init() {}
void _kpcmna_init() {}
void _mpcmna_init() {}
void _tmcmna_init() {}
void _upcmna_init() {}
void _wpcmna_init() {}
void _zrkcnst_make() {}
void _cache2_buf_get() {}
void _cache2_buf_get_init() {}
void _cache2_buf_set() {}
void _cache2_buf_set_init() {}
void _cache2_write() {}
int _cache2_read() { return 0; }
