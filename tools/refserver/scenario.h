// The world of the reference server and its fault rules, read from a scenario
// file (format: README.md). Every text is held in Shift-JIS, as it goes on the
// wire.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace refsrv {

struct User {
  std::string id;
  std::string password;
  std::vector<int> kinds{51};
  std::int32_t mst_value = 0;
  int mst_flag = 0;
  std::string elsewhere_host, elsewhere_obj, elsewhere_text;
  std::string force_refuse;
  bool has_session_elsewhere() const {
    return !elsewhere_host.empty() || !elsewhere_obj.empty() || !elsewhere_text.empty();
  }
};

struct UpdateFile {
  std::string name;  // as listed
  std::int32_t date = 0;
  std::int32_t time = 0;
  std::string content;  // the file's bytes
  std::string archive;  // the -lh6- archive served by the pieces
};

enum class Action { None, Http, Drop, Reset, Truncate, Sts, Challenge };
enum class Phase { Request, Header, Body, Frame, Text, Binary };
enum class Layout { Auto, Checker, Launcher };

struct FaultRule {
  int line = 0;
  // selectors
  int mid = -1;
  int at = -1;
  std::string user;
  int skip = 0;
  int count = 1;  // -1: no limit
  // the answer action
  Action action = Action::None;
  int http_status = 0;
  bool plain = false;
  Phase phase = Phase::Request;
  int truncate = 0;
  int sts = 0;
  std::string text;
  bool has_text = false;
  int challenge = 0;
  std::vector<std::string> schemes;
  std::string auth;  // "user:pass" accepted by a challenge rule
  bool keepalive = false;
  // modifiers
  int delay_ms = 0;
  int trickle_ms = -1;
  bool send_continue = false;
  int binary = -1;
  bool badsum = false;
  int lng = -1;  // a frame's lng field replaced by this value (-1: as built)
  // use counters (guarded by the server's lock)
  int matched = 0;
  int used = 0;
  std::string describe() const;  // the rule's action for the log
};

struct Scenario {
  // [server]
  int db_code = 51;
  std::string db_host = "127.0.0.1";
  std::string db_obj = "QRTSVR";
  std::string t1;
  int vup_mode = 0;
  int sdi_stop = 0;
  std::string srv_txt;
  std::vector<std::string> hosts;
  Layout logon_layout = Layout::Auto;
  int session = 1;
  int recv_timeout = 0;
  std::int32_t pd_f = 0, pd_t = 0;
  std::string message;
  // [user ID]
  std::map<std::string, User> users;
  // [calendar]
  std::int32_t newest = 0;
  std::string calendar;  // the calendar text as sent
  // [sdi]
  int polls = 3;
  std::string running_text;
  std::string result;  // empty: a generated one
  bool has_result = false;
  // [update]
  int piece_size = 8192;
  std::vector<UpdateFile> files;
  // [files]: the folder the file transfer reads and writes (empty: none)
  std::string files_folder;
  // [faults]
  std::vector<FaultRule> faults;
};

// Reads the scenario text; base_dir resolves relative file names. On failure
// returns false with "line N: reason" in error.
bool parse_scenario(const std::string& text, const std::string& base_dir, Scenario& out,
                    std::string& error);
bool load_scenario(const std::string& path, Scenario& out, std::string& error);
// A whole file's bytes; nullopt when it cannot be read.
std::optional<std::string> read_bytes(const std::string& path);

}  // namespace refsrv
