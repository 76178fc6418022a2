// Every exported family of the library, for the programs, the tools and the
// tests. The library's own folders cannot include this header: each of them
// sees only the layers below it.
#pragma once

#include "runtime/zrcommon.h"
#include "text/base64.h"
#include "text/convert.h"
#include "text/dates.h"
#include "text/formats.h"
#include "text/sjis.h"
#include "filenames/filenames.h"
#include "lha/lha.h"
#include "sdi/sdi.h"
#include "sdi/view.h"
#include "net/message.h"
#include "net/tls.h"
#include "net/transport.h"
#include "session/envelope.h"
#include "session/logon.h"
#include "session/server_info.h"
#include "session/settings.h"
#include "session/transfer.h"
