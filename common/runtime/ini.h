// The INI engine: key-by-key reads straight from an INI text file, and an
// in-memory document (one per process) that loads a whole file, is changed key by
// key and is written back as a whole, with the previous contents kept beside it
// as "<name>.OLD".
//
// Format: Shift-JIS lines ending in CR LF. "[name]" opens a section (the name is
// the line after "[" without its last byte), ";text" is a comment, any other line
// with "=" is key=value split at the first "=". Nothing is trimmed and names are
// compared byte for byte. Other lines are not kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "runtime/areas.h"

// Loads the file into a new document (empty when the file does not exist).
ZR_API void _config_open(const char* fnm);
// Changes the open document:
//   section null       -> clears the document,
//   key null           -> deletes the section with its keys and comments,
//   value null         -> deletes the key (and its section when left empty),
//   otherwise          -> sets section/key to value, adding what is missing;
//                         an empty section, key or value changes nothing.
// Without an open document the process ends (logic error 990).
ZR_API void _config_write(const char* section, const char* key, const char* value);
// _config_write of the number as "%d"; nothing when section or key is null or empty.
ZR_API void _config_write_int(const char* section, const char* key, int value);
// Writes the document back when it was changed (after copying the file to
// "<name>.OLD"), then frees it. The file is replaced as a whole: an interrupted
// or failed write leaves the previous file in place. When the file cannot be
// written after three attempts 500 ms apart the changes are dropped.
ZR_API void _config_close();
// Reads one value straight from the file into out, which must hold
// kConfigValueMax bytes. 0, or -1 with out empty when the section, the key or
// the file is missing. A line longer than 599 bytes (499 for _config_open) is
// cut to that length with a trace line: a file that holds the server's text
// never stops the program.
ZR_API int _config_read(const char* fnm, const char* section, const char* key, char* out);
// The value read with _config_read as a decimal number (leading blanks, an
// optional sign, the leading digits; no digits read as 0), or def when missing.
ZR_API int _config_read_int(const char* fnm, const char* section, const char* key, int def);

// The largest value _config_read can deliver, with its terminating NUL.
constexpr std::size_t kConfigValueMax = 600;

// _config_read into a buffer of capacity cap: a longer value is cut to fit and
// the cut is traced. Same results as _config_read.
int zr_config_read(const char* fnm, const char* section, const char* key, char* out,
                   std::size_t cap);
// The runtime's decimal conversion of a text (as _config_read_int uses it); values
// beyond the 32-bit range saturate.
int zr_decimal(const char* text);

// A text file read once for many key-by-key reads: each read gives what
// zr_config_read gives for the file as it was when it was read, without opening
// and scanning it again (a result file is read with three keys for each of up
// to 1,000 requests). The whole file is read and held at once, with the direct
// read's error handling. A missing file reads as empty; over-long lines are cut
// and traced once, when the file is read.
class ZrIniFile {
 public:
  explicit ZrIniFile(const char* fnm);
  ZrIniFile(const ZrIniFile&) = delete;  // the index points into text_
  ZrIniFile& operator=(const ZrIniFile&) = delete;
  // zr_config_read's results for this file.
  int read(const char* section, const char* key, char* out, std::size_t cap) const;
  template <std::size_t N>
  int read(const char* section, const char* key, char (&out)[N]) const {
    return read(section, key, out, N);
  }
  // _config_read_int's results for this file.
  int read_int(const char* section, const char* key, int def) const;

 private:
  struct Line {
    std::size_t offset;  // in text_
    std::size_t len;
  };
  std::string fnm_;
  std::string text_;  // the lines, each followed by a NUL
  std::vector<Line> line_;
  std::unordered_map<std::string_view, std::size_t> section_;  // name -> its first header
};
