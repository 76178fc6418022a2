// The INI engine (see ini.h). The document is a tree of packed nodes in one
// array, with every text in one pool of NUL-terminated strings; both grow in
// steps of 10000 through the tracked allocator.
#include "runtime/ini.h"

#include <climits>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/platform.h"
#include "runtime/zrcommon.h"

namespace {

#pragma pack(push, 1)
struct CfgNode {
  std::uint8_t kind;
  std::int32_t own;
  std::int32_t parent;
  std::int32_t prev;
  std::int32_t next;
  std::int32_t child;
  std::uint32_t name;   // offset of the section name, key or comment text
  std::uint32_t value;  // offset of a key's value
};
#pragma pack(pop)
static_assert(sizeof(CfgNode) == 29);

enum : std::uint8_t { kRoot = 0, kSection = 1, kKey = 2, kComment = 8 };

constexpr std::int32_t kGrow = 10000;
constexpr int kOpenLineCap = 500;
constexpr int kReadLineCap = 600;
constexpr char kPlaceholder[] = "-----";

// The process-wide document.
CfgNode* cfg_base = nullptr;
char* cfg_text = nullptr;
std::int32_t cfg_used = 0;
std::int32_t cfg_cap = 0;
std::int32_t cfg_text_used = 0;
std::int32_t cfg_text_cap = 0;
std::uint8_t cfg_dirty = 0;
// The sections by name and the root's last child, so that a document of many
// sections is loaded and changed without walking the root's list each time.
std::unordered_map<std::string, std::int32_t> cfg_sections;
std::int32_t cfg_root_last = -1;

[[noreturn]] void logic_error(const char* comment) {
  _err_mes(990, comment);
  zr_exit();
}

// A block of size bytes from the tracked allocator; sizes beyond its 32-bit
// range are a logic error rather than a wrapped allocation.
void* take(std::int64_t size) {
  if (size > INT32_MAX) logic_error("_config  document too large");
  return _malloc(static_cast<std::int32_t>(size));
}

// Makes room for extra bytes of text.
void text_reserve(std::int64_t extra) {
  if (cfg_text_used + extra <= cfg_text_cap) return;
  std::int64_t cap = cfg_text_used + extra + kGrow;
  char* pool = static_cast<char*>(take(cap));
  std::memcpy(pool, cfg_text, static_cast<std::size_t>(cfg_text_used));
  _free(cfg_text);
  cfg_text = pool;
  cfg_text_cap = static_cast<std::int32_t>(cap);
}

// Stores len bytes of s and a NUL in the pool (room reserved by the caller).
std::uint32_t text_put(const char* s, std::size_t len) {
  std::uint32_t off = static_cast<std::uint32_t>(cfg_text_used);
  std::memcpy(cfg_text + off, s, len);
  cfg_text[off + len] = '\0';
  cfg_text_used += static_cast<std::int32_t>(len + 1);
  return off;
}

std::uint32_t text_add(const char* s, std::size_t len) {
  text_reserve(static_cast<std::int64_t>(len) + 1);
  return text_put(s, len);
}

const char* text_at(std::uint32_t off) { return cfg_text + off; }

// Appends a node as the last child of parent. last is the parent's last child
// when the caller knows it (-2: find it; the root's is always known).
std::int32_t node_add(std::uint8_t kind, std::int32_t parent, std::uint32_t name,
                      std::uint32_t value, std::int32_t last = -2) {
  if (cfg_used == cfg_cap) {
    std::int64_t cap = static_cast<std::int64_t>(cfg_used) + kGrow;
    CfgNode* nodes = static_cast<CfgNode*>(take(cap * static_cast<std::int64_t>(sizeof(CfgNode))));
    std::memcpy(nodes, cfg_base, static_cast<std::size_t>(cfg_used) * sizeof(CfgNode));
    _free(cfg_base);
    cfg_base = nodes;
    cfg_cap = static_cast<std::int32_t>(cap);
  }
  if (last == -2 && parent == 0) last = cfg_root_last;
  if (last == -2) {
    last = cfg_base[parent].child;
    while (last >= 0 && cfg_base[last].next >= 0) last = cfg_base[last].next;
  }
  std::int32_t idx = cfg_used++;
  cfg_base[idx] = CfgNode{kind, idx, parent, last, -1, -1, name, value};
  if (last >= 0) {
    cfg_base[last].next = idx;
  } else {
    cfg_base[parent].child = idx;
  }
  if (parent == 0) cfg_root_last = idx;
  if (kind == kSection) cfg_sections.emplace(text_at(name), idx);
  return idx;
}

std::int32_t key_add(std::int32_t section, const char* key, std::size_t key_len, const char* value,
                     std::size_t value_len, std::int32_t last = -2) {
  text_reserve(static_cast<std::int64_t>(key_len) + value_len + 2);
  std::uint32_t k = text_put(key, key_len);
  std::uint32_t v = text_put(value, value_len);
  return node_add(kKey, section, k, v, last);
}

void node_unlink(std::int32_t idx) {
  CfgNode& n = cfg_base[idx];
  if (n.parent == 0 && cfg_root_last == idx) cfg_root_last = n.prev;
  if (n.kind == kSection) {
    auto named = cfg_sections.find(text_at(n.name));
    if (named != cfg_sections.end() && named->second == idx) cfg_sections.erase(named);
  }
  if (n.prev >= 0) {
    cfg_base[n.prev].next = n.next;
  } else {
    cfg_base[n.parent].child = n.next;
  }
  if (n.next >= 0) cfg_base[n.next].prev = n.prev;
  n.prev = n.next = -1;
}

// The child of parent of the given kind and name, or -1.
std::int32_t child_find(std::int32_t parent, std::uint8_t kind, const char* name) {
  for (std::int32_t i = cfg_base[parent].child; i >= 0; i = cfg_base[i].next) {
    if (cfg_base[i].kind == kind && std::strcmp(text_at(cfg_base[i].name), name) == 0) return i;
  }
  return -1;
}

// The section of that name, or -1.
std::int32_t section_find(const char* name) {
  auto named = cfg_sections.find(name);
  return named == cfg_sections.end() ? -1 : named->second;
}

void doc_free() {
  _free(cfg_base);
  _free(cfg_text);
  cfg_base = nullptr;
  cfg_text = nullptr;
  cfg_used = cfg_cap = cfg_text_used = cfg_text_cap = 0;
  cfg_sections.clear();
  cfg_root_last = -1;
}

// A document holding only the root, named by the file name.
void doc_create(const char* fnm) {
  cfg_base = static_cast<CfgNode*>(take(static_cast<std::int64_t>(kGrow) * sizeof(CfgNode)));
  cfg_cap = kGrow;
  cfg_text = static_cast<char*>(take(kGrow));
  cfg_text_cap = kGrow;
  cfg_text_used = 0;
  text_add(kPlaceholder, sizeof kPlaceholder - 1);
  std::uint32_t name = text_add(fnm, std::strlen(fnm));
  cfg_base[0] = CfgNode{kRoot, 0, 0, -1, -1, -1, name, 0};
  cfg_used = 1;
  cfg_sections.clear();
  cfg_root_last = -1;
}

// Empties the document, keeping the root and its name.
void doc_clear() {
  cfg_base[0].child = -1;
  cfg_used = 1;
  cfg_sections.clear();
  cfg_root_last = -1;
}

void doc_render(std::string& out) {
  for (std::int32_t i = cfg_base[0].child; i >= 0; i = cfg_base[i].next) {
    const CfgNode& n = cfg_base[i];
    if (n.kind == kSection) {
      out += '[';
      out += text_at(n.name);
      out += "]\r\n";
      for (std::int32_t j = n.child; j >= 0; j = cfg_base[j].next) {
        const CfgNode& c = cfg_base[j];
        if (c.kind == kKey) {
          out += text_at(c.name);
          out += '=';
          out += text_at(c.value);
        } else {
          out += ';';
          out += text_at(c.name);
        }
        out += "\r\n";
      }
    } else {
      out += ';';
      out += text_at(n.name);
      out += "\r\n";
    }
  }
}

bool empty(const char* s) { return s == nullptr || s[0] == '\0'; }

}  // namespace

