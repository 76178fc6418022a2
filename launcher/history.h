// The SDI history dialog's logic, without its window: the table of the newest
// results, the texts of its drop-down list, and 結果表示.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zrlib.h"

namespace history {

// Control IDs of the history dialog (dialog resource 219).
enum : int {
  kIdResults = 1105,   // drop-down list of the results
  kIdSummary = 1133,   // the two lines about the result shown
  kIdRequests = 1091,  // list view of its search requests
  kIdShow = 1107,      // 結果表示
  kIdBack = 1104,      // 戻り
  kIdHelp = 1076,      // 説明 (hidden)
};

inline constexpr int kEntryMax = 10;
// The largest hit count whose page 結果表示 opens.
inline constexpr std::int32_t kDispMax = 10000;

struct Entry {
  std::int32_t no = 0;  // result number
  ZR_SDI_HEAD head{};
};
struct Table {
  Entry entry[kEntryMax];
  int count = 0;
};

// Opening the dialog: loads the result counters; without results shows
// "ＳＤＩ履歴はありません。" and returns false (the dialog closes). Otherwise
// builds the table (newest first: list_no_t, then one less each, 0 wrapping to
// 99999; at most ten and at most list_no_cnt), loads the newest result and
// returns true.
bool open(Table* t);
// The drop-down item of an entry: "%s ～ %s" with its first and last issue date.
void item_text(const Entry& e, char* out, std::size_t cap);
// Another item chosen: loads its result.
void select(const Table& t, int item);
// 結果表示 on request row (-1: none selected) of the result of item: true with
// the page address in url when the page is to be opened; the request is then
// marked viewed and the viewed flags of that result are stored.
bool show(const Table& t, int item, int row, char* url, std::size_t cap);

}  // namespace history
