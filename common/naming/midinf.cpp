// The exported lookups of the message-name table (the table itself is one of the
// code tables).
#include "naming/code_tables.h"
#include "naming/code_tables.h"

const char* _midinf_nm(int mid) { return zr_message_name(mid); }

int _midinf_chk(int mid) { return zr_message_known(mid) ? 1 : 0; }
