#include "runtime/desktop.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/platform.h"
#include "runtime/zrcommon.h"

namespace {

constexpr std::size_t kDispSizeBytes = kDispSizeSlots * sizeof(ZR_DISP_SIZE);
constexpr std::size_t kBmpFileHeader = 14;
constexpr std::size_t kBmpInfoHeader = 40;
constexpr std::uint16_t kBmpMagic = 0x4D42;  // "BM"

void put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}
std::uint32_t get16(const std::uint8_t* p) {
  return p[0] | (static_cast<std::uint32_t>(p[1]) << 8);
}
std::uint32_t get32(const std::uint8_t* p) { return get16(p) | (get16(p + 2) << 16); }

void dspsize_path(char* out, std::size_t cap, const char* name) {
  zr::format(out, cap, "%s\\DATA\\%s", zrenv->inst_dir, name);
}

// The version number of the file's first four bytes: decimal, or hexadecimal
// after "0x".
long dspsize_version(const char (&text)[5]) {
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    return std::strtol(text + 2, nullptr, 16);
  return std::strtol(text, nullptr, 10);
}

// Writes the file and information headers of a 24-bit bottom-up picture.
void bmp24_headers(std::uint8_t* out, int w, int h, std::uint32_t image_size) {
  std::memset(out, 0, kBmpFileHeader + kBmpInfoHeader);
  put16(out, kBmpMagic);
  put32(out + 2, image_size);
  put32(out + 10, kBmpFileHeader + kBmpInfoHeader);
  std::uint8_t* info = out + kBmpFileHeader;
  put32(info, kBmpInfoHeader);
  put32(info + 4, static_cast<std::uint32_t>(w));
  put32(info + 8, static_cast<std::uint32_t>(h));
  put16(info + 12, 1);
  put16(info + 14, 24);
  put32(info + 20, image_size - static_cast<std::uint32_t>(kBmpFileHeader + kBmpInfoHeader));
}

// Draws a complete BMP file image at x, y: scaled into w x h when given, else at
// its own size. The result of the drawing, or the codes of _bmp_draw.
int draw_bmp_image(void* dc, int x, int y, int w, int h, bool fit, const std::uint8_t* image) {
  if (get16(image) != kBmpMagic) return kBmpMagic;
  const std::uint8_t* info = image + kBmpFileHeader;
  int bits = static_cast<int>(get16(info + 14));
  int colors = bits == 1 ? 2 : bits == 8 ? 256 : 0;
  if (bits != 1 && bits != 8 && bits != 24) return bits - 24;
  std::uint32_t info_size = get32(info);
  if (info_size < kBmpInfoHeader) info_size = kBmpInfoHeader;
  const std::uint8_t* pixels = info + info_size + colors * 4;
  int pw = static_cast<int>(get32(info + 4));
  int ph = static_cast<int>(get32(info + 8));
  if (ph < 0) ph = -ph;
  if (!fit) return plat::dc_draw_dib(dc, x, y, pw, ph, info, pixels, false);
  int ox = 0, oy = 0, fw = 0, fh = 0;
  _rect_calc(w, h, pw, ph, &ox, &oy, &fw, &fh);
  return plat::dc_draw_dib(dc, x + ox, y + oy, fw, fh, info, pixels, true);
}

}  // namespace

namespace zr {

std::int64_t bmp24_image_size(std::int64_t w, std::int64_t h) {
  if (w <= 0 || h <= 0) return 0;
  std::int64_t row = (w * 3 + 3) / 4 * 4;
  if (row > 0x7FFFFFFF / h) return 0;
  std::int64_t size = row * h + static_cast<std::int64_t>(kBmpFileHeader + kBmpInfoHeader);
  return size > 0x7FFFFFFF ? 0 : size;
}

}  // namespace zr

// ---- tray icon -------------------------------------------------------------------

int _tray_add(void* wnd, unsigned icon_id, unsigned callback_msg, void* icon, const char* tip) {
  if (!wnd) return 0;
  if (zrsdi->tray_rec) _tray_del();
  void* rec = _malloc(static_cast<std::int32_t>(plat::tray_record_size()));
  if (!rec) return -1;
  zrsdi->tray_rec = rec;
  plat::tray_fill(rec, wnd, icon_id, callback_msg, icon, tip);
  if (plat::tray_traced()) {
    _dbg_print("[tray] add id:%u msg:0x%X tip:%s", icon_id, callback_msg, tip ? tip : "");
  }
  if (!plat::tray_add(rec)) _dbg_print("タスクトレイにアイコンを登録できませんでした。");
  return 0;
}

int _tray_tip(const char* tip) {
  if (!tip) return 0;
  if (!zrsdi->tray_rec) return 1;
  if (plat::tray_traced()) _dbg_print("[tray] tip:%s", tip);
  plat::tray_set_tip(zrsdi->tray_rec, tip);
  return 1;
}

int _tray_balloon(const char* title, const char* text, int icon_type) {
  if (!zrsdi->tray_rec) return 1;
  if (plat::tray_traced()) {
    _dbg_print("[tray] balloon icon:%d title:%s text:%s", icon_type, title ? title : "",
               text ? text : "");
  }
  plat::tray_balloon(zrsdi->tray_rec, title ? title : "", text ? text : "", icon_type);
  return 1;
}

