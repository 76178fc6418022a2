// The C++ object behind a dialog: handed to the dialog as the creation
// parameter, kept in the window's user data from WM_INITDIALOG on.
#pragma once

#include <windows.h>

// The object of the dialog hwnd; on WM_INITDIALOG it is stored and gets the
// window handle. Null for the few messages before WM_INITDIALOG.
template <class Dialog>
Dialog* dialog_object(HWND hwnd, UINT msg, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrA(hwnd, DWLP_USER, lp);
    auto* self = reinterpret_cast<Dialog*>(lp);
    self->hwnd_ = hwnd;
    return self;
  }
  return reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
}

// A modal dialog of the launcher, run from a dialog resource: Derived provides
// OnInitDialog() and OnCommand(id, code), which returns whether it handled the
// command, and may hide OnMessage for other messages. A command it leaves
// (Escape's IDCANCEL) and the close box end the dialog with IDCANCEL.
template <class Derived>
class ModalDialog {
 public:
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;

  // Runs the dialog of resource id until it ends; its result.
  INT_PTR DoModal(int id) {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), parent_, Proc,
                           reinterpret_cast<LPARAM>(static_cast<Derived*>(this)));
  }

 protected:
  explicit ModalDialog(HWND parent) : parent_(parent) {}
  ~ModalDialog() = default;

  // Messages other than the initialisation and the commands: true when
  // handled, with the dialog procedure's result in *result.
  bool OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }
  void Close(INT_PTR result) { EndDialog(hwnd_, result); }

  HWND parent_;
  HWND hwnd_ = nullptr;

 private:
  template <class Dialog>
  friend Dialog* dialog_object(HWND, UINT, LPARAM);

  static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Derived* self = dialog_object<Derived>(hwnd, msg, lp);
    if (!self) return FALSE;
    INT_PTR result = FALSE;
    switch (msg) {
      case WM_INITDIALOG:
        self->OnInitDialog();
        return TRUE;
      case WM_COMMAND:
        if (self->OnCommand(LOWORD(wp), HIWORD(wp))) return TRUE;
        if (LOWORD(wp) == IDCANCEL) {
          EndDialog(hwnd, IDCANCEL);
          return TRUE;
        }
        return FALSE;
      case WM_CLOSE:
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
      default:
        return self->OnMessage(msg, wp, lp, &result) ? result : FALSE;
    }
  }
};
