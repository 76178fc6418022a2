// The desktop surface of the platform layer: the notification-area icon, screen
// and taskbar geometry, device-context transfers of device-independent bitmaps,
// beeps, and the threads of the tray-resident program. Windows implements them
// with the shell and GDI; the native build has no desktop: its tray exists only
// as trace lines written by the caller, its screen is one 1920 x 1080 monitor
// without a taskbar, and its device contexts are empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// ---- notification-area icon ----------------------------------------------------

// True where the tray exists only as trace lines (the caller traces each step).
bool tray_traced();
// Bytes of the notification record the caller allocates for tray_fill.
std::size_t tray_record_size();
// Fills the record for a new icon. Flags: message when callback_msg is not 0,
// icon when icon is set, tip when tip is set, and always info.
void tray_fill(void* rec, void* wnd, unsigned id, unsigned callback_msg, void* icon,
               const char* tip);
// Adds the icon; false when the shell refuses.
bool tray_add(void* rec);
// Replaces the tool tip (flags: tip only); false when the shell refuses.
bool tray_set_tip(void* rec, const char* tip);
// Shows a balloon (flags: info only; icon type 0 none, 1 information, 2
// warning, 3 error; time-out 10 s); false when the shell refuses.
bool tray_balloon(void* rec, const char* title, const char* text, int icon_type);
// Removes the icon.
void tray_delete(void* rec);

// ---- screens --------------------------------------------------------------------

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
// The virtual screen spanning every monitor.
Rect virtual_screen();
int monitor_count();
// Height of a window caption.
int caption_height();
// The taskbar's rectangle; false when there is none or it hides itself.
bool taskbar_rect(Rect& out);
#ifndef _WIN32
// The native stand-in's screen layout, for the tests: the number of monitors,
// the virtual screen and the taskbar (none when null). The caption is 23 pixels.
void desktop_geometry_set(int monitors, const Rect& screen, const Rect* taskbar);
#endif

// ---- device contexts --------------------------------------------------------------

// Draws a device-independent bitmap: info points at its 40-byte information
// header (followed by its colour table), bits at its pixels. The picture's own
// size is scaled to dw x dh at dx, dy; halftone stretching when asked. Returns
// the scan lines drawn, or 0 on failure.
int dc_draw_dib(void* dc, int dx, int dy, int dw, int dh, const void* info, const void* bits,
                bool halftone);
// Captures the area as 24-bit bottom-up pixels with rows padded to 4 bytes into
// pixels (room for the padded rows of w x h). False when it cannot be read.
bool dc_capture(void* dc, int left, int top, int w, int h, void* pixels);
// Sets the text colour of the window's device context.
void window_text_color(void* wnd, std::uint32_t colorref);

// ---- list views ---------------------------------------------------------------------

// A column of a report-style list view.
struct ListColumn {
  const char* title;
  bool centred;  // else left-aligned
  int chars;     // width in average characters of the list's font
};
// Prepares a dialog's list view for its rows: report style with grid lines and
// whole-row selection, its old columns removed, then the columns. A column is
// as wide as asked or, where its title needs more, as wide as the whole title
// with the header's margins, in whole average characters.
void list_view_prepare(void* list, const ListColumn* columns, int count);
// Replaces the rows: one per entry, its cells in column order; each row's
// value is its index in rows.
void list_view_fill(void* list, const std::vector<std::vector<std::string>>& rows);
// The value of the first selected row (-1 without a selection); its position
// in *row (-1).
int list_view_selected(void* list, int* row);
// Selects and focuses a row, as a click on it would.
void list_view_select(void* list, int row);

// ---- sound --------------------------------------------------------------------------

// The default message beep of that kind; the system's result (nonzero on success).
int message_beep(unsigned kind);

// ---- threads --------------------------------------------------------------------------

// Starts a thread running fn(arg); an opaque handle, or null when it cannot start.
void* thread_start(void (*fn)(void*), void* arg);
// Waits for the thread to end (no limit) and releases its handle.
void thread_join(void* thread);

}  // namespace plat
