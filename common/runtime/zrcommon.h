// The chief header of the runtime: the common areas and every exported function
// of the runtime. The other layers declare their own families in their own
// headers; zrlib.h (the library's root) gathers them all for the programs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "runtime/areas.h"

#define ZR_PRINTF(f, a) __attribute__((format(printf, f, a)))

// ---- trace and error logs -----------------------------------------------------

ZR_API void _dbg_print(const char* fmt, ...) ZR_PRINTF(1, 2);
ZR_API void _err_print(const char* fmt, ...) ZR_PRINTF(1, 2);
ZR_API void _mes_print(const char* fmt, ...) ZR_PRINTF(1, 2);

// ---- tracked memory ------------------------------------------------------------

ZR_API void* _malloc(std::int32_t size);
ZR_API void _free(void* block);
ZR_API void _malloc_disp(const char* caption);

// ---- file table ----------------------------------------------------------------

// I/O kinds of the failure report.
enum ZR_IO_KIND {
  ZR_IO_FOPEN = 0,
  ZR_IO_FCLOSE,
  ZR_IO_FREAD,
  ZR_IO_FWRITE,
  ZR_IO_FSEEK,
  ZR_IO_FTELL,
  ZR_IO_UNLINK,
  ZR_IO_RENAME
};

ZR_API std::FILE* _fopen(const char* name, const char* mode);
ZR_API std::FILE* _fopen_ext(const char* name, const char* mode);
ZR_API int _fclose(std::FILE* fp);
ZR_API std::size_t _fread(void* buf, std::size_t size, std::size_t count, std::FILE* fp);
ZR_API int fread_txt(char* buf, int cap, std::FILE* fp);
// fread_txt for files that hold text from outside (the server's results and
// calendar): a line that does not fit is cut to cap - 1 bytes on a character
// boundary and the rest of it is skipped; *cut tells the caller to trace it.
int zr_fread_txt_cut(char* buf, int cap, std::FILE* fp, bool* cut);
ZR_API int _fwrite(const void* buf, std::size_t size, std::size_t count, std::FILE* fp);
ZR_API int _fseek(std::FILE* fp, long offset, int origin);
ZR_API long _ftell(std::FILE* fp);
ZR_API long _fsize(std::FILE* fp);
ZR_API void _fclose_all();
ZR_API void _fopen_disp();
ZR_API void _fnm_split(const char* path, char* drive, char* dir, char* base, char* ext);
ZR_API int _mkdir_all(const char* path);
ZR_API int _fdelete(const char* pattern);
ZR_API int _ftime_get(const char* name, std::int32_t* date, std::int32_t* time);
ZR_API int _ftime_set(const char* name, std::int32_t date, std::int32_t time);
ZR_API int _exe_time_get(const char* name, std::int32_t* date, std::int32_t* time);
ZR_API int _copy(const char* src, const char* dst);
ZR_API int _file_copy(const char* src, const char* dst, int chunk);
ZR_API long _fcopy(const char* src, const char* dst);
ZR_API int _file_copy_ext(const char* src, const char* dst);
ZR_API int _xcopy(const char* src, const char* dst, int type);
// The I/O failure report: shows the fixed report and ends the process.
ZR_API [[noreturn]] void _io_error(std::FILE* fp, int kind, const char* mode);

// Writes a whole file through a temporary file in the same folder and renames it
// over the target only after a complete write, so a crash or a full disk leaves
// the previous file intact. The temporary file has a name of its own, created
// exclusively, so concurrent writers never share one and a planted link is not
// followed. owner_only (the credential files UID_QRT.FIL and PROXY.FIL) lets
// only the owner read and write the file. Returns 0, or -1 when the file could
// not be written (the target is then unchanged).
int zr_replace_file(const char* name, const void* data, std::size_t len, bool owner_only = false);
// Moves a complete temporary file over name (trying a while when the target is
// held open for a moment); the temporary file is removed when that fails.
// 0, or -1.
int zr_replace_with(const char* tmp, const char* name);
// Copies the file src over dst the same way: into a new file beside dst,
// flushed, then moved over it, so dst is always either the old file or a whole
// copy (the program update swaps an executable with it). 0, or -1 with dst
// unchanged.
int zr_copy_replace(const char* src, const char* dst);

// ---- named shared memory and single instance ------------------------------------

ZR_API void* _shm_create(const char* name, int size);
ZR_API void* _shm_open(const char* name);
ZR_API void _shm_close(void* view);
ZR_API void* _shm_create_ins(const char* word, int size);
ZR_API void* _shm_open_ins(const char* word);
ZR_API int _single_ins(const char* word, int on);
// Writes the instance name of a word ("%s_%s" of the current directory and the
// word, single-byte letters upper-cased, backslashes turned into "_").
void zr_instance_name(const char* word, char* out, std::size_t cap);

// ---- messages, message boxes and progress windows -----------------------------------

ZR_API int zwcode_msg_get(int number, char* out);
ZR_API void _err_mes(int number, const char* comment);
ZR_API int _mes_box(const char* text, int style);
ZR_API int _mes_num(int number, int style);
ZR_API int _mes_prog(int slot, const char* text, int cancel);

// The one place every message box of the library passes through. Tests replace
// it to record the text and choose the button; the default shows a real box.
typedef int (*ZR_MESSAGE_BOX_FN)(const char* text, const char* title, unsigned style);
ZR_MESSAGE_BOX_FN zr_message_box_handler(ZR_MESSAGE_BOX_FN fn);
// The title of every message box (the program's name).
void zr_app_title_set(const char* title);

// Enters and leaves one of the critical sections cs_1 to cs_4 of zrenv.
void zr_cs_enter(void* cs);
void zr_cs_leave(void* cs);

// Puts the kind codes kd_1 to kd_5 (22, 22, 51, 51, 11) into zrwork.
void zr_kind_codes_set();
// Sets the Japanese locale and the time zone JST-9 for every local-time
// conversion of the process, whatever the machine's zone.
void zr_japan_time_set();

// Ends the process with exit code 0: the end of every unrecoverable failure.
[[noreturn]] void zr_exit();

// ---- platform probe ----------------------------------------------------------------

ZR_API void _os_name_get(int code, char* out);
// The operating-system code of the probe table for a version record.
int zr_os_code(bool known, unsigned major, unsigned minor, unsigned build, bool workstation,
               bool nt_platform);

// ---- exported no-ops ------------------------------------------------------------------

ZR_API void _zrcmna_init();
ZR_API void _kpcmna_init();
ZR_API void _mpcmna_init();
ZR_API void _tmcmna_init();
ZR_API void _upcmna_init();
ZR_API void _wpcmna_init();
ZR_API void _zrkcnst_make();
ZR_API void _cache2_buf_get();
ZR_API void _cache2_buf_get_init();
ZR_API void _cache2_buf_set();
ZR_API void _cache2_buf_set_init();
ZR_API void _cache2_write();
ZR_API int _cache2_read();

#include "runtime/fields.h"

#include "runtime/desktop.h"
#include "runtime/ini.h"
