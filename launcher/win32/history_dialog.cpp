#include "history_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include "platform/desktop.h"
#include "resource.h"
#include "zrlib.h"

namespace {

constexpr plat::ListColumn kColumns[] = {
    {"検索式名称", false, 40},
    {"検索数", true, 8},
    {"既読", true, 8},
};

}  // namespace

INT_PTR CQrt030Dlg::DoModal() {
  if (!history::open(&table_)) return IDCANCEL;
  return ModalDialog::DoModal(IDD_HISTORY);
}

void CQrt030Dlg::OnInitDialog() {
  HWND results = GetDlgItem(hwnd_, history::kIdResults);
  for (int i = 0; i < table_.count; ++i) {
    char item[64];
    history::item_text(table_.entry[i], item, sizeof item);
    SendMessageA(results, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  SendMessageA(results, CB_SETCURSEL, 0, 0);
  list_ = GetDlgItem(hwnd_, history::kIdRequests);
  plat::list_view_prepare(list_, kColumns, 3);
  Fill();
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  Centre();
  _mes_prog(1, "", 0);
}

// Centred over the menu's owner; the menu has none, so over the screen.
void CQrt030Dlg::Centre() {
  RECT area;
  HWND owner = parent_ ? GetWindow(parent_, GW_OWNER) : nullptr;
  if (!owner || !GetWindowRect(owner, &area)) {
    area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  RECT self;
  GetWindowRect(hwnd_, &self);
  const int w = self.right - self.left, h = self.bottom - self.top;
  SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - w) / 2,
               area.top + (area.bottom - area.top - h) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CQrt030Dlg::Fill() {
  char summary[256];
  sdi_view_summary(summary, sizeof summary);
  SetDlgItemTextA(hwnd_, history::kIdSummary, summary);
  plat::list_view_fill(list_, sdi_view_rows());
}

void CQrt030Dlg::OnSelect() {
  history::select(table_, static_cast<int>(
                              SendDlgItemMessageA(hwnd_, history::kIdResults, CB_GETCURSEL, 0, 0)));
  Fill();
}

void CQrt030Dlg::OnShow() {
  int row = -1;
  const int request = plat::list_view_selected(list_, &row);
  const int item =
      static_cast<int>(SendDlgItemMessageA(hwnd_, history::kIdResults, CB_GETCURSEL, 0, 0));
  char url[256];
  if (!history::show(table_, item, request, url, sizeof url)) return;
  ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
  Fill();
  if (row >= 0) plat::list_view_select(list_, row);
}

bool CQrt030Dlg::OnCommand(int id, int code) {
  if (id == history::kIdResults) {
    if (code == CBN_SELCHANGE) OnSelect();
    return true;
  }
  if (code != BN_CLICKED) return false;
  switch (id) {
    case history::kIdShow:
    case IDOK:  // Enter
      OnShow();
      return true;
    case history::kIdBack:
      Close(IDCANCEL);
      return true;
    default:
      return false;  // 説明 is hidden and does nothing; Escape closes
  }
}
