// The SDI options dialog (resource 210): the checker's schedule and pop-up
// settings and the start-up shortcut, bound to the portable logic of options.h.
#pragma once

#include <windows.h>

class CQrt020Dlg {
 public:
  explicit CQrt020Dlg(HWND parent) : parent_(parent) {}
  CQrt020Dlg(const CQrt020Dlg&) = delete;
  CQrt020Dlg& operator=(const CQrt020Dlg&) = delete;

  // Runs the dialog until 登録, 戻り or the close box ends it.
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

// The start-up shortcut through the shell: the Startup folder and the
// shell-link object (installed into options::shell_set).
void install_shortcut_shell();
