#include "network_dialog.h"

#include <string>

#include "discovery.h"
#include "platform/platform.h"
#include "resource.h"
#include "zrlib.h"

namespace {

struct Box {
  int id;
  bool network::Form::*field;
};
constexpr Box kBoxes[] = {
    {network::kIdProxyUse, &network::Form::proxy_use},
    {network::kIdHttp11, &network::Form::http11},
    {network::kIdNtlmMode, &network::Form::ntlm_mode},
    {network::kIdHttpTest, &network::Form::http_test},
    {network::kIdSocks, &network::Form::socks},
    {network::kIdPxyConnect, &network::Form::pxy_connect},
    {network::kIdAcceptHdr, &network::Form::accept_hdr},
    {network::kIdNoCache, &network::Form::no_cache},
    {network::kIdConnectCls, &network::Form::connect_cls},
    {network::kIdPxyAuth, &network::Form::pxy_auth},
    {network::kIdNoHost, &network::Form::no_host},
    {network::kIdNoSsl, &network::Form::no_ssl},
};

std::string text_of(HWND dlg, int id) {
  char buf[256] = {};
  GetDlgItemTextA(dlg, id, buf, sizeof buf);
  return buf;
}

}  // namespace

INT_PTR CQrt050Dlg::DoModal() { return ModalDialog::DoModal(IDD_NETWORK); }

void CQrt050Dlg::OnInitDialog() {
  SendDlgItemMessageA(hwnd_, network::kIdHost, EM_LIMITTEXT, network::kHostMax, 0);
  SendDlgItemMessageA(hwnd_, network::kIdPort, EM_LIMITTEXT, network::kPortMax, 0);
  SendDlgItemMessageA(hwnd_, network::kIdUser, EM_LIMITTEXT, network::kCredentialMax, 0);
  SendDlgItemMessageA(hwnd_, network::kIdPass, EM_LIMITTEXT, network::kCredentialMax, 0);
  Show(network::on_open());
}

void CQrt050Dlg::Show(const network::Form& f) {
  for (const Box& b : kBoxes) CheckDlgButton(hwnd_, b.id, f.*b.field ? BST_CHECKED : BST_UNCHECKED);
  if (!f.host.empty()) {
    SetDlgItemTextA(hwnd_, network::kIdHost, f.host.c_str());
    SetDlgItemTextA(hwnd_, network::kIdPort, f.port.c_str());
  }
  if (!f.user.empty() || !f.pass.empty()) {
    SetDlgItemTextA(hwnd_, network::kIdUser, f.user.c_str());
    SetDlgItemTextA(hwnd_, network::kIdPass, f.pass.c_str());
  }
  Enable();
}

network::Form CQrt050Dlg::Read() const {
  network::Form f;
  for (const Box& b : kBoxes) f.*b.field = IsDlgButtonChecked(hwnd_, b.id) == BST_CHECKED;
  f.host = text_of(hwnd_, network::kIdHost);
  f.port = text_of(hwnd_, network::kIdPort);
  f.user = text_of(hwnd_, network::kIdUser);
  f.pass = text_of(hwnd_, network::kIdPass);
  return f;
}

void CQrt050Dlg::Enable() {
  const network::Form f = Read();
  const network::Enabled e = network::enabled(f.proxy_use, f.http_test);
  for (int id : {network::kIdTargetGroup, network::kIdHost, network::kIdPort, network::kIdDiscover})
    EnableWindow(GetDlgItem(hwnd_, id), e.target);
  for (int id : {network::kIdAuthGroup, network::kIdUser, network::kIdPass})
    EnableWindow(GetDlgItem(hwnd_, id), e.credentials);
}

void CQrt050Dlg::OnOK() {
  if (network::store(Read())) Close(IDOK);
}

bool CQrt050Dlg::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDOK:
      OnOK();
      return true;
    case network::kIdProxyUse:
    case network::kIdHttpTest:
      Enable();
      return true;
    case network::kIdDiscover:
      if (GetKeyState(VK_CONTROL) < 0) {
        // Ctrl: the HTTP service's view, shown for the user to keep or not.
        _mes_prog(1, "プロキシ情報取得中", 0);
        discovery::winhttp_check();
        _mes_prog(1, "", 0);
        Show(network::on_open());
      } else {
        // Writes ZORAX.INI and ends the program; only returns when ZORAX.INI
        // cannot be read.
        discovery::rediscover_and_end();
      }
      return true;
    default:
      return false;
  }
}
