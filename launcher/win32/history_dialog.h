// The SDI history dialog (resource 219): the ten newest results, the search
// requests of the one chosen, and 結果表示, bound to history.h.
#pragma once

#include <windows.h>

#include "history.h"

class CQrt030Dlg {
 public:
  explicit CQrt030Dlg(HWND parent) : parent_(parent) {}
  CQrt030Dlg(const CQrt030Dlg&) = delete;
  CQrt030Dlg& operator=(const CQrt030Dlg&) = delete;

  // Runs the dialog until 戻り, Escape or the close box ends it; without
  // results it shows its message and does not open.
  INT_PTR DoModal();

 private:
  template <class Dialog>
  friend Dialog* dialog_object(HWND, UINT, LPARAM);
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void OnInitDialog();
  void Fill();
  void OnSelect();
  void OnShow();
  void Centre();

  HWND parent_;
  HWND hwnd_ = nullptr;
  HWND list_ = nullptr;
  history::Table table_;
};
