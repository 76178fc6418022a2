// Reading answer data of the session's messages: a cursor that never reads past
// the received bytes, and the merge of delivered host names into the host table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/areas.h"

namespace zr_session {

// A cursor over the data of an answer. Reads past the end yield zeros and empty
// texts and mark the reader as short, so a truncated answer never reads beyond
// what arrived.
class AnswerReader {
 public:
  AnswerReader(const char* data, std::size_t len) : p_(data), n_(len) {}
  // The data part of the current answer in p_msg (mlng bytes).
  static AnswerReader current();

  std::int16_t i16();
  std::int32_t i32();
  std::uint8_t u8();
  void skip(std::size_t count);
  // A fixed-width field of `width` bytes, copied NUL-terminated into out.
  void field(char* out, std::size_t cap, std::size_t width);
  // A NUL-terminated text (the NUL is consumed); its length without the NUL.
  std::size_t text(std::string& out);
  std::size_t left() const { return pos_ < n_ ? n_ - pos_ : 0; }
  bool short_read() const { return short_; }
  const char* rest() const { return p_ + (pos_ < n_ ? pos_ : n_); }

 private:
  bool take(void* out, std::size_t count);
  const char* p_;
  std::size_t n_;
  std::size_t pos_ = 0;
  bool short_ = false;
};

// The answer bytes that arrived in p_msg: the text part (mlng) and, when sts is
// positive, the binary part behind it, never more than the record holds.
std::size_t answer_bytes();

// True when name is a plausible host name for a field of cap bytes: one to
// cap - 1 letters, digits, dots and hyphens. Host names that come from the
// server are used and stored only when they pass; they end up in ZORAX.INI, in
// the request line and in the proxy CONNECT line.
bool host_name_ok(const char* name, std::size_t cap);
// A copy of at most max bytes of text for a trace line, with control bytes
// shown as \xHH, so that outside text cannot start a line of its own.
std::string trace_copy(const char* text, std::size_t max);

// Appends a host name delivered by a logon answer to host_nm unless one of the
// first host_cnt entries already equals it. A name that is not a plausible host
// name, that no longer fits the table, or an empty one, is dropped with a trace
// line. True when it was appended.
bool merge_host(const char* name);
// Reads the database server host of a short-logon answer (30 bytes,
// blank-padded) into cur_host; a name that is not a plausible host name is
// dropped with a trace line and leaves cur_host empty.
void read_server_host(AnswerReader& in);

// Reads m host names of 31 bytes each from the answer and merges them into the
// host table; rewrites ZORAX.INI when the answer listed any.
void take_hosts(AnswerReader& in, int m);
// Keeps a non-empty server text in srv_txt (cut to the field, with a trace line).
void keep_server_text(const std::string& text);

// The answer text of p_msg (NUL-terminated within the record).
const char* answer_text();

// "Server unreachable" texts of the user check and of the short logon.
extern const char* const kUserCheckUnreachable;
extern const char* const kLogonUnreachable;

// Writes the short logon request "%02d%-8s%04d" (kind index, password,
// version) as the request text of p_msg.
void put_short_logon(int kind_idx);

}  // namespace zr_session
