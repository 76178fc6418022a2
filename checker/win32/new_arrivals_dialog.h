// CQrt100Dlg: the modal new-arrivals dialog (resource 108). It lists the search
// requests of the newest result with their hit counts and viewed marks and opens
// a request's result page in the browser.
#pragma once

#include <windows.h>

class CQrt100Dlg {
 public:
  explicit CQrt100Dlg(HWND parent);
  ~CQrt100Dlg();
  CQrt100Dlg(const CQrt100Dlg&) = delete;
  CQrt100Dlg& operator=(const CQrt100Dlg&) = delete;

  // Runs the dialog until "閉じる", the close box or Escape ends it.
  INT_PTR DoModal();

 private:
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void OnInitDialog();
  void Fill();
  void OnOpen();
  void OnClose();
  INT_PTR OnCtlColor(HDC dc, HWND control, bool is_static);

  HWND parent_;
  HWND hwnd_ = nullptr;
  HWND list_ = nullptr;     // 1072
  HWND check_ = nullptr;    // 1132
  HWND summary_ = nullptr;  // the run-time static
  HFONT heading_font_ = nullptr;
  HBRUSH brush_;
  HICON icon_;
};

// Runs the dialog for the display decision, holding it in zrsdi->open_dialog.
void run_new_arrivals_dialog();
