// The SDI options dialog (resource 210): the checker's schedule and pop-up
// settings and the start-up shortcut, bound to the portable logic of options.h.
#pragma once

#include <windows.h>

#include "dialog_object.h"

class CQrt020Dlg : public ModalDialog<CQrt020Dlg> {
 public:
  explicit CQrt020Dlg(HWND parent) : ModalDialog(parent) {}

  // Runs the dialog until 登録, 戻り or the close box ends it.
  INT_PTR DoModal();

 private:
  friend class ModalDialog<CQrt020Dlg>;
  void OnInitDialog();
  bool OnCommand(int id, int code);
  void OnOK();
};

// The start-up shortcut through the shell: the Startup folder and the
// shell-link object (installed into options::shell_set).
void install_shortcut_shell();
