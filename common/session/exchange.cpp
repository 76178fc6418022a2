// One request and its answer in p_msg: through the installed message function,
// or framed over a direct connection (long requests and answers split into
// frames of 16,384 bytes), the cached variant, the monitor connection, and the
// polling of a long-running server process.
#include <cstring>
#include <memory>

#include "net/socket.h"
#include "runtime/zrcommon.h"
#include "session/envelope.h"

namespace {

constexpr int kFrameBytes = kMsgHeaderSize + kMsgDataCap;  // 16,384
constexpr int kMidKrkr = 204;                              // process status poll
constexpr int kNotifyRunning = 204;
constexpr int kNotifyFinished = 203;

void fill_header(int kd00, int mid) {
  PHMSG* msg = zrwork->p_msg;
  msg->hdr.mid = static_cast<std::int16_t>(mid);
  msg->hdr.kd00 = static_cast<std::int16_t>(kd00);
  msg->hdr.sts = 0;
  msg->hdr.lng = zrwork->mlng + kMsgHeaderSize;
  if (zrwork->mlng == 0) msg->data[0] = '\0';
}

// Sends p_msg as one frame, or, when its data exceeds one frame, as full frames
// of 16,372 data bytes and a remainder frame, each carrying the total length in
// sts. False when a send failed.
bool send_frames(int sock) {
  PHMSG* msg = zrwork->p_msg;
  const std::int32_t total = zrwork->mlng;
  if (!zr00->write_fn) return false;
  if (total <= kMsgDataCap) {
    return zr00->write_fn(sock, reinterpret_cast<const char*>(msg), msg->hdr.lng) == 1;
  }
  auto frame = std::make_unique<PHMSG>();
  for (std::int32_t off = 0; off < total; off += kMsgDataCap) {
    const std::int32_t part = total - off < kMsgDataCap ? total - off : kMsgDataCap;
    frame->hdr.mid = msg->hdr.mid;
    frame->hdr.kd00 = msg->hdr.kd00;
    frame->hdr.lng = part + kMsgHeaderSize;
    frame->hdr.sts = total;
    std::memcpy(frame->data, zr_msg_data(msg) + off, static_cast<std::size_t>(part));
    if (zr00->write_fn(sock, reinterpret_cast<const char*>(frame.get()), frame->hdr.lng) != 1) {
      return false;
    }
  }
  return true;
}

bool read_frame(int sock) {
  if (!zr00->read_fn) return false;
  return zr00->read_fn(sock, reinterpret_cast<char*>(zrwork->snd_msg), kFrameBytes) > 0;
}

std::int32_t frame_data_len(const PHMSG* frame) {
  std::int32_t n = frame->hdr.lng - kMsgHeaderSize;
  if (n < 0) n = 0;
  if (n > kMsgDataCap) n = kMsgDataCap;
  return n;
}

// Takes the answer whose first frame is in snd_msg into p_msg, reading the
// further frames of a long answer. 0, or -1 when a frame is missing or its
// lengths do not fit the announced total.
int take_answer(int sock) {
  PHMSG* first = zrwork->snd_msg;
  const std::int32_t total = first->hdr.sts;
  if (total <= kMsgDataCap) {
    std::memcpy(zrwork->p_msg, first, sizeof(PHMSG));
    zrwork->mlng = frame_data_len(first);
    return 0;
  }
  const std::int64_t need = static_cast<std::int64_t>(total) + 1024;
  if (need > zrwork->p_msg_cap && !zr_msg_grow(need + kMsgGrowSlack + kMsgHeaderSize, 0)) {
    _dbg_print("*** Receive Length Error *** mid:%d, sts:%d", first->hdr.mid, total);
    return -1;
  }
  PHMSG* msg = zrwork->p_msg;
  std::int32_t got = frame_data_len(first);
  if (got > total) got = total;
  std::memcpy(msg, first, static_cast<std::size_t>(kMsgHeaderSize + got));
  while (got < total) {
    if (!read_frame(sock)) return -1;
    const std::int32_t part = zrwork->snd_msg->hdr.lng - kMsgHeaderSize;
    if (part <= 0 || part > kMsgDataCap || part > total - got) {
      _dbg_print("*** Receive Length Error *** mid:%d, lng:%d, sts:%d, received:%d",
                 zrwork->snd_msg->hdr.mid, zrwork->snd_msg->hdr.lng, total, got);
      return -1;
    }
    std::memcpy(zr_msg_data(msg) + got, zrwork->snd_msg->data, static_cast<std::size_t>(part));
    got += part;
  }
  // The grown block holds total + 1024 data bytes.
  zr_msg_data(msg)[got] = '\0';
  zrwork->mlng = got;
  return 0;
}

// The progress display of a polled server process. These programs show none;
// it never reports a cancel.
bool progress_step(int /*show*/, const char* /*text*/) { return false; }

}  // namespace

