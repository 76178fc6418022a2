#include "options_dialog.h"

#include "network_dialog.h"
#include "options.h"
#include "platform/platform.h"
#include "resource.h"
#include "zrlib.h"

namespace {

void fill(HWND combo, const char* const* items, int count, int selected) {
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < count; ++i)
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i]));
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int selected(HWND dlg, int id) {
  return static_cast<int>(SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0));
}

bool checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }

}  // namespace

INT_PTR CQrt020Dlg::DoModal() { return ModalDialog::DoModal(IDD_OPTIONS); }

void CQrt020Dlg::OnInitDialog() {
  const options::Choice c = options::on_open();
  fill(GetDlgItem(hwnd_, options::kIdDlvType), options::kDlvTypes,
       static_cast<int>(std::size(options::kDlvTypes)), c.dlv_type);
  HWND times = GetDlgItem(hwnd_, options::kIdCheckTime);
  SendMessageA(times, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < options::kTimeCount; ++i) {
    char item[6];
    options::time_item(i, item);
    SendMessageA(times, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  SendMessageA(times, CB_SETCURSEL, static_cast<WPARAM>(c.check_time), 0);
  fill(GetDlgItem(hwnd_, options::kIdDispCycle), options::kDispCycles,
       static_cast<int>(std::size(options::kDispCycles)), c.disp_cycle);
  CheckDlgButton(hwnd_, options::kIdAutoStart, c.auto_start ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hwnd_, options::kIdZeroDisp, c.zero_disp ? BST_CHECKED : BST_UNCHECKED);
}

void CQrt020Dlg::OnOK() {
  options::Choice c;
  c.dlv_type = selected(hwnd_, options::kIdDlvType);
  c.check_time = selected(hwnd_, options::kIdCheckTime);
  c.disp_cycle = selected(hwnd_, options::kIdDispCycle);
  c.auto_start = checked(hwnd_, options::kIdAutoStart);
  c.zero_disp = checked(hwnd_, options::kIdZeroDisp);
  options::store(c);
  Close(IDOK);
}

bool CQrt020Dlg::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDOK:
      OnOK();
      return true;
    case options::kIdNetwork:
      CQrt050Dlg(hwnd_).DoModal();
      return true;
    default:
      return false;
  }
}
