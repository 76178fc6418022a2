// The network settings dialog (resource 106): the proxy, its credentials and
// the HTTP and transport options, bound to network.h.
#pragma once

#include <windows.h>

#include "dialog_object.h"
#include "network.h"

class CQrt050Dlg : public ModalDialog<CQrt050Dlg> {
 public:
  explicit CQrt050Dlg(HWND parent) : ModalDialog(parent) {}

  // Runs the dialog until OK, ｷｬﾝｾﾙ or the close box ends it.
  INT_PTR DoModal();

 private:
  friend class ModalDialog<CQrt050Dlg>;
  void OnInitDialog();
  bool OnCommand(int id, int code);
  void Show(const network::Form& f);
  network::Form Read() const;
  void Enable();
  void OnOK();
};
