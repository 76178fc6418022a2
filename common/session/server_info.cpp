// Server information, update information and the server's message (see
// server_info.h). Each answer record is read through a packed layout whose
// offsets are pinned below; a record is taken only when it arrived in full.
#include "session/server_info.h"

#include <cstddef>
#include <cstring>

#include "runtime/zrcommon.h"
#include "session/envelope.h"

namespace {

using namespace zr_session;

constexpr int kMidServerInfo = 112;
constexpr int kMidUpdateInfo = 113;
constexpr int kMidMessage = 55;
constexpr int kTrademarkKind = 22;  // kd00 of the tm0930_ variants
constexpr int kEmcTextMax = 1999;

#pragma pack(push, 1)

// The record of tm0930_svr_inf_net.
struct TmNetRecord {
  char db_kind[800];  // database information of the trademark kind -> block 9
  char db_5[800];     // -> block 5
  std::int32_t pd_f;
  std::int32_t pd_t;
  std::uint8_t v1608;
  std::int16_t v1609;
  std::int32_t disp_max;
  std::int32_t v1615, v1619, v1623;
  std::uint8_t v1627[4];
  std::int16_t recv_timeout;  // seconds a tunnel receive may wait
  char t1633[31];
  std::int32_t v1664;
  std::uint8_t v1668, v1669;
  std::int32_t v1670;
  std::uint8_t v1674;
  char t1675[40];
  char t1715[200];
  std::int32_t v1915[5];
};
static_assert(sizeof(TmNetRecord) == zr_session::kSvrInfTmNetSize);
static_assert(offsetof(TmNetRecord, pd_f) == 1600);
static_assert(offsetof(TmNetRecord, v1608) == 1608);
static_assert(offsetof(TmNetRecord, v1609) == 1609);
static_assert(offsetof(TmNetRecord, disp_max) == 1611);
static_assert(offsetof(TmNetRecord, v1623) == 1623);
static_assert(offsetof(TmNetRecord, v1627) == 1627);
static_assert(offsetof(TmNetRecord, recv_timeout) == 1631);
static_assert(offsetof(TmNetRecord, t1633) == 1633);
static_assert(offsetof(TmNetRecord, v1664) == 1664);
static_assert(offsetof(TmNetRecord, v1668) == 1668);
static_assert(offsetof(TmNetRecord, v1670) == 1670);
static_assert(offsetof(TmNetRecord, v1674) == 1674);
static_assert(offsetof(TmNetRecord, t1675) == 1675);
static_assert(offsetof(TmNetRecord, t1715) == 1715);
static_assert(offsetof(TmNetRecord, v1915) == 1915);

// The record of zr0930_svr_inf_net.
struct ZrNetRecord {
  char db_1[800];  // -> block 1
  char db_5[800];  // -> block 5
  std::uint8_t ext_a[41];
  std::int16_t recv_timeout;
  std::uint8_t ext_b[318];
};
static_assert(sizeof(ZrNetRecord) == zr_session::kSvrInfZrNetSize);
static_assert(offsetof(ZrNetRecord, recv_timeout) == 1641);

// The records of the _thr variants: a 506-byte block at 1604 and a check value
// at the end.
template <int End>
struct ThrRecord {
  char db_a[800];  // -> block 1 (zr0930_) or block 9 (tm0930_)
  char db_5[800];  // -> block 5
  std::uint8_t ext_a[4];
  std::uint8_t blk[zr_session::kSvrInfThrBlkSize];
  std::uint8_t ext_b[End - 2110];
  std::int32_t end_mark;
};
using ZrThrRecord = ThrRecord<2462>;
using TmThrRecord = ThrRecord<2433>;
static_assert(offsetof(ZrThrRecord, blk) == 1604);
static_assert(offsetof(ZrThrRecord, end_mark) == 2462);
static_assert(sizeof(ZrThrRecord) == zr_session::kSvrInfZrThrSize);
static_assert(offsetof(TmThrRecord, end_mark) == 2433);
static_assert(sizeof(TmThrRecord) == zr_session::kSvrInfTmThrSize);

#pragma pack(pop)

ZR01::ZR_SVR_INF& inf() { return zr01->svr_inf; }

// Block n (1-9) of the database information.
char* db_block(int n) { return n == 1 ? inf().db_first : inf().db_more[n - 2]; }

void put_block(int n, const char (&src)[800]) { std::memcpy(db_block(n), src, sizeof src); }

// Keeps the bytes of a record from offset 1600 on.
void keep_ext(const void* record, std::size_t size) {
  std::size_t n = size - 1600;
  if (n > sizeof inf().ext) n = sizeof inf().ext;
  std::memcpy(inf().ext, static_cast<const char*>(record) + 1600, n);
  inf().ext_len = static_cast<std::int32_t>(n);
}

// Copies the record of the current answer into rec when the exchange succeeded
// and the whole record arrived; otherwise traces why and returns false.
template <typename Record>
bool take_record(int exchange, const char* name, Record& rec) {
  const std::size_t got = zr_session::answer_bytes();
  if (exchange < 0 || zrwork->p_msg->hdr.sts < 0 || got < sizeof rec) {
    _dbg_print("%s: no complete answer (ret:%d, sts:%d, %d of %d bytes), kept values unchanged",
               name, exchange, zrwork->p_msg->hdr.sts, static_cast<int>(got),
               static_cast<int>(sizeof rec));
    return false;
  }
  std::memcpy(&rec, zrwork->p_msg->data, sizeof rec);
  return true;
}

// Sends message 112 with the header set by hand and an empty text.
int send_by_hand(int kd00, bool clear_sts) {
  PHMSG* msg = zrwork->p_msg;
  msg->hdr.mid = kMidServerInfo;
  msg->hdr.kd00 = static_cast<std::int16_t>(kd00);
  if (clear_sts) msg->hdr.sts = 0;
  msg->data[0] = '\0';
  if (!zr00->msg_fn) return -1;
  return zr00->msg_fn();
}

// The check value of a _thr record; a record that did not arrive in full or
// does not end in it is a fault of the server the program cannot go on with.
template <typename Record>
void check_end(const Record& rec, bool complete, const char* name) {
  if (complete && rec.end_mark == zr_session::kSvrInfEndMark) return;
  _err_mes(990, name);
}

}  // namespace

