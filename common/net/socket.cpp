// The socket layer over the platform's sockets: start-up, connections by name or
// dotted address (with an optional connect time-out), the framed primitives of a
// direct connection and the listening side.
#include "net/socket.h"

#include <cstring>
#include <ctime>

#include "platform/net.h"
#include "runtime/zrcommon.h"
#include "text/sjis.h"

namespace {

// Reads the frame length field of a header without alignment assumptions.
std::int32_t frame_lng(const char* pbuf) {
  std::int32_t v;
  std::memcpy(&v, pbuf + 4, 4);
  return v;
}
std::int32_t frame_sts(const char* pbuf) {
  std::int32_t v;
  std::memcpy(&v, pbuf + 8, 4);
  return v;
}

// The dump of a framed primitive called with a zero socket, size or buffer.
const char* para_dump(const char* title, int hsock, const char* pbuf, int size) {
  char* d = zr01->fnm_work;
  const std::size_t cap = sizeof zr01->fnm_work;
  zr::format(d, cap, "%shsock:%d\npbuf :%p\nsize :%d\n", title, hsock,
             static_cast<const void*>(pbuf), size);
  if (pbuf) {
    char mid[32];
    ZR_FMT(mid, "mid  :%d\n", _zratoi(pbuf, 2));
    zr::append(d, cap, mid);
  }
  zr::append(d, cap, "処理を打ち切ります。");
  return d;
}

[[noreturn]] void para_fatal(const char* title, int hsock, const char* pbuf, int size, bool trace) {
  const char* dump = para_dump(title, hsock, pbuf, size);
  if (trace) _dbg_print("%s", dump);
  _mes_box(dump, 0);
  zr_exit();
}

enum class RecvEnd { kOk, kClosed, kFailed };

// Receives exactly len bytes. wait_ms < 0 waits without bound before each
// receive; otherwise a readiness wait of that many milliseconds comes first. A
// time-out leaves the socket to its caller, who closes it. The receive's own
// error code is kept in *ecd.
RecvEnd recv_all(int hsock, char* buf, int len, int wait_ms, int* ecd) {
  int got = 0;
  while (got < len) {
    if (wait_ms >= 0) {
      int w = plat::wait_readable(hsock, wait_ms);
      if (w <= 0) {
        int e = plat::net_last_error();
        if (w == 0) {
          _dbg_print("Error of select(Timeout) ret:%d, ecd:%d", w, e);
        } else {
          _dbg_print("Error of select ret:%d, ecd:%d", w, e);
        }
        *ecd = e;
        return RecvEnd::kFailed;
      }
    }
    long n = plat::recv(hsock, buf + got, static_cast<std::size_t>(len - got));
    if (n == 0) {
      *ecd = plat::net_last_error();
      return RecvEnd::kClosed;
    }
    if (n < 0) {
      *ecd = plat::net_last_error();
      return RecvEnd::kFailed;
    }
    got += static_cast<int>(n);
  }
  return RecvEnd::kOk;
}

void recv_error(int ecd) {
  ZR_FMT(zrwork->mes_buf, "Error of recv(%d)", ecd);
  _dbg_print("%s", zrwork->mes_buf);
}

// The common framed read of zwsock_read and zwsock_read2. A frame longer than
// the caller's buffer (or the largest frame) is a receive error.
int read_frame(int hsock, char* pbuf, int size, int wait_ms) {
  if (size < kMsgHeaderSize) {
    _dbg_print("framed read into %d bytes: no room for a frame header", size);
    return 0;
  }
  int ecd = 0;
  RecvEnd r = recv_all(hsock, pbuf, kMsgHeaderSize, wait_ms, &ecd);
  if (r == RecvEnd::kClosed) {
    if (ecd != 0) _dbg_print("zwsock_read err!!! return of recv:0 (Err:%d)", ecd);
    return 0;
  }
  if (r == RecvEnd::kFailed) {
    recv_error(ecd);
    return 0;
  }
  const std::int32_t lng = frame_lng(pbuf);
  if (lng == kMsgHeaderSize) return kMsgHeaderSize;
  if (lng < kMsgHeaderSize || lng > kFrameMax || lng > size) {
    ZR_FMT(zrwork->mes_buf, "** 回線障害(Receive Length Error) p_msg->lng:%d **", lng);
    _dbg_print("%s", zrwork->mes_buf);
    return 0;
  }
  r = recv_all(hsock, pbuf + kMsgHeaderSize, lng - kMsgHeaderSize, wait_ms, &ecd);
  if (r == RecvEnd::kClosed) return 0;
  if (r == RecvEnd::kFailed) {
    recv_error(ecd);
    return 0;
  }
  return lng;
}

[[noreturn]] void read_cli_fatal(const char* sentence, const char* detail) {
  char* text = zrwork->mes_work;
  zr::format(text, sizeof zrwork->mes_work, "%s%s", sentence, detail);
  _dbg_print("%s", text);
  _mes_box(text, 0);
  zr_exit();
}

constexpr const char* kSoketZero = "回線障害(Soket = 0)が発生しました。処理を打ち切ります。\n";
constexpr const char* kSoketError = "回線障害(Soket Error)が発生しました。処理を打ち切ります。\n";

}  // namespace

