// The service as the reference server plays it: reading the tunnel's request
// body and composing the answer frame of every message from the scenario's world.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "scenario.h"

namespace refsrv {

// The tunnel's request body: a 32-character text header and the request text.
struct Request {
  std::string obj;
  int kd00 = 0;
  std::string user;
  int mid = 0;
  int length = 0;  // the header's length field (header included)
  std::string text;
};

// Reads the 32-character header; false when it is not one.
bool parse_request(const std::string& body, Request& out);

// The request text for the log, with the password replaced by asterisks.
std::string masked_text(const Request& req);

// One answer frame: the 12-byte header, the text, and the binary part whose
// length goes in sts when it is not empty.
struct Frame {
  int mid = 0;
  int kd00 = 0;
  std::int32_t sts = 0;
  std::string text;
  std::string binary;
  std::string bytes() const;
};

class World {
 public:
  explicit World(Scenario& sc);
  // The answer of the service to one request; badsum spoils the check block of
  // a last update piece.
  Frame answer(const Request& req, bool badsum);
  // The request asks for the last piece of an update file (message 1101).
  bool is_last_piece(const Request& req);

 private:
  struct Run {
    bool active = false;
    int polls_left = 0;
    std::string result;
  };
  Frame user_check(const Request& req);
  Frame logon(const Request& req);
  Frame logon_check(const Request& req);
  Frame force_logoff(const Request& req);
  Frame server_info(const Request& req);
  Frame newest_date(const Request& req);
  Frame sdi_run(const Request& req);
  Frame poll(const Request& req);
  Frame update_list(const Request& req);
  Frame update_piece(const Request& req, bool badsum);
  Frame upload_piece(const Request& req);
  Frame download_piece(const Request& req);
  // The file and piece number a 1101 request names; null when it names none.
  const UpdateFile* piece_of(const Request& req, std::size_t& piece) const;
  // The user of the request when the password field at [from, from + 8) is
  // right; otherwise fills the refusal into f and returns null.
  User* check_password(const Request& req, std::size_t from, Frame& f);
  std::string result_text(std::int32_t pd_f, std::int32_t pd_t) const;

  Scenario& sc_;
  std::mutex mutex_;
  int next_session_;
  std::map<std::string, int> last_mid_;  // per user: the previous request's mid
  std::map<std::string, Run> runs_;      // per user: the SDI run being polled
};

}  // namespace refsrv
