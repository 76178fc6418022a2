// The SDI checker menu's window: the modal dialog (resource 119) with its six
// owner-drawn buttons, bound to the portable commands of menu.h.
#pragma once

#include <windows.h>

#include "color_button.h"
#include "dialog_object.h"
#include "menu.h"

class CMenuDlg : public ModalDialog<CMenuDlg> {
 public:
  CMenuDlg() : ModalDialog(nullptr) {}

  // Runs the dialog until a command, 戻り or the close box ends it.
  INT_PTR DoModal();

 private:
  friend class ModalDialog<CMenuDlg>;
  void OnInitDialog();
  bool OnCommand(int id, int code);
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result);
  void Run(int id);
  void Apply(const menu::Buttons& b);

  menu::Buttons buttons_;
  // A command is running: the download window processes this thread's
  // messages between files, so a click on the menu would otherwise start a
  // second command inside the first.
  bool busy_ = false;
  CColor_Button colour_[6];
};

// Runs the menu's window with the launcher's title on its messages (the hook
// the launcher's start-up calls between menu::prepare and menu::closed).
void run_menu_dialog();