void _tray_del() {
  if (!zrsdi->tray_rec) return;
  if (plat::tray_traced()) _dbg_print("[tray] delete");
  plat::tray_delete(zrsdi->tray_rec);
  _free(zrsdi->tray_rec);
  zrsdi->tray_rec = nullptr;
}

// ---- screens and window rectangles ---------------------------------------------------

void _taskbar_sz(int* left, int* top, int* right, int* bottom) {
  *left = *top = *right = *bottom = 0;
  if (plat::monitor_count() > 1) return;
  plat::Rect bar;
  if (!plat::taskbar_rect(bar)) return;
  plat::Rect vs = plat::virtual_screen();
  if (bar.right == vs.right && bar.bottom == vs.bottom) {
    if (bar.left != vs.left) {
      *right = bar.right - bar.left;
    } else if (bar.top != vs.top) {
      *bottom = bar.bottom - bar.top;
    }
  } else if (bar.right == vs.right) {
    *top = bar.bottom - bar.top;
  } else {
    *left = bar.right - bar.left;
  }
}

int _wnd_pos_chk(const ZR_RECT* rc) {
  if (!rc) return -1;
  if (rc->right - rc->left <= 20 || rc->bottom - rc->top <= 20) return -1;
  plat::Rect vs = plat::virtual_screen();
  const int vx = vs.left, vy = vs.top, vr = vs.right, vb = vs.bottom;
  const int cap = plat::caption_height() - plat::caption_height() / 3;
  int code = 0;
  char text[96] = "";
  if (rc->right <= vx + 55) {
    code = 1;
    ZR_FMT(text, "(L) c:%5d, p:%5d", rc->right, vx);
  } else if (rc->bottom <= vy + 20) {
    code = 2;
    ZR_FMT(text, "(T) c:%5d, p:%5d", rc->bottom, vy);
  } else if (rc->left >= vr - 55) {
    code = 3;
    ZR_FMT(text, "(R) c:%5d, p:%5d", rc->left, vr);
  } else if (rc->top >= vb - 20) {
    code = 4;
    ZR_FMT(text, "(B) c:%5d, p:%5d", rc->top, vb);
  } else if (rc->top <= vy - cap) {
    code = 11;
    ZR_FMT(text, "(T) c:%5d, p:%5d, s:%5d", rc->top, vy, cap);
  } else if (plat::monitor_count() > 1) {
    return 0;
  } else {
    int bl = 0, bt = 0, br = 0, bb = 0;
    _taskbar_sz(&bl, &bt, &br, &bb);
    if (rc->left >= vr - br - 55) {
      code = 33;
      ZR_FMT(text, "(R) c:%5d, p:%5d, b:%5d", rc->left, vr, br);
    } else if (rc->top >= vb - bb - 20) {
      code = 34;
      ZR_FMT(text, "(B) c:%5d, p:%5d, b:%5d", rc->top, vb, bb);
    } else {
      return 0;
    }
  }
  _dbg_print("[Out of Frame cd:%d] %s, ptr:%d", code, text,
             static_cast<int>(reinterpret_cast<std::uintptr_t>(rc)));
  return -1;
}

void _screen_info(char* out) {
  plat::Rect vs = plat::virtual_screen();
  zr::format(out, 64, "%d_%d_%d_%d_%d", plat::monitor_count(), vs.top, vs.left, vs.right,
             vs.bottom);
}

void _rect_calc(int box_w, int box_h, int pic_w, int pic_h, int* x, int* y, int* w, int* h) {
  long long fw = 0, fh = 0;
  // A picture without a size has nothing to fit: it gets no area, centred.
  if (pic_w > 0 && pic_h > 0) {
    if (pic_w < pic_h) {
      fh = box_h;
      fw = static_cast<long long>(box_h) * pic_w / pic_h;
      if (fw > box_w) {
        long long prev = fw;
        fw = box_w;
        fh = prev ? static_cast<long long>(box_w) * box_h / prev : 0;
      }
    } else {
      fw = box_w;
      fh = static_cast<long long>(box_w) * pic_h / pic_w;
      if (fh > box_h) {
        long long prev = fh;
        fw = prev ? static_cast<long long>(box_w) * box_h / prev : 0;
        fh = box_h;
      }
    }
  }
  *w = static_cast<int>(fw);
  *h = static_cast<int>(fh);
  *x = static_cast<int>((box_w - fw) / 2);
  *y = static_cast<int>((box_h - fh) / 2);
}

// ---- window-size table ---------------------------------------------------------------

