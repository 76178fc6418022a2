#include "account_dialog.h"

#include "account.h"
#include "resource.h"
#include "zrlib.h"

INT_PTR CQrt040Dlg::DoModal() { return ModalDialog::DoModal(IDD_ACCOUNT); }

void CQrt040Dlg::OnInitDialog() {
  for (int id : {account::kIdUser, account::kIdPass})
    SendDlgItemMessageA(hwnd_, id, EM_LIMITTEXT, account::kFieldMax, 0);
  SetDlgItemTextA(hwnd_, account::kIdUser, zr01->user_id);
  SetDlgItemTextA(hwnd_, account::kIdPass, zr01->user_pass);
}

bool CQrt040Dlg::OnCommand(int id, int code) {
  if (code != BN_CLICKED || id != IDOK) return false;
  // Read with room to spare: the edits count characters, the account bytes,
  // and account::apply cuts on a character boundary.
  char user[64], pass[64];
  GetDlgItemTextA(hwnd_, account::kIdUser, user, sizeof user);
  GetDlgItemTextA(hwnd_, account::kIdPass, pass, sizeof pass);
  if (account::apply(user, pass)) Close(IDOK);
  return true;
}
