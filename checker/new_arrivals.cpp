#include "new_arrivals.h"

#include "platform/platform.h"
#include "zrlib.h"
#include "schedule.h"
#include "sdi/sdi.h"
#include "sdi/view.h"

namespace checker {
namespace {

DialogFn g_dialog = nullptr;

void run_dialog() {
  if (g_dialog) g_dialog();
}

// A request of the loaded result that still deserves attention.
bool something_unseen() {
  for (int i = 0; i < zrsdi->rslt_cnt && i < kSdiRsltMax; ++i) {
    const ZR_SDI_RSLT& r = zrsdi->rslt[i];
    if (r.vwd_fg != 0) continue;
    if (r.inq_cnt != 0 || zrsdi->zero_disp != 1) return true;
  }
  return false;
}

}  // namespace

DialogFn dialog_set(DialogFn fn) {
  DialogFn prev = g_dialog;
  g_dialog = fn;
  return prev;
}

bool latest_enabled() { return zrsdi->new_state != 0 && zrsdi->checking != 1; }

void nad_opened() { zrsdi->new_state = 2; }

bool nad_open(int i, char* url, std::size_t cap) {
  return sdi_view_open(i, "確認したい新着情報を選択してください。", url, cap);
}

void nad_close(bool disp_first) {
  for (int i = 0; i < zrsdi->rslt_cnt && i < kSdiRsltMax; ++i) {
    if (zrsdi->rslt[i].inq_cnt == 0) zrsdi->rslt[i].vwd_fg = 1;
  }
  zrsdi->disp_first = disp_first ? 1 : 0;
  _sdi_config_write();
  _sdi_vwd_write(zrsdi->list_no_t);
}

}  // namespace checker

int sdi_disp_chk(bool asked) {
  checker::State& s = checker::state();
  if (zrsdi->open_dialog) return 0;
  if (zrsdi->new_state == 0) {
    s.last_shown = 0;
    return 1;
  }
  if (asked) {
    checker::run_dialog();
    return 0;
  }
  if (zrsdi->new_state == 2 && zrsdi->disp_first == 1) {
    s.last_shown = 0;
    return 1;
  }
  if (!checker::something_unseen()) {
    s.last_shown = 0;
    return 1;
  }
  if (checker::seconds_of(checker::now()) - s.last_shown < zrsdi->disp_period) return 0;
  checker::run_dialog();
  s.last_shown = checker::seconds_of(checker::now());
  return 0;
}
