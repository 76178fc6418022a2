#include "account_dialog.h"

#include "account.h"
#include "dialog_object.h"
#include "resource.h"
#include "zrlib.h"

INT_PTR CQrt040Dlg::DoModal() {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ACCOUNT), parent_, Proc,
                         reinterpret_cast<LPARAM>(this));
}

void CQrt040Dlg::OnInitDialog() {
  for (int id : {account::kIdUser, account::kIdPass})
    SendDlgItemMessageA(hwnd_, id, EM_LIMITTEXT, account::kFieldMax, 0);
  SetDlgItemTextA(hwnd_, account::kIdUser, zr01->user_id);
  SetDlgItemTextA(hwnd_, account::kIdPass, zr01->user_pass);
}

void CQrt040Dlg::OnOK() {
  // Read with room to spare: the edits count characters, the account bytes,
  // and account::apply cuts on a character boundary.
  char user[64], pass[64];
  GetDlgItemTextA(hwnd_, account::kIdUser, user, sizeof user);
  GetDlgItemTextA(hwnd_, account::kIdPass, pass, sizeof pass);
  if (account::apply(user, pass)) EndDialog(hwnd_, IDOK);
}

INT_PTR CALLBACK CQrt040Dlg::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CQrt040Dlg* self = dialog_object<CQrt040Dlg>(hwnd, msg, lp);
  if (!self) return FALSE;
  switch (msg) {
    case WM_INITDIALOG:
      self->OnInitDialog();
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wp) != BN_CLICKED) return FALSE;
      if (LOWORD(wp) == IDOK) {
        self->OnOK();
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      EndDialog(hwnd, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}
