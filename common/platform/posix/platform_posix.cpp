// The native (Linux) stand-in of the platform layer. It gives the tests the same
// behaviour the core sees on Windows where that is possible (files, times, named
// shared memory that vanishes with its last holder) and traces or answers what
// only exists on a desktop (message boxes, progress windows).
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <utime.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <string>

#include "platform/platform.h"
#include "platform/sjis_byte.h"

namespace plat {
namespace {

// Windows paths to POSIX ones: backslashes become slashes, except a byte that
// is the second half of a Shift-JIS character.
std::string native_path(const char* path) {
  std::string out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(path); *p; ++p) {
    unsigned char c = *p;
    if (zr::sjis_lead(c) && p[1]) {
      out += static_cast<char>(c);
      out += static_cast<char>(*++p);
      continue;
    }
    out += c == '\\' ? '/' : static_cast<char>(c);
  }
  return out;
}

}  // namespace

// ---- process and environment -------------------------------------------------

bool current_dir(char* buf, std::size_t cap) {
  if (!getcwd(buf, cap)) {
    if (cap) buf[0] = '\0';
    return false;
  }
  return true;
}

bool set_current_dir(const char* dir) { return chdir(native_path(dir).c_str()) == 0; }

bool set_env(const char* name, const char* value) { return setenv(name, value, 1) == 0; }

void set_japanese_locale() {
  if (!std::setlocale(LC_ALL, "ja_JP.UTF-8")) std::setlocale(LC_ALL, "C");
  // Numbers and texts are formatted byte-exactly by the core: keep the C rules
  // for them.
  std::setlocale(LC_NUMERIC, "C");
}

void tz_reset() { tzset(); }

