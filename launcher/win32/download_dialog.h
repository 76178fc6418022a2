// CNp000Dlg: the download window of the program update (resource 5), modeless,
// on top of other windows and centred: an animation, the file being
// downloaded, a progress bar over the files, the elapsed time and ｷｬﾝｾﾙ.
#pragma once

#include <windows.h>

#include <ctime>
#include <memory>

#include "update.h"

class CNp000Dlg : public DownloadWindow {
 public:
  explicit CNp000Dlg(int files);
  ~CNp000Dlg() override;
  CNp000Dlg(const CNp000Dlg&) = delete;
  CNp000Dlg& operator=(const CNp000Dlg&) = delete;

  // Processes the window's pending messages, then shows the file and advances
  // the progress bar; returns the cancel flag.
  bool file_started(const char* name) override;

 private:
  template <class Dialog>
  friend Dialog* dialog_object(HWND, UINT, LPARAM);
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void OnInitDialog();
  void ShowElapsed();

  HWND hwnd_ = nullptr;
  int files_;
  int started_ = 0;
  std::time_t start_ = 0;
  bool cancel_ = false;
};

// The maker update_window_maker installs in the launcher.
std::unique_ptr<DownloadWindow> make_download_dialog(int files);
