// The ID and password dialog (resource 251), bound to account.h.
#pragma once

#include <windows.h>

#include "dialog_object.h"

class CQrt040Dlg : public ModalDialog<CQrt040Dlg> {
 public:
  explicit CQrt040Dlg(HWND parent) : ModalDialog(parent) {}

  // Runs the dialog until an accepted 設定, 戻り or the close box ends it.
  INT_PTR DoModal();

 private:
  friend class ModalDialog<CQrt040Dlg>;
  void OnInitDialog();
  bool OnCommand(int id, int code);
};
