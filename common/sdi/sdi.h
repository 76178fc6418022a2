// The SDI delivery store: the checker's settings file DLV\CONFIG.INI and the
// result store below DLV (counters, numbered result files, viewed flags, the last
// covered issue date, the issue calendar). Every operation builds its paths under
// inst_dir and works on the process's zrsdi.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/areas.h"

// ---- settings -------------------------------------------------------------------

// Loads the six settings of section SYSTEM into zrsdi (defaults for what is
// missing) and sets disp_period from disp_cycle.
ZR_API void _sdi_config_read();
// Stores the six settings into CONFIG.INI, keeping its other contents.
ZR_API void _sdi_config_write();

// ---- result store ------------------------------------------------------------------

// Creates DLV, DLV\MASTER and DLV\RESULT where missing.
ZR_API void _sdi_dir_make();
// Creates DLV\DLV_NO.FIL ("NO RESULT\r\n") when it does not exist.
ZR_API void _sdi_dlv_no_make();
// Loads / stores list_no_f, list_no_t and list_no_cnt (LIST_NO.FIL).
ZR_API void _sdi_list_no_read();
ZR_API void _sdi_list_no_write();
// Advances the counters for a new result; list_no_t is then its number.
ZR_API void _sdi_result_new();
// Writes result n as received (replacing the file as a whole).
ZR_API void _sdi_result_write(std::int32_t n, const void* data, std::int32_t len);
// Loads result n and its viewed flags into zrsdi (an empty result when missing).
ZR_API void _sdi_result_read(std::int32_t n);
// The four texts of section LIST of result n, each cut to its field; empty
// texts when the file or a key is missing.
struct ZR_SDI_HEAD {
  char sdi_date[11];
  char sdi_time[9];
  char inq_date_f[11];
  char inq_date_t[11];
};
ZR_API void _sdi_result_head_read(std::int32_t n, ZR_SDI_HEAD* head);
// Stores the viewed flags of the loaded result as those of result n.
ZR_API void _sdi_vwd_write(std::int32_t n);
// Deletes the results older than 100 days before sys_date (checker start-up).
ZR_API void _sdi_result_clean();
// The date moved by the given number of days across month and year ends.
ZR_API std::int32_t _sdi_day_add(std::int32_t ymd, std::int32_t days);
// LAST_PD.FIL: the last issue date covered, as exactly 8 digits.
ZR_API void _sdi_last_pd_write(std::int32_t pd);
// 0 with the date, or -1 when the file does not exist.
ZR_API int _sdi_last_pd_read(std::int32_t* pd);
// Writes the issue calendar as received to DLV\UPDATE_TM.
ZR_API void _sdi_update_tm_write(const void* data, std::int32_t len);
// Parses UPDATE_TM into the calendar of zrsdi: the issue dates of the month
// before the newest issue and of the three months from it, month by month.
ZR_API void _sdi_update_tm_read(std::int32_t newest);
