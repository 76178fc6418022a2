// What the two views of a stored result show and do, over the result loaded in
// zrsdi: the checker's new-arrivals dialog and the launcher's history dialog
// show the same summary and rows and open a request's hits the same way.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// "検索日時：%s %s\r\n検索範囲：%s ～ %s\r\n" of the loaded result.
void sdi_view_summary(char* out, std::size_t cap);
// The three column texts of request i: name, hit count, and viewed mark ("―"
// without hits, "○" viewed, a full-width space otherwise). Empty for a row
// outside the loaded result.
void sdi_view_row(int i, char (&name)[69], char (&count)[16], char (&mark)[4]);
// The rows of every loaded request: name, hit count and viewed mark.
std::vector<std::vector<std::string>> sdi_view_rows();
// Opening the hits of request i (-1: no row selected): with none, with no hits
// or with more than disp_max hits the reason is shown (none_selected is the
// text for the first) and false is returned. Otherwise the result page address
// is written to url, the request is marked viewed, and true is returned.
bool sdi_view_open(int i, const char* none_selected, char* url, std::size_t cap);