namespace zrnet {

bool rewrite_address_literal(const char* host, char* out, std::size_t cap) {
  if (!host[0]) return false;
  for (const char* p = host; *p; ++p)
    if (!((*p >= '0' && *p <= '9') || *p == '.')) return false;
  // Up to four numbers; each is clamped so that an endless run of digits cannot
  // overflow (it is out of range either way).
  long part[4] = {0, 0, 0, 0};
  int idx = 0;
  for (const char* p = host; *p && idx < 4; ++p) {
    if (*p == '.') {
      ++idx;
      continue;
    }
    if (part[idx] < 100000) part[idx] = part[idx] * 10 + (*p - '0');
  }
  zr::format(out, cap, "%ld.%ld.%ld.%ld", part[0], part[1], part[2], part[3]);
  return true;
}

}  // namespace zrnet

int zwsock_initial() {
  if (!plat::net_startup()) {
    _mes_box("WinSock DLL の初期化に失敗しました。\n処理を中止します。", 0);
    zr_exit();
  }
  if (!zr00->read_fn) zr00->read_fn = zwsock_read;
  if (!zr00->write_fn) zr00->write_fn = zwsock_write;
  return 0;
}

int zwsock_open(unsigned short port, const char* host) {
  char name[256];
  zr::copy(name, host ? host : "");

  char literal[256];
  if (zrnet::rewrite_address_literal(name, literal, sizeof literal)) {
    zr::copy(name, literal);
    std::uint32_t probe;
    if (!plat::ipv4_parse(name, &probe)) {
      char text[512];
      ZR_FMT(text,
             "ＩＰアドレスの指定誤りです。\r\nＩＰアドレスがXXX.XXX.XXX."
             "XXXの形式で指定されていないか、"
             "\r\nアドレス値が規定の範囲ではありません。(%s)",
             name);
      _mes_box(text, 0);
      return 0;
    }
  }

  std::uint32_t addr = 0;
  if (!plat::resolve_ipv4(name, &addr)) {
    ZR_FMT(zrwork->mes_buf, "ホストアドレスの取得に失敗しました。(Err:%d), host:%s",
           plat::net_last_error(), host ? host : "");
    _mes_box(zrwork->mes_buf, 0);
    _dbg_print("%s", zrwork->mes_buf);
    return 0;
  }

  plat::Sock s = plat::tcp_socket();
  if (!s) {
    ZR_FMT(zrwork->mes_buf, "Error of socket (%d)", plat::net_last_error());
    return 0;
  }

  if (zr00->connect_timeout == 0) {
    if (int e = plat::connect(s, addr, port); e != 0) {
      ZR_FMT(zrwork->mes_buf, "Error of connect(%d)", e);
      plat::close(s);
      return 0;
    }
    return s;
  }

  plat::ConnectResult r = plat::connect_timed(s, addr, port, zr00->connect_timeout);
  switch (r.step) {
    case plat::ConnectStep::kDone:
      return s;
    case plat::ConnectStep::kEventCreate:
      break;
    case plat::ConnectStep::kEventSelect:
      zr::copy(zrwork->mes_buf, "Error of EventSelect");
      break;
    case plat::ConnectStep::kConnect:
      ZR_FMT(zrwork->mes_buf, "Error of connect_timeout(%d)", r.code);
      break;
    case plat::ConnectStep::kWaitFailed:
      ZR_FMT(zrwork->mes_buf, "Error WaitForMultipleEvents(WAIT_FAILED)(%d)", r.code);
      break;
    case plat::ConnectStep::kWaitTimeout:
      zr::copy(zrwork->mes_buf, "Error WaitForMultipleEvents(WAIT_TIMEOUT)");
      break;
    case plat::ConnectStep::kWaitOther:
      ZR_FMT(zrwork->mes_buf, "Error WaitForMultipleEvents(%d)", r.code);
      break;
    case plat::ConnectStep::kEnumEvents:
      ZR_FMT(zrwork->mes_buf, "Error of EnumNetworkEvents(%d)", r.code);
      break;
    case plat::ConnectStep::kNotConnected:
      zr::copy(zrwork->mes_buf, "NetworkEvents Not FD_CONNECT");
      break;
    case plat::ConnectStep::kEventError:
      ZR_FMT(zrwork->mes_buf, "NetworkEvents ErrorCode:%d", r.code);
      break;
  }
  plat::close(s);
  return 0;
}

