// The system security interface's function table, loaded by security_load
// (tls_win32.cpp) and shared with the authentication conversations.
#pragma once

#define SECURITY_WIN32
#include <windows.h>
#include <security.h>
#include <sspi.h>

namespace plat {

// Null until security_load has loaded the interface.
PSecurityFunctionTableA sspi_table();

}  // namespace plat
