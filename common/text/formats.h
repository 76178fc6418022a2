// Numbers, encodings, CSV, addresses in text, download file names, the job
// names, the series numbers by date, the spreadsheet program and the gaiji
// fonts. Texts are NUL-terminated Shift-JIS; targets are the caller's buffers
// and must be large enough for the result described.
#pragma once

#include <cstdint>

#include "runtime/areas.h"

// ---- numbers ------------------------------------------------------------------------

// Writes a number with "," between groups of three digits; a negative number
// gives 0 and an empty output. Returns the length.
ZR_API int _comma_set(std::int32_t number, char* output);
// The same for a floating number rounded to an integer; a negative number or
// one of more than 27 digits ends the process. Returns the length.
ZR_API int _comma_set_ext(double number, char* output);

// ---- encodings ------------------------------------------------------------------------

// Each byte as two upper-case hexadecimal digits (no NUL added); 2 * length.
ZR_API int _conv_bin_b2h(const void* source, int length, char* target);
// Each pair of hexadecimal digits (0-9, A-F) of the first length characters as
// one byte, up to the first pair that is not; the number of bytes.
ZR_API int _conv_bin_h2b(const char* source, int length, void* target);
// Percent-encoding for addresses: both bytes of a two-byte character as "%XX",
// a space as "%20", every other byte as it is. Returns the length.
ZR_API int _conv_kanji_c2h(const char* source, char* target);
// The reverse: "%" and two upper-case hexadecimal digits become one byte.
ZR_API int _conv_kanji_h2c(const char* source, char* target);

// ---- CSV (fields separated by ",", records ended by CR LF) ------------------------------

// Splits a line into csv_buf of zr00 and points csv_fld at its fields; the
// number of fields. A line longer than 9,999 bytes or of more than 100 fields
// is refused with a trace line: -1, no fields.
ZR_API int _csvdata_sep(const char* line);
// Traces the fields of the last split.
ZR_API void _csvdata_disp();
// A lone LF becomes CR LF. Returns the length.
ZR_API int _csv_conv_crlf(const char* source, char* target);
// Removes every LF that does not follow a CR, in place. Returns the length.
ZR_API int _csv_cut_crlf(char* text);
// Puts every field between double quotes (see zr::csv_quote); -1 when a quoted
// field never closes.
ZR_API int _csv_conv_wq(const char* source, char* target);
// Converts a CSV file: line ends to CR LF, a final CR LF, every field quoted.
// 0, or -1 when the source is missing or empty, a quoted field never closes or
// the target cannot be written (it is then left as it was).
ZR_API int _csv_conv_fil(const char* source_file, const char* target_file);

// ---- text scanning ---------------------------------------------------------------------

// The value of an attribute of a markup tag; its length, or 0 (empty output).
ZR_API int _attr_get(const char* tag, const char* name, char* output);
// The number of web addresses and network paths in the first length bytes.
ZR_API int _url_pos_cnt(const char* text, int length);
// Records the start and length of the first `most` of them; how many it recorded.
ZR_API int _url_pos_set(const char* text, int length, int* starts, int* lengths, int most);

// ---- download file names -------------------------------------------------------------------

// 102 for an empty path or one starting with a space; 1 (after a message) for a
// character a file name cannot hold or a folder that cannot be written; else 0.
ZR_API int _dwnfnm_chk1(const char* path);
// Asks and tests before a download is written to path; 0 when it may be.
ZR_API int _dwnfnm_chk2(const char* path, int mode);
// The same tests without messages.
ZR_API int _dwnfnm_chk2_ex(const char* path);
// 1 when a file can be written in the folder, else 0.
ZR_API int _getdirectory_type1(const char* folder);

// ---- tables and series -------------------------------------------------------------------

// The job's name (at most 31 bytes), "*********" for a number not in the table.
ZR_API void _jid_nm_get(std::int32_t job, char* output);
// The code of the country whose two letters start text, or 0xFFFF.
ZR_API std::uint16_t _ctcd_get(const char* text);
// The series number of a date, or -1.
ZR_API int _usan_sno_get(std::int32_t date);
// Series * 1,000,000 + number for a number given with its date, or -1.
ZR_API int _usan_ans_get(std::int32_t date, std::int32_t number);

// ---- the spreadsheet program ----------------------------------------------------------------

// The version of the registered spreadsheet program (the last two digits of
// its current version name), or -1.
ZR_API int _xls_version_get();
// The program file of the spreadsheet program, or an empty output.
ZR_API void _xls_pass_get(char* output);
// Gives a file name the spreadsheet extension of the version (".XLS" below 12,
// else ".XLSX") in place of ".XLS", ".XLSX" or ".CSV"; -1 for an empty name.
ZR_API int _xls_ext_chg(char* name, int version);
// Puts the folder before a file name that has none. A result longer than 259
// bytes leaves the name as it was.
ZR_API void _xls_pas_chg(const char* folder, char* name);

// ---- gaiji fonts -----------------------------------------------------------------------

// Loads GAIINDEX.GAI, FONT24.GAI and FONT32.GAI of the install folder once.
ZR_API void _gaiji_ptr_set();
