// uidriver_demo: a small Windows program that shows the kinds of windows the
// product shows (a system-modal message box with a Shift-JIS text, a window with a
// report list view, an edit field and buttons, a page opened in the browser), so
// that the UI driver and the end-to-end scripts can be tested on their own.
//
// Its texts are written through the ANSI (code page 932) APIs, like the product's.
//
//   uidriver_demo box          message box "QRTDEMO" (Yes/No); exit code = button pressed
//   uidriver_demo list         window "QRTDEMO 一覧"; 閉じる ends with 42, closing it with 3
//   uidriver_demo url URL      opens URL with the "open" verb; 0 when the shell took it

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kIdList = 1001;
constexpr int kIdEdit = 1002;
constexpr int kIdDisabled = 1003;
constexpr int kIdSelected = 1004;
constexpr int kIdClose = IDOK;

int g_exit = 3;

void add_column(HWND lv, int index, const char* text, int width) {
  LVCOLUMNA col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  col.pszText = const_cast<char*>(text);
  col.cx = width;
  col.iSubItem = index;
  SendMessageA(lv, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&col));
}

void set_cell(HWND lv, int row, int column, const char* text) {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text);
  if (column == 0) {
    SendMessageA(lv, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  } else {
    SendMessageA(lv, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  }
}

void create_controls(HWND w) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  HWND lv = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                            WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 10, 10, 460,
                            150, w, reinterpret_cast<HMENU>(kIdList), inst, nullptr);
  add_column(lv, 0, "番号", 60);
  add_column(lv, 1, "検索式", 260);
  add_column(lv, 2, "件数", 80);
  static const char* const rows[][3] = {
      {"00001", "商標公報 第一類", "12"},
      {"00002", "ＡＢＣ＼表示", "―"},
      {"00003", "plain ascii", "0"},
  };
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) set_cell(lv, r, c, rows[r][c]);
  }
  CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "編集テキスト", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL,
                  10, 170, 200, 24, w, reinterpret_cast<HMENU>(kIdEdit), inst, nullptr);
  CreateWindowExA(0, "STATIC", "選択: なし", WS_CHILD | WS_VISIBLE, 220, 174, 200, 20, w,
                  reinterpret_cast<HMENU>(kIdSelected), inst, nullptr);
  CreateWindowExA(0, "BUTTON", "無効", WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_PUSHBUTTON, 260,
                  205, 100, 28, w, reinterpret_cast<HMENU>(kIdDisabled), inst, nullptr);
  CreateWindowExA(0, "BUTTON", "閉じる", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 370, 205, 100,
                  28, w, reinterpret_cast<HMENU>(kIdClose), inst, nullptr);
}

LRESULT CALLBACK list_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      create_controls(w);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == kIdClose) {
        g_exit = 42;
        DestroyWindow(w);
      }
      return 0;
    case WM_NOTIFY: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(lp);
      if (nm->hdr.idFrom == kIdList && nm->hdr.code == LVN_ITEMCHANGED &&
          (nm->uNewState & LVIS_SELECTED)) {
        char text[32];
        std::snprintf(text, sizeof text, "選択: %d", nm->iItem);
        SetDlgItemTextA(w, kIdSelected, text);
      }
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

int run_list() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSA wc{};
  wc.lpfnWndProc = list_proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "QrtDemoList";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, wc.lpszClassName, "QRTDEMO 一覧", WS_OVERLAPPEDWINDOW, 100, 100, 500,
                           290, nullptr, nullptr, wc.hInstance, nullptr);
  if (!w) return 2;
  ShowWindow(w, SW_SHOWNORMAL);
  UpdateWindow(w);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return g_exit;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmd, int) {
  // First word of the command line selects the demo.
  while (*cmd == ' ') ++cmd;
  if (std::strncmp(cmd, "box", 3) == 0) {
    return MessageBoxA(nullptr, "ドライブ又はフォルダーがありません。\nC:\\ZORAX\\表示", "QRTDEMO",
                       MB_YESNO | MB_SYSTEMMODAL);
  }
  if (std::strncmp(cmd, "list", 4) == 0) return run_list();
  if (std::strncmp(cmd, "url ", 4) == 0) {
    HINSTANCE r = ShellExecuteA(nullptr, "open", cmd + 4, nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32 ? 0 : 1;
  }
  return 2;
}
