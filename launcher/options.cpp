// The SDI options dialog's logic (see options.h).
#include "options.h"

#include <cstring>
#include <iterator>

#include "platform/platform.h"
#include "zrlib.h"

namespace {

options::Shell g_shell;

template <std::size_t N>
int clamp_index(int value) {
  return value >= 0 && value < static_cast<int>(N) ? value : 0;
}

}  // namespace

namespace options {

void time_item(int i, char (&out)[6]) {
  const int minutes = (i + 1) * 30;
  ZR_FMT(out, "%02d:%02d", minutes / 60, minutes % 60);
}

int time_index(const char* check_time) {
  for (int i = 0; i < kTimeCount; ++i) {
    char item[6];
    time_item(i, item);
    if (std::strncmp(check_time, item, 5) == 0) return i;
  }
  return kTimeFallback;
}

Choice on_open() {
  Choice c;
  c.dlv_type = clamp_index<std::size(kDlvTypes)>(zrsdi->dlv_type);
  c.check_time = time_index(zrsdi->check_time);
  c.disp_cycle = clamp_index<std::size(kDispCycles)>(zrsdi->disp_cycle);
  c.auto_start = zrsdi->auto_start != 0;
  c.zero_disp = zrsdi->zero_disp != 0;
  return c;
}

void store(const Choice& c) {
  char item[6];
  time_item(c.check_time >= 0 && c.check_time < kTimeCount ? c.check_time : kTimeFallback, item);
  ZR_FMT(zrsdi->check_time, "%s:00", item);
  zrsdi->dlv_type = static_cast<std::uint8_t>(clamp_index<std::size(kDlvTypes)>(c.dlv_type));
  zrsdi->disp_cycle = static_cast<std::int16_t>(clamp_index<std::size(kDispCycles)>(c.disp_cycle));
  zrsdi->auto_start = c.auto_start ? 1 : 0;
  zrsdi->zero_disp = c.zero_disp ? 1 : 0;
  keep_shortcut(c.auto_start);
  _sdi_config_write();
}

Shell shell_set(const Shell& s) {
  Shell previous = g_shell;
  g_shell = s;
  return previous;
}

void keep_shortcut(bool on) {
  std::string folder;
  if (!g_shell.startup_folder || !g_shell.startup_folder(&folder)) {
    _mes_box("フォルダーの取得に失敗しました。", plat::kMbOk);
    return;
  }
  const std::string path = folder + "\\QRT_SDI.LNK";
  if (!on) {
    _dbg_print("STARTUP[%s]", path.c_str());
    if (plat::path_exists(path.c_str())) plat::remove_file(path.c_str());
    return;
  }
  const std::string target = std::string(zrenv->inst_dir) + "\\qrt000.exe";
  const Link link{.path = path,
                  .target = target,
                  .arguments = std::string("S"),
                  .folder = std::string(zrenv->inst_dir),
                  .description = std::string("Orvanta SDI"),
                  .icon = target};
  _dbg_print("STARTUP[%s]", path.c_str());
  if (g_shell.save && !g_shell.save(link)) _dbg_print("STARTUP: the shortcut was not saved");
}

}  // namespace options