void _config_open(const char* fnm) {
  zr::copy(zrwork->rtn_nm, "_config_open");
  if (!fnm) fnm = "";
  // A document left open is released rather than leaked.
  if (cfg_base) doc_free();
  doc_create(fnm);
  cfg_dirty = 0;

  std::FILE* fp = _fopen_ext(fnm, "rb");
  if (!fp) return;

  std::int32_t section = 0;        // node that takes comments
  bool section_open = false;       // key lines are kept only in a fresh section
  std::int32_t section_last = -1;  // last child of the current section node
  std::unordered_set<std::string> keys;

  char line[kOpenLineCap];
  bool cut = false;
  while (zr_fread_txt_cut(line, kOpenLineCap, fp, &cut) > 0) {
    std::size_t len = std::strlen(line);
    if (cut) {
      _dbg_print("_config_open line longer than %d bytes, cut fnm:%s", kOpenLineCap - 1, fnm);
    }
    if (line[0] == ';') {
      std::int32_t node = node_add(kComment, section, text_add(line + 1, len - 1), 0,
                                   section == 0 ? -2 : section_last);
      if (section != 0) section_last = node;
    } else if (line[0] == '[') {
      std::string name(line + 1, len >= 2 ? len - 2 : 0);
      if (name.empty() || cfg_sections.count(name)) {
        section_open = false;
        continue;
      }
      section = node_add(kSection, 0, text_add(name.data(), name.size()), 0);
      section_last = -1;
      section_open = true;
      keys.clear();
    } else if (const char* eq = static_cast<const char*>(std::memchr(line, '=', len))) {
      if (!section_open) continue;
      std::size_t key_len = static_cast<std::size_t>(eq - line);
      if (!keys.emplace(line, key_len).second) continue;
      section_last = key_add(section, line, key_len, eq + 1, len - key_len - 1, section_last);
    }
  }
  _fclose(fp);
}