int zr0930_msg_request(int kd00, int mid) {
  fill_header(kd00, mid);
  if (zr00->sys_kd == 2) {
    if (!zr00->msg_fn) {
      _dbg_print("zr0930_msg_request: no message function installed (mid:%d)", mid);
      return -1;
    }
    return zr00->msg_fn() < 0 ? -1 : 0;
  }
  const int sock = zrwork->drc_sock;
  if (!send_frames(sock)) return -1;
  if (!read_frame(sock)) return -1;
  return take_answer(sock);
}

int zr0930_msg_request2(int kd00, int mid) {
  char text[256];
  if (zrwork->mlng > 500) {
    ZR_FMT(text, "zr0930_msg_request2 Error of phmsg_dlng:%d, kd00:%d, mid:%d", zrwork->mlng, kd00,
           mid);
    _err_mes(990, text);
  }
  if (zrenv->batch_mode) return zr0930_msg_request(kd00, mid);

  // The result cache of these programs is empty: the key is formed and asked for,
  // and the request always goes to the server.
  char key[600];
  ZR_FMT(key, "MSG%02d%05d%.*s", kd00, mid, zrwork->mlng, zrwork->p_msg->data);
  if (_cache2_read() != 0) _dbg_print("zr0930_msg_request2 cached: %s", key);

  const int ret = zr0930_msg_request(kd00, mid);
  if (zrwork->p_msg->hdr.kd00 == kNotifyRunning) {
    ZR_FMT(text, "zr0930_msg_request2 Error of MID_EXE_KRKR  kd00:%d, mid:%d", kd00, mid);
    _err_mes(990, text);
  }
  _cache2_buf_set();
  return ret;
}

int zr0930_msg_monitor(int port, int mid, int host_choice) {
  // A host choice asks the server-side connection broker, which these programs
  // do not have; the monitor host of zr00 is used either way.
  (void)host_choice;
  const int sock = zwsock_open(static_cast<unsigned short>(port), zr00->mon_host);
  if (!sock) return 1;
  fill_header(zrwork->kd_1, mid);
  int ret = 0;
  if (!send_frames(sock) || !read_frame(sock) || take_answer(sock) != 0) ret = -1;
  zwsock_close(sock);
  return ret;
}

int zr0930_krkr_proc(int show, int interval_ms) {
  zrwork->mlng = 0;
  if (zr0930_msg_request(zrwork->kd_1, kMidKrkr) != 0) return -1;
  int result = 0;
  for (int count = 0;; ++count) {
    PHMSG* msg = zrwork->p_msg;
    if (msg->hdr.sts < 0 || msg->hdr.kd00 == kNotifyFinished) break;
    std::int32_t end = msg->hdr.lng - kMsgHeaderSize;
    if (end < 0) end = 0;
    if (end >= zrwork->p_msg_cap) end = zrwork->p_msg_cap - 1;
    zr_msg_data(msg)[end] = '\0';
    if (progress_step(show, msg->data)) {
      zrwork->mlng = 0;
      zr0930_msg_set("CANCEL", 6);
      zr0930_msg_request(zrwork->kd_1, kMidKrkr);
      result = 8;
      break;
    }
    zr_session_sleep(count < 3 ? 500u : static_cast<std::uint32_t>(interval_ms));
    zrwork->mlng = 0;
    if (zr0930_msg_request(zrwork->kd_1, kMidKrkr) != 0) return -1;
  }
  zrwork->p_msg->hdr.kd00 = zrwork->kd_1;
  zrwork->snd_msg->hdr.kd00 = zrwork->kd_1;
  if (zrwork->p_msg->hdr.sts < 0) {
    _mes_box(zrwork->p_msg->data, 0);
    return -1;
  }
  return result;
}