int tm0930_svr_inf_net() {
  int ret = send_by_hand(kTrademarkKind, false);
  TmNetRecord rec;
  if (!take_record(ret, "tm0930_svr_inf_net", rec)) return 0;
  put_block(9, rec.db_kind);
  put_block(5, rec.db_5);
  zr01->pd_f = rec.pd_f;
  zr01->pd_t = rec.pd_t;
  inf().v1608 = rec.v1608;
  inf().v1609 = rec.v1609;
  zr01->disp_max = rec.disp_max;
  inf().v1615 = rec.v1615;
  inf().v1619 = rec.v1619;
  inf().v1623 = rec.v1623;
  std::memcpy(inf().v1627, rec.v1627, sizeof rec.v1627);
  zr00->recv_timeout = rec.recv_timeout;
  zr::copy_n(inf().t1633, rec.t1633, sizeof rec.t1633);
  inf().v1664 = rec.v1664;
  inf().v1668 = rec.v1668;
  inf().v1669 = rec.v1669;
  inf().v1670 = rec.v1670;
  inf().v1674 = rec.v1674;
  zr::copy_n(inf().t1675, rec.t1675, sizeof rec.t1675);
  zr::copy_n(inf().t1715, rec.t1715, sizeof rec.t1715);
  std::memcpy(inf().v1915, rec.v1915, sizeof rec.v1915);
  return 0;
}