void sleep_ms(std::uint32_t ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

void exit_process(int code) {
  std::fflush(nullptr);
  _exit(code);
}

std::uint32_t last_error() { return static_cast<std::uint32_t>(errno); }

int computer_name(char* buf, std::size_t cap) {
  if (cap == 0) return -1;
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return -1;
  std::size_t n = strnlen(name, sizeof name);
  if (n >= cap) n = cap - 1;
  std::memcpy(buf, name, n);
  buf[n] = '\0';
  return static_cast<int>(n);
}

bool search_exe(const char* file_name, char* out, std::size_t cap) {
  // The program's own folder first, then the current folder.
  std::string candidates[2];
  char self[4096] = {};
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    std::string dir(self, static_cast<std::size_t>(n));
    candidates[0] = dir.substr(0, dir.rfind('/')) + "/" + file_name;
  }
  char cwd[4096] = {};
  if (getcwd(cwd, sizeof cwd)) candidates[1] = std::string(cwd) + "/" + file_name;
  for (const std::string& c : candidates) {
    struct stat st {};
    if (!c.empty() && stat(c.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      if (c.size() >= cap) return false;
      std::memcpy(out, c.c_str(), c.size() + 1);
      return true;
    }
  }
  return false;
}

bool ole_init() { return true; }

std::uint32_t start_process(const char* path) {
  const std::string file = native_path(path);
  char* argv[] = {const_cast<char*>(file.c_str()), nullptr};
  pid_t pid = 0;
  int e = posix_spawn(&pid, file.c_str(), nullptr, nullptr, argv, environ);
  return e == 0 ? 0 : static_cast<std::uint32_t>(e);
}

// ---- platform probe ----------------------------------------------------------

OsVersion os_version() {
  // Natively there is no Windows version: report none, which the probe maps to 0.
  return OsVersion{};
}

bool is_wow64() { return false; }

void webview2_version(bool, char* out, std::size_t cap) {
  if (cap) out[0] = '\0';
}

MemoryStatus memory_status() {
  MemoryStatus s;
  long pages = sysconf(_SC_PHYS_PAGES), avail = sysconf(_SC_AVPHYS_PAGES);
  long page = sysconf(_SC_PAGESIZE);
  s.total_phys = static_cast<std::uint64_t>(pages) * page;
  s.avail_phys = static_cast<std::uint64_t>(avail) * page;
  s.load = s.total_phys ? static_cast<std::uint32_t>(100 - s.avail_phys * 100 / s.total_phys) : 0;
  s.total_page = s.total_phys;
  s.avail_page = s.avail_phys;
  // A 32-bit process has 2 GiB of address space; report that much as the
  // virtual limit so that the core's checks behave as they do on Windows.
  s.total_virtual = 0x7FFE0000ull;
  s.avail_virtual = 0x7FFE0000ull;
  return s;
}

// ---- files ------------------------------------------------------------------

std::FILE* open_stream(const char* path, const char* mode) {
  return std::fopen(native_path(path).c_str(), mode);
}

bool path_exists(const char* path) {
  struct stat st {};
  return stat(native_path(path).c_str(), &st) == 0;
}

bool is_directory(const char* path) {
  struct stat st {};
  return stat(native_path(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int make_dir(const char* path) { return mkdir(native_path(path).c_str(), 0777) == 0 ? 0 : errno; }

int remove_file(const char* path) { return unlink(native_path(path).c_str()) == 0 ? 0 : errno; }

std::vector<DirEntry> find_files(const char* pattern) {
  std::string p = native_path(pattern);
  std::string dir = ".", mask = p;
  std::size_t slash = p.rfind('/');
  if (slash != std::string::npos) {
    dir = slash == 0 ? "/" : p.substr(0, slash);
    mask = p.substr(slash + 1);
  }
  // "*.*" means every entry on Windows, with or without a dot.
  if (mask == "*.*") mask = "*";
  std::vector<DirEntry> out;
  DIR* d = opendir(dir.c_str());
  if (!d) return out;
  while (dirent* e = readdir(d)) {
    if (fnmatch(mask.c_str(), e->d_name, FNM_CASEFOLD) != 0) continue;
    DirEntry entry;
    entry.name = e->d_name;
    struct stat st {};
    entry.is_dir = stat((dir + "/" + e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    out.push_back(entry);
  }
  closedir(d);
  return out;
}

LocalTime local_time_of(std::int64_t unix_seconds) {
  std::time_t t = static_cast<std::time_t>(unix_seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

LocalTime now_local() { return local_time_of(std::time(nullptr)); }

bool last_write_get(const char* path, LocalTime& out) {
  struct stat st {};
  if (stat(native_path(path).c_str(), &st) != 0) return false;
  out = local_time_of(st.st_mtime);
  return true;
}

bool last_write_set(const char* path, const LocalTime& t) {
  std::string p = native_path(path);
  struct stat st {};
  if (stat(p.c_str(), &st) != 0) return false;
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  struct utimbuf times {};
  times.actime = st.st_atime;
  times.modtime = std::mktime(&tm);
  return utime(p.c_str(), &times) == 0;
}

bool copy_file_times(const char* src, const char* dst) {
  struct stat st {};
  if (stat(native_path(src).c_str(), &st) != 0) return false;
  struct utimbuf times {};
  times.actime = st.st_atime;
  times.modtime = st.st_mtime;
  return utime(native_path(dst).c_str(), &times) == 0;
}

bool os_copy_file(const char* src, const char* dst) {
  std::FILE* in = std::fopen(native_path(src).c_str(), "rb");
  if (!in) return false;
  std::FILE* out = std::fopen(native_path(dst).c_str(), "wb");
  if (!out) {
    std::fclose(in);
    return false;
  }
  char buf[65536];
  bool ok = true;
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) {
    if (std::fwrite(buf, 1, n, out) != n) {
      ok = false;
      break;
    }
  }
  std::fclose(in);
  return std::fclose(out) == 0 && ok;
}

bool replace_file(const char* src, const char* dst) {
  return std::rename(native_path(src).c_str(), native_path(dst).c_str()) == 0;
}

struct TempFile {
  int fd;
  std::string native;
  off_t written = 0;
};

TempFile* temp_create_beside(const char* target, bool owner_only, std::string* tmp_name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const unsigned long stamp = static_cast<unsigned long>(getpid()) * 2654435761UL ^
                                (counter.fetch_add(1) * 40503UL) ^
                                static_cast<unsigned long>(now.tv_nsec);
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".$%08lX", stamp & 0xFFFFFFFFUL);
    const std::string name = std::string(target) + suffix;
    const std::string native = native_path(name.c_str());
    const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          owner_only ? 0600 : 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    *tmp_name = name;
    return new TempFile{fd, native};
  }
  return nullptr;
}

namespace {
std::atomic<long long> g_write_budget{-1};
}  // namespace

void write_fault_set(long long bytes) { g_write_budget = bytes; }

bool temp_write(TempFile* f, const void* data, std::size_t len) {
  if (const long long budget = g_write_budget.load(); budget >= 0) {
    if (static_cast<long long>(len) > budget) {
      // The crash-safety tests: only part of the piece reaches the file.
      if (budget > 0 && ::write(f->fd, data, static_cast<std::size_t>(budget)) < 0) _exit(1);
      _exit(kWriteFaultExit);
    }
    g_write_budget = budget - static_cast<long long>(len);
  }
  const char* p = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < len) {
    const ssize_t n = ::write(f->fd, p + done, len - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
#ifdef __linux__
  // Writing back starts now; the flush at the end then waits only for the rest.
  if (len > 0) sync_file_range(f->fd, f->written, static_cast<off_t>(len), SYNC_FILE_RANGE_WRITE);
#endif
  f->written += static_cast<off_t>(len);
  return true;
}

bool temp_finish(TempFile* f) {
  if (g_write_budget.load() == 0) _exit(kWriteFaultExit);
  bool ok = ::fsync(f->fd) == 0;
  ok = ::close(f->fd) == 0 && ok;
  if (!ok) ::unlink(f->native.c_str());
  delete f;
  return ok;
}

void temp_discard(TempFile* f) {
  if (!f) return;
  ::close(f->fd);
  ::unlink(f->native.c_str());
  delete f;
}

bool commit_stream(std::FILE* fp) { return std::fflush(fp) == 0 && fsync(fileno(fp)) == 0; }

void make_writable(const char* path) {
  std::string p = native_path(path);
  struct stat st {};
  if (stat(p.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR)) chmod(p.c_str(), st.st_mode | S_IWUSR);
}

// ---- named shared memory -----------------------------------------------------
//
// POSIX objects outlive their processes; Windows blocks do not. Every holder
// keeps a shared flock on the object, and an opener that can take an exclusive
// lock knows nobody holds it: the object is stale and is removed.

namespace {

// QRT_SHM_SCOPE, when set, gives the names a scope of their own (Windows
// scopes its names per log-on session): test processes running side by side
// do not see each other's blocks.
std::string shm_name(const char* name) {
  std::string n = "/qrt_";
  if (const char* scope = std::getenv("QRT_SHM_SCOPE"); scope && *scope) {
    for (const char* p = scope; *p && n.size() < 40; ++p)
      if (std::isalnum(static_cast<unsigned char>(*p))) n += *p;
    n += '_';
  }
  for (const char* p = name; *p; ++p) n += *p == '/' ? '_' : *p;
  if (n.size() > 250) n.resize(250);
  return n;
}

struct View {
  int fd;
  std::size_t size;
};
std::mutex g_views_lock;
std::map<void*, View> g_views;

}  // namespace

void* shm_create(const char* name, std::size_t size) {
  std::string n = shm_name(name);
  int fd = ::shm_open(n.c_str(), O_RDWR | O_CREAT, 0600);
  if (fd < 0) return nullptr;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    // Nobody holds it: a new block (or a stale one) starts zero-filled.
    if (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
      close(fd);
      return nullptr;
    }
  }
  flock(fd, LOCK_SH);
  // The handle is the descriptor plus one, so that descriptor 0 is not null.
  return reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1);
}

void shm_release_handle(void* handle) {
  if (!handle) return;
  close(static_cast<int>(reinterpret_cast<std::intptr_t>(handle) - 1));
}

void* shm_open(const char* name) {
  std::string n = shm_name(name);
  int fd = ::shm_open(n.c_str(), O_RDWR, 0600);
  if (fd < 0) return nullptr;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    ::shm_unlink(n.c_str());
    close(fd);
    return nullptr;
  }
  flock(fd, LOCK_SH);
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_size <= 0) {
    close(fd);
    return nullptr;
  }
  std::size_t size = static_cast<std::size_t>(st.st_size);
  void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) {
    close(fd);
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(g_views_lock);
  g_views[view] = View{fd, size};
  return view;
}

void shm_close(void* view) {
  if (!view) return;
  View v{};
  {
    std::lock_guard<std::mutex> lock(g_views_lock);
    auto it = g_views.find(view);
    if (it == g_views.end()) return;
    v = it->second;
    g_views.erase(it);
  }
  munmap(view, v.size);
  close(v.fd);
}

// ---- message boxes and progress windows ------------------------------------------

int message_box(const char* text, const char* title, unsigned style) {
  std::fprintf(stderr, "[message box %s] %s\n", title ? title : "", text ? text : "");
  if (const char* answer = std::getenv("QRT_MESSAGEBOX_ANSWER")) return std::atoi(answer);
  return (style & 0xF) == kMbYesNo ? kIdYes : kIdOk;
}

struct Progress {
  int slot;
  bool cancelled = false;
};

Progress* progress_create(int slot) { return new Progress{slot}; }

void progress_destroy(Progress* p) { delete p; }

void pump_messages() {}

void progress_show(Progress* p, const char* text, bool cancel_button) {
  std::fprintf(stderr, "[progress %d%s] %s\n", p->slot, cancel_button ? " 中止" : "", text);
}

bool progress_cancelled(const Progress* p) { return p->cancelled; }

}  // namespace plat
