// USER\ZORAX.INI: the fixed-column connection settings. A key stands at the start
// of a line and its value starts at byte 20 (Japanese keys count their two-byte
// characters as two bytes); lines are at most 79 bytes long.
#include "session/settings.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>

#include "net/tls.h"
#include "platform/platform.h"
#include "runtime/zrcommon.h"

namespace {

constexpr int kValueColumn = 20;
constexpr int kLineCap = 80;  // read buffer: a line holds at most 79 bytes
constexpr std::uint8_t kUnset = 255;

// Keys in the order they are recognised; the first whose leading bytes match wins.
enum class Key {
  kHost,
  kObject,
  kUserWork,
  kProxyHttpVer,
  kVersionUp,
  kZrhttpUse,
  kSocksUse,
  kAcceptHdr,
  kNocacheHdr,
  kKeepaliveHdr,
  kConnectCls,
  kNohostHdr,
  kNoSsl,
  kNtlmMode,
  kVersionSno,
  kProxyUse,
  kProxy,
  kProxyKeep,
  kRetryCount,
  kRetryInterval,
  kProxyAuthFirst,
  kCertIgnore,
  kNone
};

struct KeyRule {
  const char* text;
  std::size_t compared;
  Key key;
};

const KeyRule kKeys[] = {
    {"ホスト名", 8, Key::kHost},
    {"オブジェクト名", 14, Key::kObject},
    {"[UserWork", 9, Key::kUserWork},
    {"PROXY_HTTP_VER", 14, Key::kProxyHttpVer},
    {"VERSION_UP", 10, Key::kVersionUp},
    {"ZRHTTP_USE", 10, Key::kZrhttpUse},
    {"SOCKS_USE", 9, Key::kSocksUse},
    {"ACCEPT_HDR", 10, Key::kAcceptHdr},
    {"NOCACHE_HDR", 11, Key::kNocacheHdr},
    {"KEEPALIVE_HDR", 13, Key::kKeepaliveHdr},
    {"CONNECT_CLS", 11, Key::kConnectCls},
    {"NOHOST_HDR", 10, Key::kNohostHdr},
    {"NO_SSL", 6, Key::kNoSsl},
    {"NTLM_MODE", 9, Key::kNtlmMode},
    {"VERSION_SNO", 11, Key::kVersionSno},
    {"PROXY_USE", 9, Key::kProxyUse},
    {"PROXY ", 6, Key::kProxy},
    {"プロキシ切断防止", 16, Key::kProxyKeep},
    {"リトライカウント", 16, Key::kRetryCount},
    {"リトライ間隔", 12, Key::kRetryInterval},
    {"プロキシ優先認証", 16, Key::kProxyAuthFirst},
    {zrnet::kCertIgnoreKey, 15, Key::kCertIgnore},
};

Key key_of(const char* line) {
  for (const KeyRule& r : kKeys)
    if (std::strncmp(line, r.text, r.compared) == 0) return r.key;
  return Key::kNone;
}

// "OFF" in the first three bytes is OFF; anything else is ON.
std::uint8_t on_off(const char* value) { return std::strncmp(value, "OFF", 3) == 0 ? 0 : 1; }

// A decimal number: leading blanks skipped, reading stops at the first
// non-digit, no digits give 0. Values above max are held at max with a trace
// line, so that a large number never wraps into a small one.
unsigned number(const char* value, unsigned max, const char* line) {
  while (*value == ' ' || *value == '\t') ++value;
  unsigned long long v = 0;
  bool over = false;
  for (; *value >= '0' && *value <= '9'; ++value) {
    v = v * 10 + unsigned(*value - '0');
    if (v > max) {
      over = true;
      v = max;  // keeps the sum from growing without bound
    }
  }
  if (over) {
    _dbg_print("ZORAX.INI: value above %u, taken as %u: %s", max, max, line);
    return max;
  }
  return static_cast<unsigned>(v);
}

// Whether a text value (host, object, proxy host) can be kept: one with a
// control byte is refused with a trace line. No name holds one, and the writer
// ends a line before it, so the file written from the value would read back
// without it (an empty host line, a proxy without its port).
bool text_value_ok(const char* value, std::size_t len) {
  for (std::size_t i = 0; i < len; ++i) {
    const auto c = static_cast<unsigned char>(value[i]);
    if (c < 0x20 || c == 0x7F) {
      _dbg_print("ZORAX.INI: control byte 0x%02X in a value, line ignored", c);
      return false;
    }
  }
  return true;
}

// Copies a text value into a field; an over-long value is cut with a trace line.
template <std::size_t N>
void text_value(char (&field)[N], const char* value, std::size_t len, const char* line) {
  if (!zr::copy_n(field, value, len))
    _dbg_print("ZORAX.INI: value longer than %u bytes, cut: %s", unsigned(N - 1), line);
}

void ini_path(char* out, std::size_t cap) {
  zr::format(out, cap, "%s\\USER\\ZORAX.INI", zrenv->inst_dir);
}

// "[UserWork:folder]": the folder (at most 29 bytes) becomes the user work
// folder when it exists; otherwise the user is told and the install folder stays.
void user_work_line(const char* line) {
  constexpr std::size_t kMaxName = 29;
  const char* name = std::strlen(line) > 10 ? line + 10 : "";
  std::size_t len = 0;
  while (name[len] && name[len] != ']') ++len;
  char folder[kMaxName + 1] = "";
  bool fits = len <= kMaxName;
  if (fits) zr::copy_n(folder, name, len);
  if (!fits)
    _dbg_print("ZORAX.INI: UserWork folder longer than %u bytes: %s", unsigned(kMaxName), line);
  if (!fits || !plat::is_directory(folder)) {
    char text[256];
    ZR_FMT(text, "[[UserWork:%s]の指定に誤りがあるか、フォルダーがありません。", line);
    _mes_box(text, 0);
    return;
  }
  zr::copy(zr00->user_work, folder);
}

void host_line(const char* value, const char* line) {
  if (zrconn->host_cnt >= kHostMax) {
    _dbg_print("ZORAX.INI: more than %d host lines, dropped: %s", kHostMax, line);
    return;
  }
  if (!text_value_ok(value, std::strlen(value))) return;
  text_value(zrconn->host_nm[zrconn->host_cnt], value, std::strlen(value), line);
  zrconn->host_cnt++;
}

// "host:port", split at the first colon; a value without a colon is ignored,
// and so is a host with a control byte.
void proxy_line(const char* value, const char* line) {
  const char* colon = std::strchr(value, ':');
  if (!colon) return;
  std::size_t len = static_cast<std::size_t>(colon - value);
  if (!text_value_ok(value, len)) return;
  text_value(zrconn->pxy_host, value, len, line);
  zr::copy(zr00->http_proxy_host, zrconn->pxy_host);
  zrconn->pxy_port = static_cast<std::uint16_t>(number(colon + 1, 0xFFFF, line));
  zr00->http_proxy_port = zrconn->pxy_port;
}

// SSL_CERT_IGNORE turns certificate checks off, so it is read strictly: the
// exact key, blanks up to the value column, then exactly "ON". Anything else is
// OFF; a line that is not a clean ON or OFF is traced.
void cert_ignore_line(const char* line) {
  const std::size_t key_len = std::strlen(zrnet::kCertIgnoreKey);
  const std::size_t len = std::strlen(line);
  bool key_exact = len >= static_cast<std::size_t>(kValueColumn);
  for (std::size_t i = key_len; key_exact && i < static_cast<std::size_t>(kValueColumn); ++i)
    key_exact = line[i] == ' ';
  const char* v = key_exact ? line + kValueColumn : "";
  zr00->ssl_cert_ign = key_exact && std::strcmp(v, "ON") == 0 ? 1 : 0;
  if (!zr00->ssl_cert_ign && !(key_exact && std::strcmp(v, "OFF") == 0))
    _dbg_print("ZORAX.INI: %s is ON only with exactly ON at byte %d, taken as OFF: %s",
               zrnet::kCertIgnoreKey, kValueColumn, line);
}

void apply_line(const char* line) {
  if (line[0] == ' ' || line[0] == '\t' || line[0] == '/' || line[0] == ';') return;  // comment
  Key key = key_of(line);
  if (key == Key::kNone) return;
  if (key == Key::kUserWork) {
    user_work_line(line);
    return;
  }
  if (key == Key::kCertIgnore) {
    cert_ignore_line(line);
    return;
  }
  // A key line that ends before the value column carries no value; it is
  // treated as absent rather than as an empty (ON) value.
  if (std::strlen(line) <= static_cast<std::size_t>(kValueColumn)) {
    _dbg_print("ZORAX.INI: no value after the key, line ignored: %s", line);
    return;
  }
  const char* v = line + kValueColumn;
  switch (key) {
    case Key::kHost:
      host_line(v, line);
      break;
    case Key::kObject:
      if (text_value_ok(v, std::strlen(v))) text_value(zrconn->obj_nm, v, std::strlen(v), line);
      break;
    case Key::kProxyHttpVer:
      zr00->pxy_http11 = on_off(v);
      break;
    case Key::kVersionUp:
      zrconn->vup_use = on_off(v);
      break;
    case Key::kZrhttpUse:
      zrconn->zrhttp_use = zr00->zrhttp_cp = on_off(v);
      break;
    case Key::kSocksUse:
      zrconn->socks_use = on_off(v);
      break;
    case Key::kAcceptHdr:
      zr00->accept_hdr = on_off(v);
      break;
    case Key::kNocacheHdr:
      zr00->nocache_hdr = on_off(v);
      break;
    case Key::kKeepaliveHdr:
      zr00->keepalive_hdr = on_off(v);
      break;
    case Key::kConnectCls:
      zr00->connect_cls = on_off(v);
      break;
    case Key::kNohostHdr:
      zr00->nohost_hdr = on_off(v);
      break;
    case Key::kNoSsl:
      zr00->ssl_use = on_off(v) ? 0 : 1;
      break;
    case Key::kNtlmMode:
      zr00->ntlm_mode = on_off(v);
      break;
    case Key::kVersionSno:
      zrconn->vup_sno = static_cast<std::uint8_t>(number(v, 0xFF, line));
      break;
    case Key::kProxyUse:
      zr00->proxy_use = on_off(v);
      break;
    case Key::kProxy:
      proxy_line(v, line);
      break;
    case Key::kProxyKeep:
      zrconn->pxy_keep = static_cast<std::uint8_t>(number(v, 0xFF, line));
      break;
    case Key::kRetryCount:
      zr00->retry_count = static_cast<std::uint16_t>(number(v, 0xFFFF, line));
      break;
    case Key::kRetryInterval:
      zr00->retry_interval = static_cast<std::uint16_t>(number(v, 0xFFFF, line));
      break;
    case Key::kProxyAuthFirst:
      zr00->pxy_auth1st = on_off(v);
      break;
    default:
      break;
  }
}

// ---- writing ---------------------------------------------------------------------

class IniText {
 public:
  __attribute__((format(printf, 2, 3))) void line(const char* fmt, ...) {
    char buf[256];
    std::va_list ap;
    va_start(ap, fmt);
    int n = zr::vformat(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    std::size_t len = static_cast<std::size_t>(n) < sizeof buf ? n : sizeof buf - 1;
    // A value never carries a control byte into the file: a CR or LF would
    // start a line of its own. The line ends before the first one.
    for (std::size_t i = 0; i < len; ++i) {
      const auto c = static_cast<unsigned char>(buf[i]);
      if (c < 0x20 || c == 0x7F) {
        buf[i] = '\0';
        _dbg_print("ZORAX.INI: control byte 0x%02X in a value, the line ends before it: %s", c,
                   buf);
        len = i;
        break;
      }
    }
    text_.append(buf, len);
    text_ += "\r\n";
  }
  void on_off(const char* key, bool on) { line("%-20s%s", key, on ? "ON" : "OFF"); }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace

ZR_API int zrnet_ini_read() {
  zr::copy(zrwork->rtn_nm, "zrnet_ini_read");
  char path[sizeof zr01->fnm_work];
  ini_path(path, sizeof path);
  zr::copy(zr01->fnm_work, path);
  std::FILE* fp = _fopen_ext(path, "rb");
  if (!fp) {
    char text[600];
    ZR_FMT(text, "ホスト名ファイル(ZORAX.INI)が見つかりません。\n%s\\USER\\ZORAX.INI",
           zrenv->inst_dir);
    _mes_box(text, 0);
    return 1;
  }

  zr00->proxy_use = kUnset;
  zr00->ssl_use = kUnset;
  zrconn->vup_use = 1;
  zrconn->vup_sno = 1;
  zr00->ssl_cert_ign = 0;
  // The host table is filled from the file alone, also when it is read again.
  zrconn->host_cnt = 0;
  std::memset(zrconn->host_nm, 0, sizeof zrconn->host_nm);

  char line[kLineCap];
  while (fread_txt(line, kLineCap, fp) > 0) apply_line(line);
  _fclose(fp);

  zr::copy(zr01->http_host_nm, zrconn->host_nm[0]);
  zr::copy(zr01->http_obj_nm, zrconn->obj_nm);

  if (!zr00->user_work[0]) zr::copy(zr00->user_work, zrenv->inst_dir);
  if (zr00->retry_count == 0) zr00->retry_count = 10;
  if (zr00->retry_interval == 0) zr00->retry_interval = 500;
  if (zr00->proxy_use == kUnset) zr00->proxy_use = zr00->http_proxy_host[0] ? 1 : 0;
  if (zr00->ssl_use == kUnset) {
    // A file from before TLS: use it, and record the choice in the file.
    zr00->ssl_use = 1;
    zrnet_ini_write();
  }
  return 0;
}

bool zrnet_proxy_line_fits(const char* host, int port) {
  char proxy[160];
  const int n = ZR_FMT(proxy, "%-20s%s:%d", "PROXY", host, port);
  return n >= 0 && n < kLineCap;
}

ZR_API int zrnet_ini_write() {
  zr::copy(zrwork->rtn_nm, "zrnet_ini_write");
  IniText f;
  f.line("//// ZORAX環境設定ファイル Version : %d.%02d ////", 1, 20);
  f.line("[Host]");
  int hosts =
      zrconn->host_cnt < 0 ? 0 : (zrconn->host_cnt > kHostMax ? kHostMax : zrconn->host_cnt);
  for (int i = 0; i < hosts; ++i) f.line("%-20s%s", "ホスト名", zrconn->host_nm[i]);
  f.line("%-20s%s", "オブジェクト名", zrconn->obj_nm);
  f.line("[Config]");
  f.on_off("PROXY_HTTP_VER", zr00->pxy_http11);
  f.on_off("VERSION_UP", zrconn->vup_use);
  f.on_off("ZRHTTP_USE", zrconn->zrhttp_use);
  f.on_off("SOCKS_USE", zrconn->socks_use);
  f.on_off("ACCEPT_HDR", zr00->accept_hdr);
  f.on_off("NOCACHE_HDR", zr00->nocache_hdr);
  f.on_off("KEEPALIVE_HDR", zr00->keepalive_hdr);
  f.on_off("CONNECT_CLS", zr00->connect_cls);
  f.on_off("NOHOST_HDR", zr00->nohost_hdr);
  f.on_off("NO_SSL", !zr00->ssl_use);
  f.on_off("NTLM_MODE", zr00->ntlm_mode);
  f.line("%-20s%02d", "VERSION_SNO", zrconn->vup_sno);
  f.line("%-20s%s", "CONNECT_OPT", "OFF");
  f.on_off("PROXY_USE", zr00->proxy_use);
  if (zrconn->pxy_host[0]) {
    // The reader stops the program on a line of 80 bytes or more, so a proxy
    // line that long is left out rather than making the file unreadable (the
    // discovery and the network dialog refuse such a proxy before it is kept).
    if (zrnet_proxy_line_fits(zrconn->pxy_host, zrconn->pxy_port))
      f.line("%-20s%s:%d", "PROXY", zrconn->pxy_host, zrconn->pxy_port);
    else
      _dbg_print("ZORAX.INI: proxy line longer than %d bytes, not written: %.*s:%d", kLineCap - 1,
                 64, zrconn->pxy_host, zrconn->pxy_port);
  }
  if (zrconn->pxy_keep) f.line("%-20s%d", "プロキシ切断防止", zrconn->pxy_keep);
  f.line("%-20s%02d", "リトライカウント", zr00->retry_count);
  f.line("%-20s%05d", "リトライ間隔", zr00->retry_interval);
  f.on_off("プロキシ優先認証", zr00->pxy_auth1st);
  // Written only when set, so that files without it keep their exact contents.
  if (zr00->ssl_cert_ign) f.on_off(zrnet::kCertIgnoreKey, true);

  char path[sizeof zr01->fnm_work];
  ini_path(path, sizeof path);
  zr::copy(zr01->fnm_work, path);
  if (zr_replace_file(path, f.text().data(), f.text().size()) != 0) {
    zr::copy(zrwork->fail_fnm, path);
    _io_error(nullptr, ZR_IO_FWRITE, "wb");
  }
  return 0;
}
