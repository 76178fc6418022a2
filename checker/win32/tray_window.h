// CMyWindow: the checker's hidden main window. It owns the tray icon's menu and
// the 10-second timer that decides whether the new-arrivals dialog is due.
#pragma once

#include <windows.h>

class CMyWindow {
 public:
  static constexpr UINT kTrayMessage = 0x83ED;
  static constexpr UINT_PTR kTimerId = 100;
  static constexpr UINT kTimerMs = 10000;

  // Creates the window titled "QRT100" (never shown) with icon 101.
  bool Create(HINSTANCE instance);
  HWND hwnd() const { return hwnd_; }
  HICON icon() const { return icon_; }
  void StartTimer();

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void ShowTrayMenu();
  void OnCommand(UINT id);

  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  HICON icon_ = nullptr;
};
