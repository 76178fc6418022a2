// The parsers of outside text: CSV fields, quoting, addresses and paths in
// text, and attributes of markup tags.
#include "text/scan.h"

#include <cstring>

#include "platform/sjis_byte.h"

namespace {

using uchar = unsigned char;

const uchar* U(const char* p) { return reinterpret_cast<const uchar*>(p); }

// Bytes of the character at p: 2 for a lead byte with a trail byte, else 1.
int char_len(const uchar* p) { return (zr::sjis_lead(p[0]) && p[1] != 0) ? 2 : 1; }
// The same within the first `end` bytes of a text.
int char_len(const uchar* p, const uchar* end) {
  return (zr::sjis_lead(p[0]) && p + 1 < end) ? 2 : 1;
}

bool crlf(const char* p) { return p[0] == '\r' && p[1] == '\n'; }

// The end of a quoted field that starts at p (on its opening quote): the
// closing quote, or null when there is none.
const char* quoted_end(const char* p) {
  for (const char* q = p + 1; *q; q += char_len(U(q))) {
    if (*q == '"' && (q[1] == ',' || q[1] == '\0' || crlf(q + 1))) return q;
  }
  return nullptr;
}

bool url_char(uchar c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return c != 0 && std::strchr("!#$%&'()*+,-./:;=?@[]_~", c) != nullptr;
}
bool path_char(uchar c) { return c > 25 && !std::strchr("\"*<>?|", c); }

bool starts_ci(const uchar* p, const uchar* end, const char* word) {
  for (; *word; ++p, ++word) {
    if (p >= end) return false;
    uchar c = *p;
    if (c >= 'A' && c <= 'Z') c = uchar(c + 0x20);
    if (c != uchar(*word)) return false;
  }
  return true;
}

// The length of the address or path at p, or 0 when none starts there.
int match_at(const uchar* p, const uchar* end) {
  int scheme = starts_ci(p, end, "https://") ? 8 : starts_ci(p, end, "http://") ? 7 : 0;
  if (scheme) {
    const uchar* q = p + scheme;
    while (q < end && url_char(*q)) ++q;
    return q > p + scheme ? int(q - p) : 0;
  }
  if (end - p >= 2 && p[0] == '\\' && p[1] == '\\') {
    const uchar* q = p + 2;
    while (q < end && path_char(*q)) q += char_len(q, end);
    return q > p + 2 ? int(q - p) : 0;
  }
  return 0;
}

bool blank(char c) { return c == ' '; }

}  // namespace

namespace zr {

int csv_split(char* buf, char** fields, int most) {
  int count = 1;
  for (const char* p = buf; *p; p += char_len(U(p)))
    if (*p == ',') ++count;
  if (count > most) return -1;
  int k = 0;
  fields[k++] = buf;
  for (char* p = buf; *p;) {
    const int n = char_len(U(p));
    if (*p == ',') {
      *p = '\0';
      fields[k++] = p + 1;
    }
    p += n;
  }
  return count;
}

std::size_t csv_quote_cap(const char* src) {
  // Every field may gain two quotes; a field ends at a comma, a CR LF or the end.
  std::size_t cap = 3;
  for (const char* p = src; *p; ++p) cap += (*p == ',' || *p == '\n') ? 3 : 1;
  return cap;
}

int csv_quote(const char* src, char* dst) {
  const char* p = src;
  char* o = dst;
  bool field_due = *p != '\0';  // an empty text holds no field
  while (field_due) {
    if (*p == '"') {
      const char* close = quoted_end(p);
      if (!close) {
        *dst = '\0';
        return -1;
      }
      const std::size_t n = std::size_t(close - p) + 1;
      std::memcpy(o, p, n);
      o += n;
      p = close + 1;
    } else {
      *o++ = '"';
      while (*p && *p != ',' && !crlf(p)) {
        const int n = char_len(U(p));
        std::memcpy(o, p, std::size_t(n));
        o += n;
        p += n;
      }
      *o++ = '"';
    }
    // The separator after the field: a comma starts another field; a CR LF
    // starts one only when more text follows.
    field_due = false;
    if (*p == ',') {
      *o++ = *p++;
      field_due = true;
    } else if (crlf(p)) {
      *o++ = *p++;
      *o++ = *p++;
      field_due = *p != '\0';
    }
  }
  *o = '\0';
  return int(o - dst);
}

int url_scan(const char* text, int length, int* starts, int* lengths, int most) {
  if (!text || length <= 0) return 0;
  const uchar* base = U(text);
  const uchar* end = base + length;
  int found = 0;
  for (const uchar* p = base; p < end;) {
    const int n = match_at(p, end);
    if (n == 0) {
      p += char_len(p, end);
      continue;
    }
    if (found < most && starts && lengths) {
      starts[found] = int(p - base);
      lengths[found] = n;
    }
    ++found;
    p += n;
  }
  return found;
}

int attr_value(const char* tag, const char* name, char* out, std::size_t cap) {
  if (cap) out[0] = '\0';
  if (!tag || tag[0] != '<' || !name || !*name || cap == 0) return 0;
  const std::size_t name_len = std::strlen(name);
  char quote = 0;
  for (const char* p = tag + 1; *p; p += char_len(U(p))) {
    if (quote) {
      if (*p == quote) quote = 0;
      continue;
    }
    if (*p == '>') return 0;
    if (*p == '"' || *p == '\'') {
      quote = *p;
      continue;
    }
    if (!blank(*p) || std::strncmp(p + 1, name, name_len) != 0) continue;
    // The whole name only: "id" is not found in "idx".
    const char* q = p + 1 + name_len;
    if (*q && !blank(*q) && *q != '=' && *q != '>') continue;
    while (blank(*q) || *q == '=') ++q;
    const char* v = q;
    const char* v_end;
    if (*v == '"' || *v == '\'') {
      const char open = *v++;
      v_end = v;
      while (*v_end && *v_end != open) v_end += char_len(U(v_end));
    } else {
      v_end = v;
      while (*v_end && !blank(*v_end) && *v_end != '>') v_end += char_len(U(v_end));
    }
    std::size_t n = std::size_t(v_end - v);
    if (n >= cap) n = cap - 1;
    std::memcpy(out, v, n);
    out[n] = '\0';
    return int(n);
  }
  return 0;
}

}  // namespace zr
