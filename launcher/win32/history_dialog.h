// The SDI history dialog (resource 219): the ten newest results, the search
// requests of the one chosen, and 結果表示, bound to history.h.
#pragma once

#include <windows.h>

#include "dialog_object.h"
#include "history.h"

class CQrt030Dlg : public ModalDialog<CQrt030Dlg> {
 public:
  explicit CQrt030Dlg(HWND parent) : ModalDialog(parent) {}

  // Runs the dialog until 戻り, Escape or the close box ends it; without
  // results it shows its message and does not open.
  INT_PTR DoModal();

 private:
  friend class ModalDialog<CQrt030Dlg>;
  void OnInitDialog();
  bool OnCommand(int id, int code);
  void Fill();
  void OnSelect();
  void OnShow();
  void Centre();

  HWND list_ = nullptr;
  history::Table table_;
};