void _config_write(const char* section, const char* key, const char* value) {
  if (!cfg_base) logic_error("_config_write  cfg_base is null");
  if (!section) {
    doc_clear();
    cfg_dirty = 1;
    return;
  }
  std::int32_t sec = section[0] ? section_find(section) : -1;
  if (!key) {
    if (sec < 0) return;
    node_unlink(sec);
    cfg_dirty = 1;
    return;
  }
  if (!value) {
    if (sec < 0) return;
    std::int32_t k = child_find(sec, kKey, key);
    if (k < 0) return;
    node_unlink(k);
    if (cfg_base[sec].child < 0) node_unlink(sec);
    cfg_dirty = 1;
    return;
  }
  if (empty(section) || empty(key) || empty(value)) return;
  if (sec < 0) sec = node_add(kSection, 0, text_add(section, std::strlen(section)), 0);
  std::int32_t k = child_find(sec, kKey, key);
  if (k < 0) {
    key_add(sec, key, std::strlen(key), value, std::strlen(value));
  } else {
    cfg_base[k].value = text_add(value, std::strlen(value));
  }
  cfg_dirty = 1;
}

void _config_write_int(const char* section, const char* key, int value) {
  if (empty(section) || empty(key)) return;
  char text[16];
  ZR_FMT(text, "%d", value);
  _config_write(section, key, text);
}

void _config_close() {
  if (!cfg_base) logic_error("_config_close  cfg_base is null");
  zr::copy(zrwork->rtn_nm, "_config_close");
  if (cfg_dirty) {
    std::string fnm = text_at(cfg_base[0].name);
    _copy(fnm.c_str(), (fnm + ".OLD").c_str());  // a missing file is not copied
    std::string body;
    doc_render(body);
    bool written = false;
    for (int attempt = 0; attempt < 3 && !written; ++attempt) {
      if (attempt > 0) plat::sleep_ms(500);
      written = zr_replace_file(fnm.c_str(), body.data(), body.size()) == 0;
    }
    if (!written) _dbg_print("_config_close  changes not written fnm:%s", fnm.c_str());
  }
  doc_free();
  cfg_dirty = 0;
}

int zr_decimal(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  std::int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (v <= static_cast<std::int64_t>(INT32_MAX) + 1) v = v * 10 + (*p - '0');
  }
  if (negative) v = -v;
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int>(v);
}

