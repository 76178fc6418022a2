#include "server.h"

#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "text.h"
#include "text/base64.h"

namespace refsrv {
namespace {

struct Header {
  std::string name, value;
};

// An HTTP answer as it is to be sent.
struct Reply {
  int status = 200;
  std::vector<Header> headers;
  std::string content_type = "application/octet-stream";
  std::string body;
  std::size_t text_len = 0;    // frame text bytes (frames only)
  std::size_t binary_len = 0;  // frame binary bytes (frames only)
};

const char* reason(int status) {
  switch (status) {
    case 100:
      return "Continue";
    case 200:
      return "OK";
    case 302:
      return "Found";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 407:
      return "Proxy Authentication Required";
    case 500:
      return "Internal Server Error";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    case 504:
      return "Gateway Timeout";
    default:
      return "Status";
  }
}

std::string head_of(const Reply& r) {
  std::string h = "HTTP/1.1 " + std::to_string(r.status) + " " + reason(r.status) + "\r\n";
  for (auto& x : r.headers) h += x.name + ": " + x.value + "\r\n";
  h += "Content-Type: " + r.content_type + "\r\n";
  h += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
  h += "Connection: close\r\n\r\n";
  return h;
}

Reply frame_reply(const Frame& f) {
  Reply r;
  r.headers = {{"Cache-Control", "no-cache"}, {"Pragma", "no-cache"}};
  r.body = f.bytes();
  r.text_len = f.text.size();
  r.binary_len = f.binary.size();
  return r;
}

std::string basic_token(const std::string& user_pass) {
  std::string out(4 * ((user_pass.size() + 2) / 3), '\0');
  int n = _conv_base64(0, user_pass.data(), out.data(), static_cast<int>(user_pass.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// The credentials of a Basic authorization line match user:pass.
bool has_basic(const httplib::Request& req, const std::string& user_pass) {
  std::string want = "Basic " + basic_token(user_pass);
  for (const char* name : {"Proxy-Authorization", "Authorization"}) {
    for (std::size_t i = 0; i < req.get_header_value_count(name); ++i)
      if (req.get_header_value(name, i) == want) return true;
  }
  return false;
}

// "Scheme ****": the token replaced by asterisks of its length.
std::string masked_auth(const std::string& value) {
  std::string v = value;
  std::size_t sp = v.find(' ');
  mask(v, sp == std::string::npos ? 0 : sp + 1, v.size());
  return v;
}

// The socket of the connection that carried req: the one whose local and peer
// ports are the request's. httplib does not hand out its sockets, so the raw
// answers find it among the process's descriptors.
int find_socket(const httplib::Request& req) {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  int found = -1;
  while (dirent* e = readdir(dir)) {
    int fd = std::atoi(e->d_name);
    if (fd < 3 || fd == dirfd(dir)) continue;
    sockaddr_in local{}, peer{};
    socklen_t ll = sizeof local, pl = sizeof peer;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &ll) != 0 ||
        local.sin_family != AF_INET || ntohs(local.sin_port) != req.local_port)
      continue;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &pl) != 0 ||
        ntohs(peer.sin_port) != req.remote_port)
      continue;
    found = fd;
    break;
  }
  closedir(dir);
  return found;
}

// Takes the connection away from httplib: a duplicate of the socket is returned
// for raw writing, and httplib's descriptor is pointed at /dev/null so that its
// own answer goes nowhere and its close does not touch the connection.
int hijack(const httplib::Request& req) {
  int fd = find_socket(req);
  if (fd < 0) return -1;
  int raw = dup(fd);
  int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null_fd >= 0) {
    dup2(null_fd, fd);
    close(null_fd);
  }
  return raw;
}

void send_all(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    ssize_t k = send(fd, p, n, MSG_NOSIGNAL);
    if (k <= 0) return;
    p += k;
    n -= static_cast<std::size_t>(k);
  }
}

