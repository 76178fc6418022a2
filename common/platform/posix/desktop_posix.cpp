// The native build has no desktop. The tray keeps its record but shows nothing
// (the caller traces each step), the screen is one 1920 x 1080 monitor without a
// taskbar, device contexts are empty, and beeps are silent.
#include <pthread.h>

#include <cstring>
#include <new>

#include "platform/desktop.h"

namespace plat {
namespace {

// What a record holds natively: enough to answer the tray calls.
struct TrayRecord {
  void* wnd;
  unsigned id;
  unsigned callback_msg;
  void* icon;
  char tip[128];
};

struct Thread {
  pthread_t id;
  void (*fn)(void*);
  void* arg;
};

void* thread_main(void* p) {
  auto* t = static_cast<Thread*>(p);
  t->fn(t->arg);
  return nullptr;
}

}  // namespace

bool tray_traced() { return true; }
std::size_t tray_record_size() { return sizeof(TrayRecord); }

void tray_fill(void* rec, void* wnd, unsigned id, unsigned callback_msg, void* icon,
               const char* tip) {
  auto* r = static_cast<TrayRecord*>(rec);
  std::memset(r, 0, sizeof *r);
  r->wnd = wnd;
  r->id = id;
  r->callback_msg = callback_msg;
  r->icon = icon;
  if (tip) std::strncpy(r->tip, tip, sizeof r->tip - 1);
}

bool tray_add(void* rec) { return rec != nullptr; }

bool tray_set_tip(void* rec, const char* tip) {
  auto* r = static_cast<TrayRecord*>(rec);
  std::strncpy(r->tip, tip, sizeof r->tip - 1);
  return true;
}

bool tray_balloon(void*, const char*, const char*, int) { return true; }
void tray_delete(void*) {}

namespace {
struct Geometry {
  int monitors = 1;
  Rect screen{0, 0, 1920, 1080};
  bool has_taskbar = false;
  Rect taskbar;
};
Geometry g_geometry;
}  // namespace

void desktop_geometry_set(int monitors, const Rect& screen, const Rect* taskbar) {
  g_geometry.monitors = monitors;
  g_geometry.screen = screen;
  g_geometry.has_taskbar = taskbar != nullptr;
  if (taskbar) g_geometry.taskbar = *taskbar;
}

Rect virtual_screen() { return g_geometry.screen; }
int monitor_count() { return g_geometry.monitors; }
int caption_height() { return 23; }
bool taskbar_rect(Rect& out) {
  if (!g_geometry.has_taskbar) return false;
  out = g_geometry.taskbar;
  return true;
}

int dc_draw_dib(void*, int, int, int, int dh, const void*, const void*, bool) { return dh; }
bool dc_capture(void*, int, int, int, int, void*) { return false; }
void window_text_color(void*, std::uint32_t) {}

void list_view_prepare(void*, const ListColumn*, int) {}
void list_view_fill(void*, const std::vector<std::vector<std::string>>&) {}
int list_view_selected(void*, int* row) {
  *row = -1;
  return -1;
}
void list_view_select(void*, int) {}

int message_beep(unsigned) { return 1; }

void* thread_start(void (*fn)(void*), void* arg) {
  auto* t = new (std::nothrow) Thread{{}, fn, arg};
  if (!t) return nullptr;
  if (pthread_create(&t->id, nullptr, thread_main, t) != 0) {
    delete t;
    return nullptr;
  }
  return t;
}

void thread_join(void* thread) {
  auto* t = static_cast<Thread*>(thread);
  if (!t) return;
  pthread_join(t->id, nullptr);
  delete t;
}

}  // namespace plat
