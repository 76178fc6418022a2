// The parsers of outside text behind the CSV, markup and address operations:
// plain functions over caller buffers that need none of the common areas (the
// fuzz target builds them alone). All of them walk by Shift-JIS characters: a
// trail byte is never taken for a separator, a quote or a backslash.
#pragma once

#include <cstddef>

namespace zr {

// Splits the NUL-terminated text in buf in place: every comma that is a
// character of its own becomes a NUL and fields[k] points at field k. Quotes
// have no meaning. Returns the number of fields (one more than the commas), or
// -1 when there would be more than most (nothing is changed then).
int csv_split(char* buf, char** fields, int most);

// Writes src with every field between double quotes: an unquoted field (up to
// "," or CR LF) gets its quotes, a quoted one is copied as it is, ending at a
// double quote that is followed by ",", CR LF or the end. Separators are
// copied. Returns the length written (dst NUL-terminated), or -1 when a quoted
// field never closes. dst needs csv_quote_cap(src) bytes.
int csv_quote(const char* src, char* dst);
std::size_t csv_quote_cap(const char* src);

// Finds the web addresses ("http://", "https://") and network paths ("\\\\")
// in the first length bytes of text. Records the start offset and the length
// of the first most of them and returns how many there are in all.
int url_scan(const char* text, int length, int* starts, int* lengths, int most);

// The value of attribute name in the markup tag (which must start with "<"),
// copied into out (cap bytes, cut to fit). Returns its length, or 0 with an
// empty out when the tag has no such attribute.
int attr_value(const char* tag, const char* name, char* out, std::size_t cap);

}  // namespace zr
