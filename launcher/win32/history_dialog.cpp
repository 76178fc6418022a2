#include "history_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include "dialog_object.h"
#include "platform/desktop.h"
#include "resource.h"
#include "zrlib.h"

namespace {

constexpr plat::ListColumn kColumns[] = {
    {"検索式名称", false, 40},
    {"検索数", true, 8},
    {"既読", true, 8},
};

void set_item_text(HWND list, int item, int column, char* text) {
  LVITEMA it{};
  it.iSubItem = column;
  it.pszText = text;
  SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
}

}  // namespace

INT_PTR CQrt030Dlg::DoModal() {
  if (!history::open(&table_)) return IDCANCEL;
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_HISTORY), parent_, Proc,
                         reinterpret_cast<LPARAM>(this));
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
  SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
  for (int i = 0; i < zrsdi->rslt_cnt && i < kSdiRsltMax; ++i) {
    char name[69], count[16], mark[4];
    sdi_view_row(i, name, count, mark);
    LVITEMA it{};
    it.mask = LVIF_TEXT | LVIF_PARAM;
    it.iItem = i;
    it.pszText = name;
    it.lParam = i;
    const int row =
        static_cast<int>(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
    if (row < 0) continue;
    set_item_text(list_, row, 1, count);
    set_item_text(list_, row, 2, mark);
  }
}

void CQrt030Dlg::OnSelect() {
  history::select(table_, static_cast<int>(
                              SendDlgItemMessageA(hwnd_, history::kIdResults, CB_GETCURSEL, 0, 0)));
  Fill();
}

void CQrt030Dlg::OnShow() {
  int request = -1;
  const int row = static_cast<int>(
      SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row >= 0) {
    LVITEMA it{};
    it.mask = LVIF_PARAM;
    it.iItem = row;
    if (SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) {
      request = static_cast<int>(it.lParam);
    }
  }
  const int item =
      static_cast<int>(SendDlgItemMessageA(hwnd_, history::kIdResults, CB_GETCURSEL, 0, 0));
  char url[256];
  if (!history::show(table_, item, request, url, sizeof url)) return;
  ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
  Fill();
  if (row >= 0) {
    LVITEMA sel{};
    sel.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    sel.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sel));
  }
}

INT_PTR CALLBACK CQrt030Dlg::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CQrt030Dlg* self = dialog_object<CQrt030Dlg>(hwnd, msg, lp);
  if (!self) return FALSE;
  switch (msg) {
    case WM_INITDIALOG:
      self->OnInitDialog();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == history::kIdResults) {
        if (HIWORD(wp) == CBN_SELCHANGE) self->OnSelect();
        return TRUE;
      }
      if (HIWORD(wp) != BN_CLICKED) return FALSE;
      switch (LOWORD(wp)) {
        case history::kIdShow:
        case IDOK:  // Enter
          self->OnShow();
          return TRUE;
        case history::kIdBack:
        case IDCANCEL:  // Escape
          EndDialog(hwnd, IDCANCEL);
          return TRUE;
        default:
          return FALSE;  // 説明 is hidden and does nothing
      }
    case WM_CLOSE:
      EndDialog(hwnd, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}