void _dspsize_read(int slot) {
  zr::copy(zrwork->rtn_nm, "_dspsize_read");
  char fnm[300];
  dspsize_path(fnm, sizeof fnm, "DISPSIZE.FIL");
  std::FILE* fp = _fopen_ext(fnm, "rb");
  if (!fp) {
    std::memset(zrsdi->disp_size, 0, kDispSizeBytes);
    return;
  }
  char version_text[5] = {};
  _fread(version_text, 1, 4, fp);
  long version = dspsize_version(version_text);
  if (version != 3) {
    char old[300];
    dspsize_path(old, sizeof old, "DISPSIZE.OLD");
    _copy(fnm, old);
  }
  if (slot == kDispSizeAll) {
    if (version != 3) std::memset(zrsdi->disp_size, 0, kDispSizeBytes);
    _fread(zrsdi->disp_size, 1, kDispSizeBytes, fp);
  } else if (slot >= 0 && slot < kDispSizeSlots) {
    // Slots outside the table are refused: the file holds nothing for them.
    _fseek(fp, static_cast<long>(4 + slot * sizeof(ZR_DISP_SIZE)), SEEK_SET);
    _fread(zrsdi->disp_size + slot * sizeof(ZR_DISP_SIZE), 1, sizeof(ZR_DISP_SIZE), fp);
  } else {
    _dbg_print("_dspsize_read: slot %d is outside the table", slot);
  }
  _fclose(fp);
}

void _dspsize_write() {
  zr::copy(zrwork->rtn_nm, "_dspsize_write");
  char fnm[300];
  dspsize_path(fnm, sizeof fnm, "DISPSIZE.FIL");
  std::uint8_t body[4 + kDispSizeBytes];
  std::memcpy(body, "0003", 4);
  std::memcpy(body + 4, zrsdi->disp_size, kDispSizeBytes);
  if (zr_replace_file(fnm, body, sizeof body) != 0) {
    zr::copy(zrwork->fail_fnm, fnm);
    _io_error(nullptr, ZR_IO_FOPEN, "wb");
  }
}

// ---- bitmaps -------------------------------------------------------------------------

int _bmp2dc(void* dc, int x, int y, const char* file) {
  std::FILE* fp = _fopen_ext(file, "rb");
  if (!fp) return -1;
  long size = _fsize(fp);
  if (size < static_cast<long>(kBmpFileHeader + kBmpInfoHeader)) {
    _fclose(fp);
    return -1;
  }
  std::vector<std::uint8_t> image(static_cast<std::size_t>(size));
  std::size_t got = _fread(image.data(), 1, image.size(), fp);
  _fclose(fp);
  if (got != image.size() || get16(image.data()) != kBmpMagic) return -1;
  draw_bmp_image(dc, x, y, 0, 0, false, image.data());
  return 0;
}

int _bmp_draw(void* dc, int x, int y, int w, int h, const void* image) {
  if (!image) return kBmpMagic;
  return draw_bmp_image(dc, x, y, w, h, true, static_cast<const std::uint8_t*>(image));
}

int _dc2mem(void* dc, int left, int top, int right, int bottom, void* out) {
  int w = right - left, h = bottom - top;
  std::int64_t size = zr::bmp24_image_size(w, h);
  if (size == 0) return 0;
  if (!out) return static_cast<int>(size);
  auto* p = static_cast<std::uint8_t*>(out);
  bmp24_headers(p, w, h, static_cast<std::uint32_t>(size));
  if (!plat::dc_capture(dc, left, top, w, h, p + kBmpFileHeader + kBmpInfoHeader)) {
    std::memset(p + kBmpFileHeader + kBmpInfoHeader, 0,
                static_cast<std::size_t>(size) - kBmpFileHeader - kBmpInfoHeader);
  }
  return static_cast<int>(size);
}

void _dc2bmp(void* dc, int left, int top, int right, int bottom, const char* file) {
  int size = _dc2mem(dc, left, top, right, bottom, nullptr);
  if (size == 0) return;
  void* buf = _malloc(size);
  if (!buf) return;
  _dc2mem(dc, left, top, right, bottom, buf);
  std::FILE* fp = _fopen(file, "wb");
  _fwrite(buf, 1, static_cast<std::size_t>(size), fp);
  _fclose(fp);
  _free(buf);
}

int _mem2dc(void* dc, int x, int y, const void* image) {
  if (!image || get16(static_cast<const std::uint8_t*>(image)) != kBmpMagic) return -1;
  draw_bmp_image(dc, x, y, 0, 0, false, static_cast<const std::uint8_t*>(image));
  return 0;
}

// ---- beeps and colours ---------------------------------------------------------------

int u_beep(int kind) { return plat::message_beep(static_cast<unsigned>(kind)); }

int __beep() {
  plat::message_beep(0xFFFFFFFFu);
  plat::sleep_ms(1000);
  return plat::message_beep(0xFFFFFFFFu);
}

void u_color(int color, int value) {
  static constexpr std::uint32_t kColors[8] = {0x000000, 0xFF0000, 0x00FF00, 0xFFFF00,
                                               0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  if (color >= 0 && color < 8) zrsdi->u_color_ref = kColors[color];
  zrsdi->u_color_val = value;
  if (zrsdi->main_wnd) plat::window_text_color(zrsdi->main_wnd, zrsdi->u_color_ref);
}

int u_getcolor(std::uint32_t* color, int* value) {
  if (color) *color = zrsdi->u_color_ref;
  if (value) *value = zrsdi->u_color_val;
  return zrsdi->u_color_val;
}
