// The transport that is not part of this build yet (the system HTTP client):
// each answers with a failed
// exchange and a trace line, so that a program that installs one behaves like
// one that cannot reach the server.
#include <cstring>

#include "net/transport.h"
#include "runtime/zrcommon.h"

namespace {

int not_available(const char* name) {
  _dbg_print("%s: this transport is not available in this build", name);
  PHMSG* msg = zrwork->p_msg;
  msg->hdr.sts = -1;
  zr::copy(msg->data, static_cast<std::size_t>(zrwork->p_msg_cap), "通信機能は未実装です。");
  return -1;
}

}  // namespace

int zrhttp_initial() { return 0; }
void zrhttp_finish() {}
int zrhttp_phmsg() { return not_available("zrhttp_phmsg"); }
int zrhttp_phmsg_ntlm() { return not_available("zrhttp_phmsg_ntlm"); }
