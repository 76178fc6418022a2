// Bounded reading of answer data and the merge of delivered host names.
#include "session/answer.h"

#include "runtime/zrcommon.h"
#include "session/envelope.h"
#include "session/settings.h"
#include "text/sjis.h"

namespace zr_session {

const char* const kUserCheckUnreachable =
    "サーバが停止しているか、\r\nネットワークの設定が正しくない可能性があります。\r\n確認して下さい"
    "。";
const char* const kLogonUnreachable =
    "回線が切断されました。 "
    "サーバが停止しているか、\r\n回線が混んでいるためデータを取得できません。\r\n"
    "しばらくしてから再度接続して下さい。";

std::size_t answer_bytes() {
  std::int64_t n = zrwork->mlng > 0 ? zrwork->mlng : 0;
  if (zrwork->p_msg->hdr.sts > 0) n += zrwork->p_msg->hdr.sts;
  if (n > zrwork->p_msg_cap) n = zrwork->p_msg_cap;
  return static_cast<std::size_t>(n);
}

AnswerReader AnswerReader::current() {
  std::int32_t n = zrwork->mlng;
  if (n < 0) n = 0;
  if (n > zrwork->p_msg_cap) n = zrwork->p_msg_cap;
  return AnswerReader(zrwork->p_msg->data, static_cast<std::size_t>(n));
}

bool AnswerReader::take(void* out, std::size_t count) {
  if (left() < count) {
    std::memset(out, 0, count);
    pos_ = n_;
    short_ = true;
    return false;
  }
  std::memcpy(out, p_ + pos_, count);
  pos_ += count;
  return true;
}

std::int16_t AnswerReader::i16() {
  std::int16_t v;
  take(&v, sizeof v);
  return v;
}

std::int32_t AnswerReader::i32() {
  std::int32_t v;
  take(&v, sizeof v);
  return v;
}

std::uint8_t AnswerReader::u8() {
  std::uint8_t v;
  take(&v, sizeof v);
  return v;
}

void AnswerReader::skip(std::size_t count) {
  if (left() < count) {
    pos_ = n_;
    short_ = true;
  } else {
    pos_ += count;
  }
}

void AnswerReader::field(char* out, std::size_t cap, std::size_t width) {
  std::size_t have = left() < width ? left() : width;
  zr::copy_n(out, cap, p_ + pos_, have);
  skip(width);
}

std::size_t AnswerReader::text(std::string& out) {
  const char* start = p_ + pos_;
  std::size_t len = ::strnlen(start, left());
  out.assign(start, len);
  skip(len + 1);
  return len;
}

bool host_name_ok(const char* name, std::size_t cap) {
  const std::size_t len = ::strnlen(name, cap);
  if (len == 0 || len >= cap) return false;
  for (std::size_t i = 0; i < len; ++i) {
    const char c = name[i];
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::string trace_copy(const char* text, std::size_t max) {
  std::string out;
  const std::size_t len = ::strnlen(text, max);
  for (std::size_t i = 0; i < len; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      char hex[8];
      ZR_FMT(hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool merge_host(const char* name) {
  if (!name[0]) {
    _dbg_print("host list: an empty host name is ignored");
    return false;
  }
  if (!host_name_ok(name, sizeof zrconn->host_nm[0])) {
    _dbg_print("host list: not a host name, dropped: %s", trace_copy(name, 64).c_str());
    return false;
  }
  int cnt = zrconn->host_cnt;
  if (cnt < 0) cnt = 0;
  if (cnt > kHostMax) cnt = kHostMax;
  for (int i = 0; i < cnt; ++i) {
    if (std::strcmp(zrconn->host_nm[i], name) == 0) return false;
  }
  if (cnt >= kHostMax) {
    _dbg_print("host list full (%d hosts): %s is not added", kHostMax, name);
    return false;
  }
  zr::copy(zrconn->host_nm[cnt], name);
  zrconn->host_cnt = static_cast<std::int16_t>(cnt + 1);
  return true;
}

void take_hosts(AnswerReader& in, int m) {
  if (m < 0) m = 0;
  const int fit = static_cast<int>(in.left() / 31);
  if (m > fit) {
    _dbg_print("host list: %d names announced, %d received", m, fit);
    m = fit;
  }
  for (int i = 0; i < m; ++i) {
    // 31 bytes with their NUL: a name that fills all of them does not fit.
    char name[32];
    in.field(name, sizeof name, 31);
    merge_host(name);
  }
  if (m > 0) zrnet_ini_write();
}

void read_server_host(AnswerReader& in) {
  in.field(zrconn->cur_host, sizeof zrconn->cur_host, 30);
  _null_set(zrconn->cur_host, 30);
  if (!host_name_ok(zrconn->cur_host, sizeof zrconn->cur_host)) {
    _dbg_print("database host: not a host name, dropped: %s",
               trace_copy(zrconn->cur_host, 64).c_str());
    zrconn->cur_host[0] = '\0';
  }
}

void keep_server_text(const std::string& text) {
  if (text.empty()) return;
  if (!zr::copy(zrconn->srv_txt, text.c_str())) {
    _dbg_print("server text cut to %d bytes (received %d)",
               static_cast<int>(sizeof zrconn->srv_txt) - 1, static_cast<int>(text.size()));
  }
}

const char* answer_text() {
  PHMSG* msg = zrwork->p_msg;
  std::int32_t end = zrwork->mlng;
  if (end < 0) end = 0;
  if (end >= zrwork->p_msg_cap) end = zrwork->p_msg_cap - 1;
  // The transports end the text with a NUL; make sure a malformed answer does too.
  if (::strnlen(msg->data, static_cast<std::size_t>(end) + 1) > static_cast<std::size_t>(end)) {
    zr_msg_data(msg)[end] = '\0';
  }
  return msg->data;
}

void put_short_logon(int kind_idx) {
  int n = zr::format(zrwork->p_msg->data, static_cast<std::size_t>(zrwork->p_msg_cap),
                     "%02d%-8s%04d", kind_idx, zr01->user_pass, zr00->ver_no);
  zrwork->mlng = n < 0 ? 0 : n;
}

}  // namespace zr_session