int zwsock_close(int hsock) { return plat::close(hsock); }
int zwsock_disconnect(int hsock) { return plat::close(hsock); }

int zwsock_read(int hsock, char* pbuf, int size) {
  if (!hsock || !size || !pbuf)
    para_fatal("Para Error of zwsock_read \n", hsock, pbuf, size, false);
  return read_frame(hsock, pbuf, size, -1);
}

int zwsock_read2(int hsock, char* pbuf, int size) {
  if (!hsock || !size || !pbuf) {
    _dbg_print("%s", para_dump("Para Error of zwsock_read \n", hsock, pbuf, size));
    return -1;
  }
  return read_frame(hsock, pbuf, size, 60000);
}

int zwsock_read_cli(int hsock, char* pbuf, int size) {
  if (!hsock || !size || !pbuf)
    para_fatal("Para Error of zwsock_read_cli \n", hsock, pbuf, size, false);
  if (size < kMsgHeaderSize)
    para_fatal("Para Error of zwsock_read_cli \n", hsock, pbuf, size, false);
  char detail[600];
  int ecd = 0;
  RecvEnd r = recv_all(hsock, pbuf, kMsgHeaderSize, -1, &ecd);
  if (r == RecvEnd::kClosed) {
    ZR_FMT(detail, "** Error of Header1 Soket **  CODE:%d", ecd);
    recv_error(ecd);
    read_cli_fatal(kSoketZero, detail);
  }
  if (r == RecvEnd::kFailed) {
    recv_error(ecd);
    ZR_FMT(detail, "** Receive Error of Header1 Soket **  CODE:%d, hsock:%d, wk:%p", ecd, hsock,
           static_cast<void*>(zrwork->wk_txt));
    read_cli_fatal(kSoketError, detail);
  }
  const std::int32_t lng = frame_lng(pbuf);
  if (lng < kMsgHeaderSize || lng > kFrameMax || lng > size) {
    ZR_FMT(detail, "** Receive Data Error p_msg->lng:%d **", lng);
    read_cli_fatal("回線障害(Receive Length Error)が発生しました。処理を打ち切ります。\n", detail);
  }
  if (lng > kMsgHeaderSize) {
    r = recv_all(hsock, pbuf + kMsgHeaderSize, lng - kMsgHeaderSize, -1, &ecd);
    if (r == RecvEnd::kClosed) {
      recv_error(ecd);
      ZR_FMT(detail, "** Receive Error of Header2 Soket **  CODE:%d", ecd);
      read_cli_fatal(kSoketZero, detail);
    }
    if (r == RecvEnd::kFailed) {
      recv_error(ecd);
      ZR_FMT(detail, "** Receive Error of Data Soket **  CODE:%d, hsock:%d, p_msg->data:%.200s",
             ecd, hsock, zrwork->p_msg->data);
      read_cli_fatal(kSoketError, detail);
    }
  }
  const std::int32_t sts = frame_sts(pbuf);
  if (sts < 0) {
    // The terminating NUL stays inside the caller's buffer: a full frame has its
    // last data byte replaced rather than a byte written past the buffer.
    const int end = lng < size ? lng : size - 1;
    if (end >= kMsgHeaderSize) pbuf[end] = '\0';
  }
  if (sts == -9999) {
    zr::copy(zrwork->mes_buf, pbuf + kMsgHeaderSize);
    _dbg_print("*** zwsock_read_cli ERROR sts:%d *** \r\n%.400s", sts, zrwork->mes_buf);
    _mes_box(zrwork->mes_buf, 0);
    zr_exit();
  }
  return lng;
}

