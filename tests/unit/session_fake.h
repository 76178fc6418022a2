// A stand-in for the service in the message function slot: it records every
// request (header, text, the host it was posted to, the logon counters) and
// answers from a queue of prepared answers.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "zrlib.h"
#include "session/envelope.h"

namespace session_fake {

struct SentRequest {
  int mid = 0;
  int kd00 = 0;
  std::int32_t lng = 0;
  std::string text;  // mlng bytes of request data
  std::string host;  // http_host_nm when it was sent
  std::string obj;   // http_obj_nm when it was sent
  int ua_l = 0, ua_p = 0, ua_r = 0;
};

struct FakeAnswer {
  int ret = 0;  // result of the exchange; negative: failed, no answer
  std::int32_t sts = 0;
  int kd00 = -1;     // -1: as sent
  std::string data;  // answer data bytes
};

class FakeService {
 public:
  // Installs itself at once, unless the areas do not exist yet (a fixture member
  // then calls install() once they do).
  explicit FakeService(bool install_now = true) {
    if (install_now) install();
  }
  ~FakeService() { uninstall(); }
  void install() {
    instance_ = this;
    zr00->sys_kd = 2;
    previous_ = zr00->msg_fn;
    zr00->msg_fn = &FakeService::exchange;
    installed_ = true;
  }
  void uninstall() {
    if (!installed_) return;
    if (zr00) zr00->msg_fn = previous_;
    instance_ = nullptr;
    installed_ = false;
  }
  FakeService(const FakeService&) = delete;
  FakeService& operator=(const FakeService&) = delete;

  void answer(FakeAnswer a) { answers.push_back(std::move(a)); }
  void answer_ok(const std::string& data, std::int32_t sts = 0) { answer({0, sts, -1, data}); }
  void answer_text(std::int32_t sts, const std::string& text) {
    answer({0, sts, -1, text + std::string(1, '\0')});
  }
  void fail(int ret = -1) { answer({ret, 0, -1, "connect failed"}); }

  std::vector<SentRequest> sent;
  std::deque<FakeAnswer> answers;  // when empty: sts 0 and no data

 private:
  static int exchange() {
    FakeService* self = instance_;
    PHMSG* msg = zrwork->p_msg;
    SentRequest r;
    r.mid = msg->hdr.mid;
    r.kd00 = msg->hdr.kd00;
    r.lng = msg->hdr.lng;
    r.text.assign(msg->data, static_cast<std::size_t>(zrwork->mlng));
    r.host = zr01->http_host_nm;
    r.obj = zr01->http_obj_nm;
    r.ua_l = zr01->ua_l;
    r.ua_p = zr01->ua_p;
    r.ua_r = zr01->ua_r;
    self->sent.push_back(r);
    FakeAnswer a;
    if (!self->answers.empty()) {
      a = self->answers.front();
      self->answers.pop_front();
    }
    if (a.ret < 0) {
      // As the tunnel does: the failure text replaces the request data.
      zr::copy(msg->data, static_cast<std::size_t>(zrwork->p_msg_cap), a.data.c_str());
      return a.ret;
    }
    const auto n = static_cast<std::int32_t>(a.data.size());
    if (n + 1 > zrwork->p_msg_cap) zr_msg_grow(n + 1 + kMsgGrowSlack + kMsgHeaderSize, 0);
    msg = zrwork->p_msg;
    if (a.kd00 != -1) msg->hdr.kd00 = static_cast<std::int16_t>(a.kd00);
    msg->hdr.lng = n + kMsgHeaderSize;
    msg->hdr.sts = a.sts;
    std::memcpy(msg->data, a.data.data(), a.data.size());
    msg->data[n] = '\0';
    zrwork->mlng = n;
    return a.ret;
  }

  static inline FakeService* instance_ = nullptr;
  ZR_MSG_FN previous_ = nullptr;
  bool installed_ = false;
};

// Little-endian pieces of answer data.
inline std::string le16(int v) {
  std::string s(2, '\0');
  s[0] = static_cast<char>(v & 0xFF);
  s[1] = static_cast<char>((v >> 8) & 0xFF);
  return s;
}
inline std::string le32(std::int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i)
    s[i] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
  return s;
}
// A blank-padded fixed field.
inline std::string padded(const std::string& text, std::size_t width, char fill = ' ') {
  std::string s = text.substr(0, width);
  s.resize(width, fill);
  return s;
}
inline std::string cstr(const std::string& text) { return text + std::string(1, '\0'); }

}  // namespace session_fake
