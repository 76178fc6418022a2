// The program update: the list of program files with their version stamps
// (message 1100), the comparison with the install folder, and the download of
// every older or missing file in pieces (message 1101) as an LHA archive that
// is checked and expanded. New executables of the two programs are stored as
// QRT000.NEW and QRT100.NEW. Names from the server never leave the install
// folder.
#pragma once

#include <cstdint>
#include <memory>

// One entry of the update list.
struct UpdateEntry {
  char name[260];  // relative to the install folder, may hold a sub-folder
  std::int32_t date;
  std::int32_t time;
};

// The entries an update list holds at most.
constexpr int kUpdateListMax = 300;

// The window that shows the downloads (the Windows program's CNp000Dlg; none
// natively or in tests unless one is installed).
class DownloadWindow {
 public:
  virtual ~DownloadWindow() = default;
  // The file being downloaded now; true when the user asked to cancel.
  virtual bool file_started(const char* name) = 0;
};
// Makes the download window for a number of files (null: no window).
using DownloadWindowMaker = std::unique_ptr<DownloadWindow> (*)(int files);
// Installs the maker of the download window; returns the previous one.
DownloadWindowMaker update_window_maker(DownloadWindowMaker maker);

// Fills the update list from message 1100: 0, or the failed exchange's result.
int update_list_get();
// The list as update_list_get left it.
const UpdateEntry* update_list(int* count);
// Downloads every listed file that is missing or older than its stamp (every
// one when VERSION.QRT is missing) and rewrites VERSION.QRT: 0, or -1 when a
// file failed (the message has been shown). A cancel from the download window
// stops after the current file; VERSION.QRT is then not rewritten, so the next
// start downloads what is still missing.
int update_download();
// Downloads one file: 0, the negative result of the expansion, or -1 when the
// download failed or the name is refused.
int update_file_get(const char* name);

namespace update {

// Whether a name from the update list stays inside the install folder: not
// empty, not absolute, no drive, no ':' and no ".." segment, and short enough
// to be joined with the folder.
bool safe_name(const char* name);
// The check block of an archive: byte k is the sum modulo 256 of the bytes at
// k, k + 32, k + 64, ...
void check_block(const unsigned char* data, std::size_t len, unsigned char out[32]);
// Whether a file's stamp (date, time) is older than the list's.
bool older(std::int32_t date, std::int32_t time, std::int32_t list_date, std::int32_t list_time);

}  // namespace update
