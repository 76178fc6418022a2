// Desktop helpers: the notification-area (tray) icon with its tool tip and
// balloons, the reachability check of a saved window rectangle, the taskbar and
// screen layout, the stored table of window sizes (DATA\DISPSIZE.FIL), fitting a
// picture into a box, BMP transfers to and from device contexts, beeps and a
// stored colour. Windows, icons and device contexts are opaque handles here.
#pragma once

#include <cstdint>

#include "runtime/areas.h"

// A window rectangle as the desktop reports it (the same layout as RECT).
struct ZR_RECT {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

// One entry of the window-size table: a kind byte and a rectangle, 17 bytes as
// stored in DISPSIZE.FIL.
#pragma pack(push, 1)
struct ZR_DISP_SIZE {
  std::uint8_t kind;
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};
#pragma pack(pop)
static_assert(sizeof(ZR_DISP_SIZE) == 17, "a DISPSIZE.FIL entry is 17 bytes");

constexpr int kDispSizeSlots = 50;
constexpr int kDispSizeAll = 99;  // slot argument of _dspsize_read: every entry
static_assert(sizeof(ZRSDI::disp_size) == kDispSizeSlots * sizeof(ZR_DISP_SIZE));

// Balloon icon types of _tray_balloon.
enum { ZR_BALLOON_NONE = 0, ZR_BALLOON_INFO = 1, ZR_BALLOON_WARNING = 2, ZR_BALLOON_ERROR = 3 };

// ---- tray icon -------------------------------------------------------------------

// Registers the process's tray icon: 0, or -1 when the record cannot be
// allocated. Without a window nothing is registered. A refusal of the shell is
// traced and the record kept (later changes then simply fail).
ZR_API int _tray_add(void* wnd, unsigned icon_id, unsigned callback_msg, void* icon,
                     const char* tip);
// Replaces the tool tip: 1, or 0 for a null text (nothing changes).
ZR_API int _tray_tip(const char* tip);
// Shows a balloon (empty title and text clear it): 1.
ZR_API int _tray_balloon(const char* title, const char* text, int icon_type);
// Removes the icon and frees the record.
ZR_API void _tray_del();

// ---- screens and window rectangles ---------------------------------------------------

// 0 when the rectangle is still reachable on the current screens, -1 when not
// (traced with the side that failed).
ZR_API int _wnd_pos_chk(const ZR_RECT* rc);
// The taskbar's thickness on the side where it is docked; the other three are 0.
ZR_API void _taskbar_sz(int* left, int* top, int* right, int* bottom);
// "%d_%d_%d_%d_%d": monitors, top, left, right and bottom of the virtual screen.
// out holds at least 64 bytes.
ZR_API void _screen_info(char* out);
// Fits a picture of pic_w x pic_h into a box of box_w x box_h keeping its
// proportions: the fitted size and its offsets inside the box.
ZR_API void _rect_calc(int box_w, int box_h, int pic_w, int pic_h, int* x, int* y, int* w, int* h);

// ---- window-size table ---------------------------------------------------------------

// Loads DISPSIZE.FIL into the table: one slot (0-49), or kDispSizeAll.
ZR_API void _dspsize_read(int slot);
// Writes the table to DISPSIZE.FIL (replacing the file as a whole).
ZR_API void _dspsize_write();

// ---- bitmaps -------------------------------------------------------------------------

// Draws a BMP file unscaled at x, y: 0, or -1 when the file cannot be loaded.
ZR_API int _bmp2dc(void* dc, int x, int y, const char* file);
// Draws an in-memory BMP file image (1, 8 or 24 bits) fitted into the box: the
// drawing's result, 0x4D42 when the image is no BMP, bit count - 24 for another
// depth.
ZR_API int _bmp_draw(void* dc, int x, int y, int w, int h, const void* image);
// Saves an area of a device context as a 24-bit BMP file.
ZR_API void _dc2bmp(void* dc, int left, int top, int right, int bottom, const char* file);
// The BMP file image of an area (24 bits): its byte size (0 for an empty area);
// with a buffer, the image is written into it.
ZR_API int _dc2mem(void* dc, int left, int top, int right, int bottom, void* out);
// Draws an in-memory BMP file image unscaled: 0, or -1 when it is no BMP image.
ZR_API int _mem2dc(void* dc, int x, int y, const void* image);

// ---- beeps and colours ---------------------------------------------------------------

ZR_API int u_beep(int kind);
// Beeps, waits one second, beeps again: the second beep's result.
ZR_API int __beep();
// Stores a colour (0 black, 1 0xFF0000, ... 7 0xFFFFFF as COLORREF values; other
// numbers keep the previous colour) and a value, and applies the colour to the
// main window's device context.
ZR_API void u_color(int color, int value);
// The stored colour and value; returns the value.
ZR_API int u_getcolor(std::uint32_t* color, int* value);

namespace zr {
// The BMP file image size of a 24-bit picture of w x h pixels (rows padded to 4
// bytes); 0 when w or h is not positive or the size would not fit 31 bits.
std::int64_t bmp24_image_size(std::int64_t w, std::int64_t h);
}  // namespace zr
