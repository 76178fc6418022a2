// The operating-system surface of the library. Everything the portable core asks
// of the OS goes through these functions; they are implemented once for Windows
// (win32/) and once for the native Linux build (posix/). Only the files of this
// folder include operating-system headers.
//
// Paths are Shift-JIS byte strings written the Windows way ("C:\\DIR\\FILE");
// the native build turns the backslashes into slashes where it touches the file
// system, so the core composes every path in one form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace plat {

// ---- process and environment -------------------------------------------------

// Writes the current directory into buf (NUL-terminated). False when it does not
// fit or cannot be read; buf is then empty.
bool current_dir(char* buf, std::size_t cap);
bool set_current_dir(const char* dir);
bool set_env(const char* name, const char* value);
// Sets the process locale to Japanese and makes TZ (already set) take effect.
void set_japanese_locale();
void tz_reset();
void sleep_ms(std::uint32_t ms);
// Ends the process at once with the exit code: no destructors, no atexit work.
[[noreturn]] void exit_process(int code);
// The operating system's last error code (GetLastError, errno natively).
std::uint32_t last_error();
// Writes the computer name (at most cap - 1 bytes) into buf; its length, or -1.
int computer_name(char* buf, std::size_t cap);
// Looks a program file up in the system's executable search order (the
// program's own folder first) and writes its full path; false when not found or
// when the path does not fit.
bool search_exe(const char* file_name, char* out, std::size_t cap);
// Initialises the OLE/COM libraries for this thread.
bool ole_init();
// Starts a program as a new process: no command line, no inherited handles,
// this process's environment and current directory, a normal window. The
// caller neither waits for it nor keeps a handle. 0, or the system's error code.
std::uint32_t start_process(const char* path);

// ---- platform probe ----------------------------------------------------------

struct OsVersion {
  bool known = false;  // false when neither version call answered
  std::uint32_t major = 0, minor = 0, build = 0;
  bool workstation = true;  // product type: workstation or server
  bool nt_platform = true;  // NT family (false: Windows 9x)
};
OsVersion os_version();
// True when the process is a 32-bit process on 64-bit Windows.
bool is_wow64();
// Reads the version value "pv" of the WebView2 runtime's client key, first under
// HKEY_LOCAL_MACHINE (the WOW6432Node branch when wow64), then HKEY_CURRENT_USER.
// Writes the first non-empty value found into out; empty when none.
void webview2_version(bool wow64, char* out, std::size_t cap);

struct MemoryStatus {
  std::uint32_t load = 0;  // percent
  std::uint64_t total_phys = 0, avail_phys = 0, total_page = 0, avail_page = 0;
  std::uint64_t total_virtual = 0, avail_virtual = 0;
};
MemoryStatus memory_status();

// ---- files ------------------------------------------------------------------

// fopen with the path translated for the platform.
std::FILE* open_stream(const char* path, const char* mode);
bool path_exists(const char* path);
bool is_directory(const char* path);
// 0 when the folder was created, else the OS error code.
int make_dir(const char* path);
// 0 when the file was deleted, else the OS error code.
int remove_file(const char* path);

struct DirEntry {
  std::string name;  // name without folder
  bool is_dir = false;
};
// Lists the entries matching a wildcard pattern ("C:\\DIR\\*.FIL"); "*" and "?"
// in the last component only. Includes "." and ".." where the OS reports them.
std::vector<DirEntry> find_files(const char* pattern);

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// Last-write time as local time; false when the file cannot be opened.
bool last_write_get(const char* path, LocalTime& out);
// Sets the last-write time (local time), keeping creation and access times.
bool last_write_set(const char* path, const LocalTime& t);
// Puts the creation, access and last-write times of src on dst.
bool copy_file_times(const char* src, const char* dst);
// Converts seconds since 1970 (UTC) to local time.
LocalTime local_time_of(std::int64_t unix_seconds);
LocalTime now_local();
// The OS's own file copy, overwriting the target. True on success.
bool os_copy_file(const char* src, const char* dst);
// Moves src over dst in one step (dst may exist); true on success.
bool replace_file(const char* src, const char* dst);
// Writes data to a new file in the folder of target, under a name no file had
// (created exclusively, so an existing file or link of that name is never
// opened or followed), flushes it to the disk and closes it; *tmp_name is its
// name. With owner_only only the file's owner may read or write it (mode 0600;
// on Windows an access list that names the current user alone). False when it
// cannot be created or completely written; nothing is left behind then.
bool write_temp_beside(const char* target, const void* data, std::size_t len, bool owner_only,
                       std::string* tmp_name);
// The same in steps, for data that arrive in pieces: a new file beside target
// (null when it cannot be created), pieces appended (the system is asked to
// start writing each to the disk at once, so that the final flush waits less),
// and the end: flushed and closed (true), or closed and deleted (false, also
// when the flush fails). temp_discard closes and deletes it.
struct TempFile;
TempFile* temp_create_beside(const char* target, bool owner_only, std::string* tmp_name);
bool temp_write(TempFile* f, const void* data, std::size_t len);
bool temp_finish(TempFile* f);
void temp_discard(TempFile* f);
// Test hook of the crash-safety tests: from now on the process ends (exit
// status kWriteFaultExit) once `bytes` more bytes have gone through temp_write,
// as a crash or power cut would end it in the middle of a write; a file whose
// pieces are all written ends it at temp_finish, before the file is flushed
// and put in place. Negative: off. Natively only; a no-op on Windows.
constexpr int kWriteFaultExit = 86;
void write_fault_set(long long bytes);
// Flushes a stream's buffers to the disk; false when that fails.
bool commit_stream(std::FILE* fp);
// Clears a read-only attribute of an existing file (no-op when not read-only).
void make_writable(const char* path);

// ---- named shared memory -----------------------------------------------------

// Creates (or opens an existing) named block of the given size; an opaque handle
// or null. The block lives while some process holds a handle or a view.
void* shm_create(const char* name, std::size_t size);
void shm_release_handle(void* handle);
// A read/write view of an existing block, or null when no such block exists.
void* shm_open(const char* name);
void shm_close(void* view);

// ---- windows: message boxes and progress windows -------------------------------

// Button codes of message boxes, as Windows numbers them.
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };
// Message-box styles used by the library.
enum : unsigned { kMbOk = 0x0, kMbYesNo = 0x4, kMbSystemModal = 0x1000 };

// Shows a message box and returns the pressed button. Natively there is no
// window: the text goes to stderr and the answer is the first button (OK or
// Yes), or the number in the environment variable QRT_MESSAGEBOX_ANSWER.
int message_box(const char* text, const char* title, unsigned style);

// A modeless progress window (a static text and an optional 中止 button).
struct Progress;
Progress* progress_create(int slot);
void progress_destroy(Progress* p);
// Processes the waiting window messages of this thread.
void pump_messages();
// Shows text (lines separated by LF) in the window; relayout only when the
// longest line's length or the line count changed since the last call.
void progress_show(Progress* p, const char* text, bool cancel_button);
// True once the user pressed 中止 in this window.
bool progress_cancelled(const Progress* p);

}  // namespace plat