int zwsock_read_ext(int hsock, char* pbuf, int size) {
  if (!hsock || !size || !pbuf)
    para_fatal("Para Error of zwsock_read_ext \n", hsock, pbuf, size, true);
  if (size < 0) return -1;
  int ecd = 0;
  return recv_all(hsock, pbuf, size, -1, &ecd) == RecvEnd::kOk ? size : -1;
}

int zwsock_write(int hsock, const char* pbuf, int len) {
  if (!hsock || len < 1 || !pbuf)
    para_fatal("Para Error of zwsock_write_sock\n", hsock, pbuf, len, false);
  long n = plat::send(hsock, pbuf, static_cast<std::size_t>(len));
  if (n == len) return 1;
  ZR_FMT(zrwork->mes_buf, "Error of send(%d)", plat::net_last_error());
  _dbg_print("%s", zrwork->mes_buf);
  return 0;
}

int zwsock_write_cli(int hsock, const char* pbuf, int len) {
  if (!hsock || len < 1 || !pbuf)
    para_fatal("Para Error of zwsock_write_sock_cli\n", hsock, pbuf, len, false);
  zr00->last_send_time = static_cast<std::int64_t>(std::time(nullptr));
  long n = plat::send(hsock, pbuf, static_cast<std::size_t>(len));
  if (n == len) return 1;
  ZR_FMT(zrwork->mes_buf, "Error of send(%d)", plat::net_last_error());
  _dbg_print("exe_err_mes:%s", zrwork->mes_buf);
  char* text = zrwork->mes_work;
  zr::format(text, sizeof zrwork->mes_work, "回線障害が発生しました。処理を打ち切ります。\n%s",
             zrwork->mes_buf);
  _dbg_print("%s", text);
  _mes_box(text, 0);
  zr_exit();
}

int zwsock_create(unsigned short port) {
  char text[256];
  plat::Sock s = plat::tcp_socket();
  if (!s) {
    ZR_FMT(text, "ソケットの作成に失敗しました。\n処理を中止します。(Err:%d)",
           plat::net_last_error());
    _mes_box(text, 0);
    plat::net_cleanup();
    zr_exit();
  }
  if (int e = plat::bind_any(s, port); e != 0) {
    plat::close(s);
    ZR_FMT(text, "アドレスの対応づけに失敗しました。\n処理を中止します。(Err:%d Port:%d)", e, port);
    _mes_box(text, 0);
    plat::net_cleanup();
    zr_exit();
  }
  if (int e = plat::listen(s, 50); e != 0) {
    plat::close(s);
    ZR_FMT(text, "ソケットの接続許可に失敗しました。\n処理を中止します。(Err:%d)", e);
    _mes_box(text, 0);
    plat::net_cleanup();
    zr_exit();
  }
  return s;
}

int zwsock_connect(int hsock, void* addr) {
  plat::Sock a = plat::accept(hsock, addr);
  if (!a) {
    char text[128];
    ZR_FMT(text, "接続要求待ちでエラーがありました。(Err:%d)", plat::net_last_error());
    _mes_box(text, 0);
    zr_exit();
  }
  return a;
}

void zwsock_get_ipaddr(int hsock, char* buf) {
  std::uint32_t addr = 0;
  std::uint16_t port = 0;
  char dotted[16] = "";
  if (plat::peer_name(hsock, &addr, &port)) plat::ipv4_format(addr, dotted, sizeof dotted);
  std::snprintf(buf, 22, "%s:%d", dotted, port);
}

void zwsock_finish() {}
int zwsock_msg_set() { return 0; }
