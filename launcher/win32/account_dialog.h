// The ID and password dialog (resource 251), bound to account.h.
#pragma once

#include <windows.h>

class CQrt040Dlg {
 public:
  explicit CQrt040Dlg(HWND parent) : parent_(parent) {}
  CQrt040Dlg(const CQrt040Dlg&) = delete;
  CQrt040Dlg& operator=(const CQrt040Dlg&) = delete;

  // Runs the dialog until an accepted 設定, 戻り or the close box ends it.
  INT_PTR DoModal();

 private:
  template <class Dialog>
  friend Dialog* dialog_object(HWND, UINT, LPARAM);
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void OnInitDialog();
  void OnOK();

  HWND parent_;
  HWND hwnd_ = nullptr;
};
