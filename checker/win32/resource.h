// Resource numbers of qrt100.
#pragma once

#define IDR_MAINFRAME 101     // program icon
#define IDR_TRAY_MENU 103     // tray menu
#define IDD_NEW_ARRIVALS 108  // new-arrivals dialog

#define ID_SDI_LATEST 40005  // "ＳＤＩ 最新情報"
#define ID_SDI_EXIT 40006    // "ＳＤＩ 終了"

#define IDC_ALERT_ICON 1078
#define IDC_HEADING 1004
#define IDC_NOTICE 1071
#define IDC_REQUEST_LIST 1072
#define IDC_NO_POPUP 1132
