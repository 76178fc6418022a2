// CColor_Button: a push button the program draws itself (owner-drawn) with its
// own face colour, text colours and bevel. It is attached to an existing dialog
// control by ID; the dialog passes its WM_DRAWITEM for the control to Draw.
#pragma once

#include <windows.h>

class CColor_Button {
 public:
  // Makes the control owner-drawn and keeps the colours and the bevel width.
  bool Attach(HWND dialog, int id, COLORREF text, COLORREF face, COLORREF disabled, int bevel);
  // Draws the button for one WM_DRAWITEM.
  void Draw(const DRAWITEMSTRUCT& item) const;
  HWND hwnd() const { return hwnd_; }

 private:
  void DrawBevel(HDC dc, RECT r) const;
  void DrawPressedBevel(HDC dc, RECT r) const;
  void DrawCaption(HDC dc, RECT r, COLORREF colour) const;

  HWND hwnd_ = nullptr;
  COLORREF text_ = 0;
  COLORREF face_ = 0;
  COLORREF disabled_ = 0;
  int bevel_ = 2;
};
