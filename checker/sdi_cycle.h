// One check of the SDI checker: log on and learn the newest issue date, run the
// user's registered searches over the issue range the delivery cycle makes due,
// store the answer as a new numbered result, log off.
//
// The three steps run on the scheduler thread, in this order:
//   if (sdi_logon_newest() == 0) { sdi_main_proc(); sdi_logoff(); }
#pragma once

#include <cstdint>

// Logs on in the background, fetches the server information and the newest issue
// date with the issue calendar (written to DLV\UPDATE_TM, kept in
// zrsdi->qrt100_svr_last_pd). Returns 0 on success, 1 on failure.
int sdi_logon_newest();

// Decides the due issue range of the configured delivery cycle, has the server run
// the searches over it, stores the result and DLV\LAST_PD.FIL. Call after a
// successful sdi_logon_newest().
void sdi_main_proc();

// Ends the session with the service (and the WinINet client when it is in use).
void sdi_logoff();

// ---- delivery windows ----------------------------------------------------------------

// Delivery cycles of dlv_type.
enum { SDI_DLV_ISSUE = 0, SDI_DLV_WEEK = 1, SDI_DLV_HALF = 2, SDI_DLV_MONTH = 3 };

// Builds the delivery windows of the cycle in zrsdi (pdlv_week, pdlv_half or
// pdlv_month) from the issue calendar of zrsdi and the newest issue date: the
// weeks (Monday to Friday) from four weeks before the newest issue's week, the
// halves of the month before the newest issue and the three months from it, or
// those months. The every-issue cycle builds none.
void sdi_pdlv_build(int dlv_type, std::int32_t newest);

// The issue range due for the cycle after the last covered date `last`: 0 with
// the range, 1 when nothing is due. Every issue: the day after `last` to the
// newest issue. The other cycles: from the first date of the earliest window to
// the last date of the latest window whose last date lies after `last` and not
// after the newest issue (windows built by sdi_pdlv_build).
int sdi_range_get(int dlv_type, std::int32_t newest, std::int32_t last, std::int32_t* pd_f,
                  std::int32_t* pd_t);
