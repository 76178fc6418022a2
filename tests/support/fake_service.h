// A stand-in for the service in the message function slot zr00->msg_fn: it
// records every request (header, request text, the host and object it was
// posted to, the logon counters) and every session pause, and answers the way
// the tunnel leaves an answer in p_msg (header, text part, binary part behind
// it, mlng = text length). Answers come first from the queue of next answers,
// then from the script of the request's message ID (whose last answer
// repeats), else `unscripted`.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "zrlib.h"

namespace qrt_test {

struct FakeAnswer {
  int result = 0;        // what msg_fn returns; negative: a failed exchange
  int kd00 = -1;         // -1: the request's kind code
  std::int32_t sts = 0;  // with a binary part and sts_auto: its length
  bool sts_auto = true;
  std::string text;    // text part (lng - 12 bytes); for a failure, the text
                       // that replaces the request data (none: left as it is)
  std::string binary;  // binary part behind the text
};

// An answer with the given text part and sts.
inline FakeAnswer answer(std::string text = {}, std::int32_t sts = 0) {
  FakeAnswer a;
  a.text = std::move(text);
  a.sts = sts;
  return a;
}
// A refusal: the status and the server's NUL-terminated text.
inline FakeAnswer refusal(const std::string& text, std::int32_t sts = -1) {
  return answer(text + '\0', sts);
}
// A failed exchange (the transport's own failure, nothing answered); with a
// text, that text replaces the request data as the tunnel's connect failure does.
inline FakeAnswer failure(int result = -1, std::string text = {}) {
  FakeAnswer a;
  a.result = result;
  a.text = std::move(text);
  return a;
}
// The answer with another kind code.
inline FakeAnswer with_kind(int kd00, FakeAnswer a) {
  a.kd00 = kd00;
  return a;
}
// A polling answer: the server process still runs (204).
inline FakeAnswer running(const std::string& text) { return with_kind(204, answer(text + '\0')); }
// The final polling answer (203) with the result as its binary part.
inline FakeAnswer finished(std::string result) {
  FakeAnswer a;
  a.kd00 = 203;
  a.binary = std::move(result);
  return a;
}

struct SentRequest {
  int mid = 0;
  int kd00 = 0;
  std::int32_t lng = 0;
  std::string text;  // the request text (up to its NUL within mlng)
  std::string host;  // http_host_nm when it was sent
  std::string obj;   // http_obj_nm when it was sent
  int ua_l = 0, ua_p = 0, ua_r = 0;
};

class FakeService {
 public:
  // Installs itself at once, unless the areas do not exist yet (a fixture
  // member then calls install() once they do).
  explicit FakeService(bool install_now = true) {
    unscripted = refusal("no answer scripted");
    if (install_now) install();
  }
  ~FakeService() { uninstall(); }
  FakeService(const FakeService&) = delete;
  FakeService& operator=(const FakeService&) = delete;

  void install() {
    if (installed_) return;
    outer_ = current();
    current() = this;
    // The session sends through msg_fn only in this system kind.
    zr00->sys_kd = 2;
    previous_ = zr00->msg_fn;
    zr00->msg_fn = &FakeService::exchange;
    previous_sleep_ = zr_session_sleep_handler(&FakeService::sleep);
    installed_ = true;
  }
  void uninstall() {
    if (!installed_) return;
    if (zr00) zr00->msg_fn = previous_;
    zr_session_sleep_handler(previous_sleep_);
    current() = outer_;
    installed_ = false;
  }

  // Queues an answer for a message ID; the last one queued repeats.
  void on(int mid, FakeAnswer a) { script_[mid].push_back(std::move(a)); }
  // Queues an answer for the next request, whatever its ID.
  void answer(FakeAnswer a) { queued.push_back(std::move(a)); }
  void answer_ok(const std::string& data, std::int32_t sts = 0) {
    FakeAnswer a = qrt_test::answer(data, sts);
    a.sts_auto = false;
    answer(a);
  }
  void answer_text(std::int32_t sts, const std::string& text) {
    answer_ok(text + std::string(1, '\0'), sts);
  }
  void fail(int result = -1) { answer(failure(result, "connect failed")); }

