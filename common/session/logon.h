// The user check, the logons and the logoff: the steps that prove who the user is
// and open a session on the service before any other request.
#pragma once

#include "runtime/areas.h"

// User check (message 118) over the configured hosts in order: 0 when the server
// accepted the user and the user may use the trademark kind (kind_idx then holds
// its position in the kind list), -1 otherwise. Shows a message only when no host
// answered. host_idx keeps the host that answered.
ZR_API int user_mst_get();
// The checker's short logon (message 107) with host fail-over. On success the
// checker's requests go to the database server named by the answer. 0 or -1.
ZR_API int get_zrdb_url(int kind_idx);
// The checker's full logon in the background: 0; 1 when the user may not use the
// kind kd_3 or no host answered; -1 when the server refused the logon.
ZR_API int logon_bkg();
// Full logon that offers to force out another session of the user: 0, or -1
// after a failure or when the user declined.
ZR_API int zr0930_logon();
// The launcher's short logon (message 107): 0; -2 after the server refused (the
// user has been told); any other value is the failed exchange's result.
ZR_API int zr0930_logon_url(int kind_idx);
// Logoff (message 108); the outcome is ignored. 0.
ZR_API int zr0930_logoff();
