// The SDI history dialog's logic (see history.h).
#include "history.h"

#include "platform/platform.h"

namespace {

constexpr std::int32_t kResultNoMax = 99999;

// The result before n in the circular order of result numbers.
std::int32_t previous_no(std::int32_t n) { return n - 1 >= 1 ? n - 1 : kResultNoMax; }

}  // namespace

namespace history {

bool open(Table* t) {
  *t = Table{};
  _sdi_list_no_read();
  if (zrsdi->list_no_cnt <= 0) {
    _mes_box("ＳＤＩ履歴はありません。", plat::kMbOk);
    return false;
  }
  std::int32_t n = zrsdi->list_no_t;
  for (int i = 0; i < kEntryMax && i < zrsdi->list_no_cnt; ++i) {
    Entry& e = t->entry[i];
    e.no = n;
    _sdi_result_head_read(n, &e.head);
    t->count = i + 1;
    n = previous_no(n);
  }
  _sdi_result_read(zrsdi->list_no_t);
  return true;
}

void item_text(const Entry& e, char* out, std::size_t cap) {
  zr::format(out, cap, "%s ～ %s", e.head.inq_date_f, e.head.inq_date_t);
}

void select(const Table& t, int item) {
  if (item >= 0 && item < t.count) _sdi_result_read(t.entry[item].no);
}

bool show(const Table& t, int item, int row, char* url, std::size_t cap) {
  zr01->disp_max = kDispMax;
  if (!sdi_view_open(row, "確認したい情報を選択してください。", url, cap)) return false;
  if (item >= 0 && item < t.count) _sdi_vwd_write(t.entry[item].no);
  return true;
}

}  // namespace history
