// Desktop helpers: the reachability of a saved window rectangle, the taskbar
// side, fitting a picture into a box, the window-size table file, the tray's
// steps (traced natively), and BMP images in memory.
#include <cstring>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "runtime/desktop.h"
#include "test_support.h"

namespace {

using qrt_test::read_file;
using qrt_test::write_file;

class DesktopTest : public qrt_test::AreasTest {
 protected:
  void TearDown() override {
#ifndef _WIN32
    plat::desktop_geometry_set(1, plat::Rect{0, 0, 1920, 1080}, nullptr);
#endif
    _tray_del();
    AreasTest::TearDown();
  }
};

TEST(DesktopRectCalc, FitsThePictureKeepingItsProportions) {
  const struct {
    int bw, bh, pw, ph, x, y, w, h;
  } cases[] = {
      {100, 50, 200, 200, 25, 0, 50, 50},   // square into a wide box
      {100, 100, 50, 200, 37, 0, 25, 100},  // tall picture
      {100, 100, 200, 50, 0, 37, 100, 25},  // wide picture
      {100, 40, 100, 200, 40, 0, 20, 40},
      {100, 50, 0, 10, 50, 25, 0, 0},  // a picture without a size gets no area
  };
  for (const auto& c : cases) {
    int x = -1, y = -1, w = -1, h = -1;
    _rect_calc(c.bw, c.bh, c.pw, c.ph, &x, &y, &w, &h);
    EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{c.x, c.y, c.w, c.h}))
        << c.bw << "x" << c.bh << " <- " << c.pw << "x" << c.ph;
  }
}

#ifndef _WIN32
TEST_F(DesktopTest, WindowPositionCheckFindsTheSideThatIsOutOfReach) {
  const plat::Rect screen{0, 0, 1920, 1080};
  const plat::Rect bottom_bar{0, 1040, 1920, 1080};
  plat::desktop_geometry_set(1, screen, &bottom_bar);
  const struct {
    ZR_RECT rc;
    int result;
    const char* trace;  // the line's text after the code, or null for none
  } cases[] = {
      {{100, 100, 120, 400}, -1, nullptr},  // 20 pixels wide
      {{-400, 100, 40, 400}, -1, "[Out of Frame cd:1] (L) c:   40, p:    0"},
      {{1900, 100, 2400, 400}, -1, "[Out of Frame cd:3] (R) c: 1900, p: 1920"},
      {{100, -200, 500, 10}, -1, "[Out of Frame cd:2] (T) c:   10, p:    0"},
      {{100, -20, 500, 400}, -1, "[Out of Frame cd:11] (T) c:  -20, p:    0, s:   16"},
      {{100, 1030, 500, 1400}, -1, "[Out of Frame cd:34] (B) c: 1030, p: 1080, b:   40"},
      {{100, 100, 500, 400}, 0, nullptr},
  };
  for (const auto& c : cases) {
    std::size_t before = trace().size();
    EXPECT_EQ(_wnd_pos_chk(&c.rc), c.result) << c.rc.left << "," << c.rc.top;
    auto lines = trace();
    if (!c.trace) {
      EXPECT_EQ(lines.size(), before);
    } else {
      ASSERT_EQ(lines.size(), before + 1);
      EXPECT_EQ(lines.back().rfind(std::string(c.trace) + ", ptr:", 0), 0u) << lines.back();
    }
  }
  // With two monitors the taskbar no longer counts.
  plat::desktop_geometry_set(2, screen, &bottom_bar);
  ZR_RECT rc{100, 1030, 500, 1400};
  EXPECT_EQ(_wnd_pos_chk(&rc), 0);
}

TEST_F(DesktopTest, TaskbarSizeOnTheSideWhereItIsDocked) {
  const plat::Rect screen{0, 0, 1920, 1080};
  const struct {
    plat::Rect bar;
    std::vector<int> sizes;  // left, top, right, bottom
  } cases[] = {
      {{0, 1040, 1920, 1080}, {0, 0, 0, 40}},
      {{1860, 0, 1920, 1080}, {0, 0, 60, 0}},
      {{0, 0, 1920, 30}, {0, 30, 0, 0}},
      {{0, 0, 50, 1080}, {50, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    plat::desktop_geometry_set(1, screen, &c.bar);
    int l = -1, t = -1, r = -1, b = -1;
    _taskbar_sz(&l, &t, &r, &b);
    EXPECT_EQ((std::vector<int>{l, t, r, b}), c.sizes);
  }
  plat::desktop_geometry_set(2, screen, &cases[0].bar);
  int l = -1, t = -1, r = -1, b = -1;
  _taskbar_sz(&l, &t, &r, &b);
  EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{0, 0, 0, 0}));
  char info[64];
  _screen_info(info);
  EXPECT_STREQ(info, "2_0_0_1920_1080");
}

TEST_F(DesktopTest, TrayStepsAreTracedAndANullTipChangesNothing) {
  int window = 0;
  EXPECT_EQ(_tray_add(nullptr, 1, 0x83ED, nullptr, "tip"), 0);  // no window: nothing
  EXPECT_EQ(zrsdi->tray_rec, nullptr);
  EXPECT_EQ(_tray_add(&window, 1, 0x83ED, nullptr, "Orvanta SDIチェッカー起動中"), 0);
  EXPECT_NE(zrsdi->tray_rec, nullptr);
  EXPECT_EQ(_tray_tip(nullptr), 0);
  EXPECT_EQ(_tray_tip("公報チェック稼働中"), 1);
  EXPECT_EQ(_tray_balloon("【 Orvanta SDIチェッカー 】", "SDIチェッカーを起動しました", 1), 1);
  _tray_del();
  EXPECT_EQ(zrsdi->tray_rec, nullptr);
  EXPECT_EQ(trace(),
            (std::vector<std::string>{"[tray] add id:1 msg:0x83ED tip:Orvanta SDIチェッカー起動中",
                                      "[tray] tip:公報チェック稼働中",
                                      "[tray] balloon icon:1 title:【 Orvanta SDIチェッカー 】 "
                                      "text:SDIチェッカーを起動しました",
                                      "[tray] delete"}));
}
#endif