void sleep_ms(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

void Log::line(int number, const char* dir, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(out_, "#%d %s %s\n", number, dir, text.c_str());
  std::fflush(out_);
}

bool is_byte_level(const FaultRule& rule) {
  return rule.action == Action::Drop || rule.action == Action::Reset ||
         rule.action == Action::Truncate || rule.send_continue || rule.trickle_ms >= 0;
}

RefServer::RefServer(Scenario sc, Log& log, const std::string& cert_file,
                     const std::string& key_file)
    : sc_(std::move(sc)), world_(sc_), log_(log), tls_(!cert_file.empty()) {
  if (tls_)
    http_ = std::make_unique<httplib::SSLServer>(cert_file.c_str(), key_file.c_str());
  else
    http_ = std::make_unique<httplib::Server>();
  http_->Post(".*",
              [this](const httplib::Request& req, httplib::Response& res) { handle(req, res); });
  http_->set_keep_alive_timeout(30);
  http_->set_read_timeout(30);
  http_->set_write_timeout(30);
}

RefServer::~RefServer() = default;

bool RefServer::valid() const { return http_->is_valid(); }

int RefServer::bind(int port) {
  if (port == 0) {
    port_ = http_->bind_to_any_port("127.0.0.1");
  } else {
    port_ = http_->bind_to_port("127.0.0.1", port) ? port : -1;
  }
  return port_;
}

bool RefServer::listen() { return http_->listen_after_bind(); }

void RefServer::stop() { http_->stop(); }

void RefServer::handle(const httplib::Request& hreq, httplib::Response& res) {
  Request req;
  bool parsed = parse_request(hreq.body, req);

  // number the request and pick its fault rule
  int number = 0;
  FaultRule* rule = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    number = ++requests_;
    for (auto& r : sc_.faults) {
      if (r.mid >= 0 && (!parsed || req.mid != r.mid)) continue;
      if (r.at >= 0 && number != r.at) continue;
      if (!r.user.empty() && (!parsed || req.user != r.user)) continue;
      if (r.count >= 0 && r.used >= r.count) continue;
      if (r.action == Action::Challenge && !r.auth.empty() && has_basic(hreq, r.auth)) continue;
      if (r.badsum && (!parsed || !world_.is_last_piece(req))) continue;
      if (++r.matched <= r.skip) continue;
      ++r.used;
      rule = &r;
      break;
    }
  }

  log_.line(number, "<-",
            hreq.method + " " + hreq.target + " " + hreq.version + " ua=\"" +
                to_log(hreq.get_header_value("User-Agent")) + "\"");
  for (const char* name : {"Proxy-Authorization", "Authorization"}) {
    for (std::size_t i = 0; i < hreq.get_header_value_count(name); ++i)
      log_.line(number, "  ",
                std::string(name) + ": " + masked_auth(hreq.get_header_value(name, i)));
  }
  if (parsed) {
    char head[160];
    std::snprintf(head, sizeof head, "mid=%04d kd00=%02d user=%s obj=%s len=%d text=\"", req.mid,
                  req.kd00, to_log(req.user).c_str(), to_log(req.obj).c_str(), req.length);
    log_.line(number, "  ", head + to_log(masked_text(req)) + "\"");
  } else {
    log_.line(number, "  ",
              "body not a tunnel request (" + std::to_string(hreq.body.size()) + " bytes)");
  }

  // the answer of the service, or the fault's
  Reply reply;
  Frame frame;
  if (!parsed) {
    frame.sts = -1;
    frame.text = to_sjis("要求の形式が正しくありません。").value_or("") + '\0';
  } else if (rule && rule->action == Action::Sts) {
    frame.mid = req.mid;
    frame.kd00 = req.kd00;
    frame.sts = rule->sts;
    frame.text = rule->text + '\0';
  } else if (!rule || rule->action != Action::Http) {
    frame = world_.answer(req, rule && rule->badsum);
  }
  if (rule && rule->binary >= 0) {
    frame.binary.assign(static_cast<std::size_t>(rule->binary), '\0');
    for (std::size_t i = 0; i < frame.binary.size(); ++i)
      frame.binary[i] = static_cast<char>(i % 251);
  }
  reply = frame_reply(frame);
  if (rule && rule->action == Action::Http) {
    reply = Reply{};
    reply.status = rule->http_status;
    reply.content_type =
        rule->plain ? "text/plain; charset=Shift_JIS" : "text/html; charset=Shift_JIS";
    reply.body = rule->has_text ? rule->text
                                : "<html><body>" + std::to_string(rule->http_status) +
                                      " refserver #" + std::to_string(number) + "</body></html>";
  } else if (rule && rule->action == Action::Challenge) {
    reply = Reply{};
    reply.status = rule->challenge;
    const char* hname = rule->challenge == 401 ? "WWW-Authenticate" : "Proxy-Authenticate";
    for (auto& s : rule->schemes)
      reply.headers.push_back({hname, s == "Basic" ? "Basic realm=\"refserver\"" : s});
    if (rule->keepalive) reply.headers.push_back({"Proxy-Connection", "keep-alive"});
    reply.content_type = "text/html";
    reply.body = "<html><body>authentication required</body></html>";
  }

  if (rule) log_.line(number, "->", "fault " + rule->describe());
  // A bad length: the frame header's lng field (bytes 4 to 7) says otherwise.
  if (rule && rule->lng >= 0 && reply.content_type == "application/octet-stream" &&
      reply.body.size() >= 12) {
    const std::int32_t v = rule->lng;
    std::memcpy(&reply.body[4], &v, sizeof v);
  }
  if (reply.status == 200 && reply.content_type == "application/octet-stream") {
    char line[160];
    std::snprintf(
        line, sizeof line, "http=200 mid=%04d kd00=%02d lng=%zu sts=%d", frame.mid, frame.kd00,
        12 + frame.text.size(),
        frame.binary.empty() ? static_cast<int>(frame.sts) : static_cast<int>(frame.binary.size()));
    log_.line(number, "->", line);
  } else {
    log_.line(number, "->",
              "http=" + std::to_string(reply.status) + " " + reply.content_type +
                  " length=" + std::to_string(reply.body.size()));
  }

  if (rule) sleep_ms(rule->delay_ms);

  // main() refuses byte-level rules over HTTPS: the raw connection carries TLS
  // records there, which this server does not write itself.
  if (!rule || tls_ || !is_byte_level(*rule)) {
    res.status = reply.status;
    for (auto& h : reply.headers) res.set_header(h.name.c_str(), h.value);
    res.set_content(reply.body, reply.content_type.c_str());
    return;
  }

  // byte-level answer on the raw connection
  int fd = hijack(hreq);
  if (fd < 0) {
    log_.line(number, "->", "error: connection not found for a raw answer");
    res.status = 500;
    return;
  }
  std::string prefix = rule->send_continue ? "HTTP/1.1 100 Continue\r\n\r\n" : "";
  std::string head = head_of(reply);
  std::string all = prefix + head + reply.body;
  std::size_t cut = all.size();
  std::size_t body_at = prefix.size() + head.size();
  if (rule->action == Action::Drop || rule->action == Action::Reset) {
    switch (rule->phase) {
      case Phase::Request:
        cut = 0;
        break;
      case Phase::Header:
        cut = prefix.size() + head.find("\r\n") / 2;
        break;
      case Phase::Body:
        cut = body_at;
        break;
      case Phase::Frame:
        cut = body_at + 6;
        break;
      case Phase::Text:
        cut = body_at + 12 + reply.text_len / 2;
        break;
      case Phase::Binary:
        cut = body_at + 12 + reply.text_len + reply.binary_len / 2;
        break;
    }
  } else if (rule->action == Action::Truncate) {
    cut = body_at + static_cast<std::size_t>(std::max(0, rule->truncate));
  }
  cut = std::min(cut, all.size());
  if (rule->trickle_ms >= 0) {
    for (std::size_t at = 0; at < cut; at += 5) {
      send_all(fd, all.data() + at, std::min<std::size_t>(5, cut - at));
      if (at + 5 < cut) sleep_ms(rule->trickle_ms);
    }
  } else {
    send_all(fd, all.data(), cut);
  }
  if (rule->action == Action::Reset) {
    linger lg{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
  } else {
    shutdown(fd, SHUT_WR);
  }
  close(fd);
}

}  // namespace refsrv