int zr0930_svr_inf_net() {
  int ret = send_by_hand(0, true);
  ZrNetRecord rec;
  if (!take_record(ret, "zr0930_svr_inf_net", rec)) return 0;
  put_block(1, rec.db_1);
  put_block(5, rec.db_5);
  keep_ext(&rec, sizeof rec);
  zr00->recv_timeout = rec.recv_timeout;
  return 0;
}

int zr0930_svr_inf_thr() {
  zr::copy(zrwork->rtn_nm, "server_inf_get");
  zrwork->mlng = 0;
  int ret = zr0930_msg_request(0, kMidServerInfo);
  if (ret == 0 && zrwork->p_msg->hdr.sts == -1) return -1;
  ZrThrRecord rec{};
  bool complete = take_record(ret, "zr0930_svr_inf_thr", rec);
  check_end(rec, complete, "zr0930_svr_inf_thr");
  if (!inf().thr_blk) inf().thr_blk = _malloc(kSvrInfThrBlkSize);
  if (!inf().thr_blk) _err_mes(930, "zr0930_svr_inf_thr");
  put_block(1, rec.db_a);
  put_block(5, rec.db_5);
  std::memcpy(inf().thr_blk, rec.blk, sizeof rec.blk);
  keep_ext(&rec, sizeof rec);
  return 0;
}

int tm0930_svr_inf_thr() {
  zr::copy(zrwork->rtn_nm, "server_inf_get");
  if (!inf().thr_blk) inf().thr_blk = _malloc(kSvrInfThrBlkSize);
  if (!inf().thr_blk) _err_mes(930, "tm0930_svr_inf_thr");
  std::memset(inf().thr_blk, 0, kSvrInfThrBlkSize);
  zrwork->mlng = 0;
  int ret = zr0930_msg_request(kTrademarkKind, kMidServerInfo);
  TmThrRecord rec{};
  bool complete = take_record(ret, "tm0930_svr_inf_thr", rec);
  check_end(rec, complete, "tm0930_svr_inf_thr");
  put_block(9, rec.db_a);
  put_block(5, rec.db_5);
  std::memcpy(inf().thr_blk, rec.blk, sizeof rec.blk);
  keep_ext(&rec, sizeof rec);
  return 0;
}

int zr0930_update_info() {
  zrwork->mlng = 0;
  int ret = zr0930_msg_request(zrwork->kd_1, kMidUpdateInfo);
  if (ret != 0 || zrwork->p_msg->hdr.sts == -1) return -1;
  std::size_t n = zr_session::answer_bytes();
  if (n < sizeof inf().upd_inf) {
    _dbg_print("zr0930_update_info: %d of %d bytes arrived, the rest cleared", static_cast<int>(n),
               kUpdateInfoSize);
  } else {
    n = sizeof inf().upd_inf;
  }
  std::memset(inf().upd_inf, 0, sizeof inf().upd_inf);
  std::memcpy(inf().upd_inf, zrwork->p_msg->data, n);
  return 0;
}

int zr0930_emc_info(char* out) {
  zrwork->mlng = 0;
  int ret = zr0930_msg_request(zrwork->kd_1, kMidMessage);
  std::int64_t n = 0;
  const std::size_t got = zr_session::answer_bytes();
  if (ret == 0 && got >= 4) {
    std::int32_t len;
    std::memcpy(&len, zrwork->p_msg->data, sizeof len);
    n = len;
    if (n >= kEmcTextMax + 1) n = kEmcTextMax;
    if (n < 0) n = 0;
    if (n > static_cast<std::int64_t>(got - 4)) {
      _dbg_print("zr0930_emc_info: length %d, %d bytes arrived", len, static_cast<int>(got - 4));
      n = static_cast<std::int64_t>(got - 4);
    }
  }
  if (n) std::memcpy(out, zrwork->p_msg->data + 4, static_cast<std::size_t>(n));
  out[n] = '\0';
  return static_cast<int>(n);
}
