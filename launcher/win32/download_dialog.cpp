#include "download_dialog.h"

#include <commctrl.h>

#include "dialog_object.h"
#include "resource.h"
#include "zrlib.h"

namespace {
constexpr UINT_PTR kTimer = 100;
constexpr UINT kTimerMs = 1000;
}  // namespace

CNp000Dlg::CNp000Dlg(int files) : files_(files) {
  CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DOWNLOAD), nullptr, Proc,
                     reinterpret_cast<LPARAM>(this));
  if (hwnd_) ShowWindow(hwnd_, SW_SHOW);
}

CNp000Dlg::~CNp000Dlg() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void CNp000Dlg::OnInitDialog() {
  // The control plays the clip as soon as it is open (ACS_AUTOPLAY).
  SendDlgItemMessageA(hwnd_, IDC_CLIP, ACM_OPENA,
                      reinterpret_cast<WPARAM>(GetModuleHandleA(nullptr)),
                      reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(IDR_CLIP)));
  started_ = 0;
  SendDlgItemMessageA(hwnd_, IDC_PROGRESS, PBM_SETRANGE32, 0, files_);
  SendDlgItemMessageA(hwnd_, IDC_PROGRESS, PBM_SETPOS, 0, 0);
  SetTimer(hwnd_, kTimer, kTimerMs, nullptr);
  start_ = std::time(nullptr);
  cancel_ = false;
  ShowElapsed();

  RECT r;
  GetWindowRect(hwnd_, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  SetWindowPos(hwnd_, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE);
}

// Minutes and seconds as "%M:%S" formats them: the minutes wrap after 59.
void CNp000Dlg::ShowElapsed() {
  long long seconds = static_cast<long long>(std::time(nullptr) - start_);
  if (seconds < 0) seconds = 0;
  char elapsed[16], text[64];
  ZR_FMT(elapsed, "%02d:%02d", static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  ZR_FMT(text, "経過時間: %s", elapsed);
  SetDlgItemTextA(hwnd_, IDC_ELAPSED, text);
}

bool CNp000Dlg::file_started(const char* name) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (hwnd_ && IsDialogMessageA(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (hwnd_) {
    char text[300];
    ZR_FMT(text, "%s ﾀﾞｳﾝﾛｰﾄﾞ中", name);
    SetDlgItemTextA(hwnd_, IDC_FILE_TEXT, text);
    SendDlgItemMessageA(hwnd_, IDC_PROGRESS, PBM_SETPOS, ++started_, 0);
    // Painted now: the download that follows does not service the window.
    UpdateWindow(hwnd_);
  }
  return cancel_;
}

INT_PTR CALLBACK CNp000Dlg::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CNp000Dlg* self = dialog_object<CNp000Dlg>(hwnd, msg, lp);
  switch (msg) {
    case WM_INITDIALOG:
      self->OnInitDialog();
      return TRUE;
    case WM_TIMER:
      if (self && wp == kTimer) self->ShowElapsed();
      return TRUE;
    case WM_COMMAND:
      if (self && LOWORD(wp) == IDCANCEL) {
        self->cancel_ = true;
        DestroyWindow(hwnd);
      }
      return TRUE;
    case WM_CLOSE:
      return TRUE;  // only ｷｬﾝｾﾙ closes the window
    case WM_DESTROY:
      KillTimer(hwnd, kTimer);
      SendDlgItemMessageA(hwnd, IDC_CLIP, ACM_STOP, 0, 0);
      if (self) self->hwnd_ = nullptr;
      return TRUE;
    default:
      return FALSE;
  }
}

std::unique_ptr<DownloadWindow> make_download_dialog(int files) {
  return std::make_unique<CNp000Dlg>(files);
}