TEST_F(DesktopTest, WindowSizeTableRoundTripsThroughItsFile) {
  _mkdir_all(dir.join("DATA").c_str());
  ZR_DISP_SIZE entry{7, -10, 20, 830, 640};
  std::memcpy(zrsdi->disp_size + 3 * sizeof entry, &entry, sizeof entry);
  _dspsize_write();
  std::string file = read_file(dir.join("DATA\\DISPSIZE.FIL"));
  ASSERT_EQ(file.size(), 854u);
  EXPECT_EQ(file.substr(0, 4), "0003");
  EXPECT_EQ(file.substr(4 + 51, 17), std::string(reinterpret_cast<const char*>(&entry), 17));

  std::memset(zrsdi->disp_size, 0, sizeof zrsdi->disp_size);
  _dspsize_read(3);
  ZR_DISP_SIZE back;
  std::memcpy(&back, zrsdi->disp_size + 51, sizeof back);
  int kind = back.kind, left = back.left, bottom = back.bottom;  // packed fields
  EXPECT_EQ(kind, 7);
  EXPECT_EQ(left, -10);
  EXPECT_EQ(bottom, 640);
  EXPECT_FALSE(std::filesystem::exists(dir.join("DATA\\DISPSIZE.OLD")));
}

TEST_F(DesktopTest, OtherVersionIsKeptAsOldCopyAndAMissingFileClearsTheTable) {
  _mkdir_all(dir.join("DATA").c_str());
  std::string old = "0002" + std::string(17, 'x');
  write_file(dir.join("DATA\\DISPSIZE.FIL"), old);
  std::memset(zrsdi->disp_size, 0x55, sizeof zrsdi->disp_size);
  _dspsize_read(kDispSizeAll);
  EXPECT_EQ(read_file(dir.join("DATA\\DISPSIZE.OLD")), old);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(zrsdi->disp_size), 17), std::string(17, 'x'));
  EXPECT_EQ(zrsdi->disp_size[17], 0);

  std::filesystem::remove(dir.join("DATA\\DISPSIZE.FIL"));
  std::memset(zrsdi->disp_size, 0x55, sizeof zrsdi->disp_size);
  _dspsize_read(kDispSizeAll);
  EXPECT_EQ(zrsdi->disp_size[0], 0);
  EXPECT_EQ(zrsdi->disp_size[sizeof zrsdi->disp_size - 1], 0);
}

TEST_F(DesktopTest, BmpImagesOfAreasAndTheirChecks) {
  EXPECT_EQ(_dc2mem(nullptr, 0, 0, 0, 10, nullptr), 0);  // empty area
  int size = _dc2mem(nullptr, 0, 0, 3, 2, nullptr);
  EXPECT_EQ(size, 54 + 12 * 2);  // rows of 9 bytes padded to 12
  std::vector<std::uint8_t> image(static_cast<std::size_t>(size));
  EXPECT_EQ(_dc2mem(nullptr, 0, 0, 3, 2, image.data()), size);
  EXPECT_EQ(image[0], 'B');
  EXPECT_EQ(image[1], 'M');
  EXPECT_EQ(image[10], 54);
  EXPECT_EQ(image[28], 24);  // bits per pixel
  EXPECT_EQ(_mem2dc(nullptr, 0, 0, image.data()), 0);

  std::vector<std::uint8_t> bad(image);
  bad[0] = 'X';
  EXPECT_EQ(_mem2dc(nullptr, 0, 0, bad.data()), -1);
  EXPECT_EQ(_bmp_draw(nullptr, 0, 0, 10, 10, bad.data()), 0x4D42);
  std::vector<std::uint8_t> four_bit(image);
  four_bit[28] = 4;
  EXPECT_EQ(_bmp_draw(nullptr, 0, 0, 10, 10, four_bit.data()), 4 - 24);

  _dc2bmp(nullptr, 0, 0, 3, 2, dir.join("shot.bmp").c_str());
  EXPECT_EQ(read_file(dir.join("shot.bmp")).size(), static_cast<std::size_t>(size));
  EXPECT_EQ(_bmp2dc(nullptr, 0, 0, dir.join("shot.bmp").c_str()), 0);
  EXPECT_EQ(_bmp2dc(nullptr, 0, 0, dir.join("missing.bmp").c_str()), -1);
}

TEST_F(DesktopTest, ColourNumbersAndTheStoredValue) {
  std::uint32_t colour = 1;
  int value = 0;
  u_color(4, 17);
  EXPECT_EQ(u_getcolor(&colour, &value), 17);
  EXPECT_EQ(colour, 0x0000FFu);
  u_color(9, 3);  // unknown number: the colour stays
  EXPECT_EQ(u_getcolor(&colour, &value), 3);
  EXPECT_EQ(colour, 0x0000FFu);
  EXPECT_EQ(value, 3);
}

}  // namespace
