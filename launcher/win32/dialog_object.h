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
