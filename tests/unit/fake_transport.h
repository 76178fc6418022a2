// A stand-in for the message transport in zr00->msg_fn: records every request
// (message ID, kind code, request text as the tunnel would send it) and answers
// from a script per message ID, the way the tunnel leaves an answer in p_msg
// (header, text part, binary part behind it, mlng = text length).
#pragma once

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "zrlib.h"
#include "session/envelope.h"

namespace qrt_test {

struct FakeAnswer {
  int kd00 = -1;       // -1: echo the request's kind code
  int sts = 0;         // with a binary part and sts_auto: its length
  std::string text;    // text part (lng - 12 bytes)
  std::string binary;  // binary part behind the text
  bool sts_auto = true;
  int result = 0;  // what msg_fn returns; negative: failed exchange, p_msg untouched
};

// An answer with the given text part and sts 0.
inline FakeAnswer answer(std::string text = {}) {
  FakeAnswer a;
  a.text = std::move(text);
  return a;
}
// A refusal: the status and the server's NUL-terminated text.
inline FakeAnswer refusal(const std::string& text, int sts = -1) {
  FakeAnswer a;
  a.sts = sts;
  a.text = text + '\0';
  return a;
}
// A failed exchange (the transport's own failure, nothing answered).
inline FakeAnswer failure() {
  FakeAnswer a;
  a.result = -1;
  return a;
}
// A polling answer: the server process still runs (204).
inline FakeAnswer running(const std::string& text) {
  FakeAnswer a;
  a.kd00 = 204;
  a.text = text + '\0';
  return a;
}
// The final polling answer (203) with the result as its binary part.
inline FakeAnswer finished(std::string result) {
  FakeAnswer a;
  a.kd00 = 203;
  a.binary = std::move(result);
  return a;
}

class FakeTransport {
 public:
  struct Request {
    int mid;
    int kd00;
    std::string text;
  };

  FakeTransport() {
    outer_ = current();
    current() = this;
    previous_ = zr00->msg_fn;
    zr00->msg_fn = &FakeTransport::exchange;
    previous_sleep_ = zr_session_sleep_handler(&FakeTransport::sleep);
  }
  ~FakeTransport() {
    if (zr00) zr00->msg_fn = previous_;
    zr_session_sleep_handler(previous_sleep_);
    current() = outer_;
  }
  FakeTransport(const FakeTransport&) = delete;
  FakeTransport& operator=(const FakeTransport&) = delete;

  // Queues an answer for a message ID; the last one queued repeats.
  void on(int mid, FakeAnswer answer) { script_[mid].push_back(std::move(answer)); }

  std::vector<int> mids() const {
    std::vector<int> out;
    for (const Request& r : requests) out.push_back(r.mid);
    return out;
  }
  const Request* find(int mid) const {
    for (const Request& r : requests) {
      if (r.mid == mid) return &r;
    }
    return nullptr;
  }

  std::vector<Request> requests;
  std::vector<unsigned> sleeps;

 private:
  static FakeTransport*& current() {
    static FakeTransport* instance = nullptr;
    return instance;
  }

  static void sleep(std::uint32_t ms) {
    if (current()) current()->sleeps.push_back(ms);
  }

  static int exchange() {
    FakeTransport* self = current();
    PHMSG* msg = zrwork->p_msg;
    Request req{
        msg->hdr.mid, msg->hdr.kd00,
        std::string(msg->data, ::strnlen(msg->data, static_cast<std::size_t>(zrwork->p_msg_cap)))};
    self->requests.push_back(req);
    FakeAnswer ans;  // an unscripted message answers sts -1
    ans.sts = -1;
    ans.text = std::string("no answer scripted") + '\0';
    auto it = self->script_.find(req.mid);
    if (it != self->script_.end() && !it->second.empty()) {
      ans = it->second.front();
      if (it->second.size() > 1) it->second.pop_front();
    }
    if (ans.result < 0) return ans.result;
    const std::size_t need = ans.text.size() + ans.binary.size() + 1;
    if (need > static_cast<std::size_t>(zrwork->p_msg_cap)) {
      zr_msg_grow(static_cast<std::int64_t>(need) + kMsgHeaderSize + 1024, 0);
      msg = zrwork->p_msg;
    }
    msg->hdr.mid = static_cast<std::int16_t>(req.mid);
    msg->hdr.kd00 = static_cast<std::int16_t>(ans.kd00 >= 0 ? ans.kd00 : req.kd00);
    msg->hdr.lng = static_cast<std::int32_t>(kMsgHeaderSize + ans.text.size());
    msg->hdr.sts = (ans.sts_auto && !ans.binary.empty())
                       ? static_cast<std::int32_t>(ans.binary.size())
                       : ans.sts;
    std::memcpy(msg->data, ans.text.data(), ans.text.size());
    std::memcpy(msg->data + ans.text.size(), ans.binary.data(), ans.binary.size());
    msg->data[ans.text.size() + ans.binary.size()] = '\0';
    zrwork->mlng = static_cast<std::int32_t>(ans.text.size());
    return 0;
  }

  FakeTransport* outer_;
  ZR_MSG_FN previous_;
  ZR_SLEEP_FN previous_sleep_;
  std::map<int, std::deque<FakeAnswer>> script_;
};

// Little-endian integers for answer records.
inline void put_i16(std::string& s, std::size_t off, std::int16_t v) {
  std::memcpy(&s[off], &v, 2);
}
inline void put_i32(std::string& s, std::size_t off, std::int32_t v) {
  std::memcpy(&s[off], &v, 4);
}
inline std::string i16_bytes(std::int16_t v) { return std::string(reinterpret_cast<char*>(&v), 2); }
inline std::string i32_bytes(std::int32_t v) { return std::string(reinterpret_cast<char*>(&v), 4); }

}  // namespace qrt_test