namespace {

// Whether the line is the header "[section]".
bool is_header(const char* line, std::size_t len, const char* section, std::size_t sec_len) {
  return len == sec_len + 2 && line[0] == '[' && line[len - 1] == ']' &&
         std::memcmp(line + 1, section, sec_len) == 0;
}

// Looks key up in the lines after a section's header, up to the next line that
// starts with "[", and copies its value into out. next(line, len) gives the next
// line (false at the end of the file).
template <class Next>
int key_in_section(Next&& next, const char* fnm, const char* section, const char* key, char* out,
                   std::size_t cap) {
  std::size_t key_len = std::strlen(key);
  const char* line = nullptr;
  std::size_t len = 0;
  while (next(line, len)) {
    if (line[0] == '[') break;
    if (len > key_len && line[key_len] == '=' && std::memcmp(line, key, key_len) == 0) {
      if (out && !zr::copy(out, cap, line + key_len + 1)) {
        _dbg_print("_config_read value cut to %d bytes fnm:%s [%s] %s", static_cast<int>(cap - 1),
                   fnm, section, key);
      }
      return 0;
    }
  }
  return -1;
}

void trace_cut(bool cut, const char* fnm) {
  if (cut) _dbg_print("_config_read line longer than %d bytes, cut fnm:%s", kReadLineCap - 1, fnm);
}

}  // namespace

int zr_config_read(const char* fnm, const char* section, const char* key, char* out,
                   std::size_t cap) {
  if (out && cap) out[0] = '\0';
  if (empty(section) || empty(key) || !fnm) return -1;
  zr::copy(zrwork->rtn_nm, "_config_read");
  std::FILE* fp = _fopen_ext(fnm, "rb");
  if (!fp) return -1;

  char buf[kReadLineCap];
  auto next = [&](const char*& line, std::size_t& len) {
    bool cut = false;
    if (zr_fread_txt_cut(buf, kReadLineCap, fp, &cut) <= 0) return false;
    trace_cut(cut, fnm);
    line = buf;
    len = std::strlen(buf);
    return true;
  };
  std::size_t sec_len = std::strlen(section);
  const char* line = nullptr;
  std::size_t len = 0;
  int rc = -1;
  while (next(line, len)) {
    if (is_header(line, len, section, sec_len)) {
      rc = key_in_section(next, fnm, section, key, out, cap);
      break;
    }
  }
  _fclose(fp);
  return rc;
}

ZrIniFile::ZrIniFile(const char* fnm) : fnm_(fnm ? fnm : "") {
  if (!fnm) return;
  zr::copy(zrwork->rtn_nm, "_config_read");
  std::FILE* fp = _fopen_ext(fnm, "rb");
  if (!fp) return;
  // The file is closed however the reading ends (a full memory included).
  struct Closer {
    std::FILE* fp;
    ~Closer() { _fclose(fp); }
  } closer{fp};
  char buf[kReadLineCap];
  bool cut = false;
  while (zr_fread_txt_cut(buf, kReadLineCap, fp, &cut) > 0) {
    trace_cut(cut, fnm);
    std::size_t len = std::strlen(buf);
    line_.push_back({text_.size(), len});
    text_.append(buf, len + 1);
  }
  // The first header of each name is the one the reads find.
  for (std::size_t i = 0; i < line_.size(); ++i) {
    const char* line = text_.data() + line_[i].offset;
    std::size_t len = line_[i].len;
    if (len >= 2 && line[0] == '[' && line[len - 1] == ']') {
      section_.emplace(std::string_view(line + 1, len - 2), i);
    }
  }
}

int ZrIniFile::read(const char* section, const char* key, char* out, std::size_t cap) const {
  if (out && cap) out[0] = '\0';
  if (empty(section) || empty(key)) return -1;
  auto header = section_.find(std::string_view(section));
  if (header == section_.end()) return -1;
  std::size_t i = header->second + 1;
  auto next = [&](const char*& line, std::size_t& len) {
    if (i >= line_.size()) return false;
    line = text_.data() + line_[i].offset;
    len = line_[i].len;
    ++i;
    return true;
  };
  return key_in_section(next, fnm_.c_str(), section, key, out, cap);
}

int ZrIniFile::read_int(const char* section, const char* key, int def) const {
  char value[kConfigValueMax];
  if (read(section, key, value, sizeof value) != 0) return def;
  return zr_decimal(value);
}

int _config_read(const char* fnm, const char* section, const char* key, char* out) {
  return zr_config_read(fnm, section, key, out, kConfigValueMax);
}

int _config_read_int(const char* fnm, const char* section, const char* key, int def) {
  char value[kConfigValueMax];
  if (zr_config_read(fnm, section, key, value, sizeof value) != 0) return def;
  return zr_decimal(value);
}
