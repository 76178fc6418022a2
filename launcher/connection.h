// The launcher's connection to the service before it starts the checker: the
// check for another session of the user (with the offer to force it out) and the
// short logon whose answer names the database server, the SDI suspension and new
// server host names.
#pragma once

// Asks the server whether the user may connect (message 85); when another session
// of the user exists, offers to force it out (message 86). 0 when the logon may
// go on; -2 when the user declined; -1 when the forced logoff was refused; any
// other value is the failed exchange's result.
int logon_check(int kind_idx);

// logon_check, then the short logon, then reads the logon answer into zrconn
// (and rewrites ZORAX.INI when it lists host names). 0 on success, otherwise the
// result of the step that failed (its message has been shown).
int svc_connect(int kind_idx);
