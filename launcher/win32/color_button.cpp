#include "color_button.h"

namespace {

void fill(HDC dc, const RECT& r, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

// A line from (x0, y0) to (x1, y1), the end point excluded as LineTo does.
void line(HDC dc, int x0, int y0, int x1, int y1, COLORREF colour) {
  HPEN pen = CreatePen(PS_SOLID, 1, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
  SelectObject(dc, old);
  DeleteObject(pen);
}

// One bevel line around r: light top and left edges, dark bottom and right.
void frame(HDC dc, const RECT& r, COLORREF light, COLORREF dark) {
  line(dc, r.left, r.bottom - 1, r.left, r.top, light);
  line(dc, r.left, r.top, r.right - 1, r.top, light);
  line(dc, r.right - 1, r.top, r.right - 1, r.bottom - 1, dark);
  line(dc, r.right - 1, r.bottom - 1, r.left - 1, r.bottom - 1, dark);
}

COLORREF grey(int level) { return RGB(level, level, level); }

}  // namespace

bool CColor_Button::Attach(HWND dialog, int id, COLORREF text, COLORREF face, COLORREF disabled,
                           int bevel) {
  hwnd_ = GetDlgItem(dialog, id);
  if (!hwnd_) return false;
  text_ = text;
  face_ = face;
  disabled_ = disabled;
  bevel_ = bevel;
  LONG_PTR style = GetWindowLongPtrA(hwnd_, GWL_STYLE);
  if ((style & BS_TYPEMASK) != BS_OWNERDRAW) {
    SendMessageA(hwnd_, BM_SETSTYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW, TRUE);
  }
  return true;
}

void CColor_Button::DrawBevel(HDC dc, RECT r) const {
  for (int i = 0; i < bevel_; ++i) {
    // A one-pixel bevel has the classic grey 128 and white.
    COLORREF dark = bevel_ == 1 ? grey(128) : grey(255 / (i + 2));
    COLORREF light = bevel_ == 1 ? grey(255) : grey(63 / (i + 1) + 192);
    frame(dc, r, light, dark);
    InflateRect(&r, -1, -1);
  }
}

void CColor_Button::DrawPressedBevel(HDC dc, RECT r) const { frame(dc, r, grey(128), grey(255)); }

void CColor_Button::DrawCaption(HDC dc, RECT r, COLORREF colour) const {
  char caption[128];
  GetWindowTextA(hwnd_, caption, sizeof caption);
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
  HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
  int old_mode = SetBkMode(dc, TRANSPARENT);
  COLORREF old_colour = SetTextColor(dc, colour);
  DrawTextA(dc, caption, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SetTextColor(dc, old_colour);
  SetBkMode(dc, old_mode);
  if (old_font) SelectObject(dc, old_font);
}

void CColor_Button::Draw(const DRAWITEMSTRUCT& item) const {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool focused = item.itemState & ODS_FOCUS;
  const bool pressed = item.itemState & ODS_SELECTED;
  const bool disabled = item.itemState & ODS_DISABLED;

  fill(dc, r, face_);
  DrawBevel(dc, r);
  DrawCaption(dc, r, text_);

  RECT focus = r;
  InflateRect(&focus, -4, -4);
  if (focused) {
    DrawFocusRect(dc, &focus);
    if (pressed) {
      fill(dc, r, face_);
      DrawPressedBevel(dc, r);
      DrawCaption(dc, r, text_);
      DrawFocusRect(dc, &focus);
    }
  }
  if (disabled) DrawCaption(dc, r, disabled_);
}