  std::vector<int> mids() const {
    std::vector<int> out;
    for (const SentRequest& r : sent) out.push_back(r.mid);
    return out;
  }
  const SentRequest* find(int mid) const {
    for (const SentRequest& r : sent)
      if (r.mid == mid) return &r;
    return nullptr;
  }

  std::vector<SentRequest> sent;
  std::vector<std::uint32_t> sleeps;
  std::deque<FakeAnswer> queued;  // the next answers, whatever the message ID
  FakeAnswer unscripted;          // the answer when nothing is queued or scripted

 private:
  static FakeService*& current() {
    static FakeService* instance = nullptr;
    return instance;
  }
  static void sleep(std::uint32_t ms) {
    if (current()) current()->sleeps.push_back(ms);
  }

  FakeAnswer next_answer(int mid) {
    if (!queued.empty()) {
      FakeAnswer a = queued.front();
      queued.pop_front();
      return a;
    }
    auto it = script_.find(mid);
    if (it == script_.end() || it->second.empty()) return unscripted;
    FakeAnswer a = it->second.front();
    if (it->second.size() > 1) it->second.pop_front();
    return a;
  }

  static int exchange() {
    FakeService* self = current();
    PHMSG* msg = zrwork->p_msg;
    SentRequest r;
    r.mid = msg->hdr.mid;
    r.kd00 = msg->hdr.kd00;
    r.lng = msg->hdr.lng;
    // What the tunnel would send: the request text up to its first NUL.
    r.text.assign(
        msg->data,
        ::strnlen(msg->data, static_cast<std::size_t>(zrwork->mlng < 0 ? 0 : zrwork->mlng)));
    r.host = zr01->http_host_nm;
    r.obj = zr01->http_obj_nm;
    r.ua_l = zr01->ua_l;
    r.ua_p = zr01->ua_p;
    r.ua_r = zr01->ua_r;
    self->sent.push_back(r);

    FakeAnswer a = self->next_answer(r.mid);
    if (a.result < 0) {
      if (!a.text.empty())
        zr::copy(msg->data, static_cast<std::size_t>(zrwork->p_msg_cap), a.text.c_str());
      return a.result;
    }
    const std::size_t need = a.text.size() + a.binary.size() + 1;
    if (need > static_cast<std::size_t>(zrwork->p_msg_cap)) {
      zr_msg_grow(static_cast<std::int64_t>(need) + kMsgHeaderSize + kMsgGrowSlack, 0);
      msg = zrwork->p_msg;
    }
    msg->hdr.mid = static_cast<std::int16_t>(r.mid);
    msg->hdr.kd00 = static_cast<std::int16_t>(a.kd00 >= 0 ? a.kd00 : r.kd00);
    msg->hdr.lng = static_cast<std::int32_t>(kMsgHeaderSize + a.text.size());
    msg->hdr.sts =
        (a.sts_auto && !a.binary.empty()) ? static_cast<std::int32_t>(a.binary.size()) : a.sts;
    std::memcpy(msg->data, a.text.data(), a.text.size());
    std::memcpy(msg->data + a.text.size(), a.binary.data(), a.binary.size());
    msg->data[a.text.size() + a.binary.size()] = '\0';
    zrwork->mlng = static_cast<std::int32_t>(a.text.size());
    return a.result;
  }

  FakeService* outer_ = nullptr;
  ZR_MSG_FN previous_ = nullptr;
  ZR_SLEEP_FN previous_sleep_ = nullptr;
  bool installed_ = false;
  std::map<int, std::deque<FakeAnswer>> script_;
};

// Little-endian integers and fixed fields for answer records.
inline void put_i16(std::string& s, std::size_t off, std::int16_t v) {
  std::memcpy(&s[off], &v, 2);
}
inline void put_i32(std::string& s, std::size_t off, std::int32_t v) {
  std::memcpy(&s[off], &v, 4);
}
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

}  // namespace qrt_test
