// The shared views of a loaded result (see view.h).
#include "sdi/view.h"

#include "platform/platform.h"
#include "runtime/zrcommon.h"

namespace {

bool valid_row(int i) { return i >= 0 && i < zrsdi->rslt_cnt && i < kSdiRsltMax; }

}  // namespace

void sdi_view_summary(char* out, std::size_t cap) {
  zr::format(out, cap, "検索日時：%s %s\r\n検索範囲：%s ～ %s\r\n", zrsdi->sdi_date,
             zrsdi->sdi_time, zrsdi->inq_date_f, zrsdi->inq_date_t);
}

void sdi_view_row(int i, char (&name)[69], char (&count)[16], char (&mark)[4]) {
  name[0] = count[0] = mark[0] = '\0';
  if (!valid_row(i)) return;
  const ZR_SDI_RSLT& r = zrsdi->rslt[i];
  zr::copy(name, r.exp_nm);
  ZR_FMT(count, "%d", r.inq_cnt);
  zr::copy(mark, r.inq_cnt == 0 ? "―" : r.vwd_fg == 1 ? "○" : "　");
}

std::vector<std::vector<std::string>> sdi_view_rows() {
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < zrsdi->rslt_cnt && i < kSdiRsltMax; ++i) {
    char name[69], count[16], mark[4];
    sdi_view_row(i, name, count, mark);
    rows.push_back({name, count, mark});
  }
  return rows;
}

bool sdi_view_open(int i, const char* none_selected, char* url, std::size_t cap) {
  if (!valid_row(i)) {
    _mes_box(none_selected, plat::kMbOk);
    return false;
  }
  ZR_SDI_RSLT& r = zrsdi->rslt[i];
  if (r.inq_cnt == 0) {
    _mes_box("検索結果が０件です。表示できません。", plat::kMbOk);
    return false;
  }
  if (r.inq_cnt > zr01->disp_max) {
    char text[128];
    ZR_FMT(text, "表示件数が%dを超えました。表示できません。", zr01->disp_max);
    _mes_box(text, plat::kMbOk);
    return false;
  }
  // The page is on the first configured host, whichever host is in use.
  zr::format(url, cap, "http://%s/QRT_SDI.HTM?KD00=TM&RNO=%05d", zrconn->host_nm[0], r.rslt_no);
  r.vwd_fg = 1;
  return true;
}
