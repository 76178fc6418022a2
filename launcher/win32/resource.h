// Resource numbers of qrt000.
#pragma once

#define IDS_APP_TITLE_SHORT 1  // the application title (as string 57344)
#define IDS_APP_TITLE 57344    // the application title of the message boxes
#define IDS_OLE_FAILED 100

#define IDD_DOWNLOAD 5   // download window
#define IDD_MENU 119     // SDI checker menu
#define IDR_CLIP 2       // the download window's AVI clip
#define IDD_NETWORK 106  // network settings
#define IDD_OPTIONS 210  // SDI options
#define IDD_HISTORY 219  // SDI history
#define IDD_ACCOUNT 251  // ID and password

// The program's icons, in the order the shell counts them (the start-up
// shortcut shows the third, index 2).
#define IDI_MAIN 128
#define IDI_CHECKER 129
#define IDI_STARTUP 130

// Buttons of the menu (the same numbers as menu.h).
#define IDC_START 1072
#define IDC_STOP 1074
#define IDC_OPTIONS 1075
#define IDC_HISTORY 1079
#define IDC_ACCOUNT 1080

// Controls of the download window.
#define IDC_CLIP 1005
#define IDC_PROGRESS 1011
#define IDC_FILE_TEXT 1014
#define IDC_ELAPSED 1035

// Controls of the options dialog (the same numbers as options.h).
#define IDC_AUTO_START 1130
#define IDC_CHECK_TIME 1131
#define IDC_DISP_CYCLE 1132
#define IDC_ZERO_DISP 1133
#define IDC_NETWORK 1134
#define IDC_DLV_TYPE 1135

// Controls of the history dialog (the same numbers as history.h).
#define IDC_HELP_BUTTON 1076
#define IDC_REQUESTS 1091
#define IDC_BACK 1104
#define IDC_RESULTS 1105
#define IDC_SHOW 1107
#define IDC_SUMMARY 1133

// Controls of the ID and password dialog (the same numbers as account.h).
#define IDC_USER 1126
#define IDC_PASS 1127

// Controls of the network settings dialog (the same numbers as network.h).
#define IDC_NET_HOST 1012
#define IDC_NET_PORT 1013
#define IDC_NET_USER 1004
#define IDC_NET_PASS 1007
#define IDC_NET_NTLM 1009
#define IDC_NET_HTTP_TEST 1010
#define IDC_NET_SOCKS 1016
#define IDC_NET_PXY_CONNECT 1028
#define IDC_NET_ACCEPT 1029
#define IDC_NET_NO_CACHE 1030
#define IDC_NET_DISCOVER 1031
#define IDC_NET_CONNECT_CLS 1049
#define IDC_NET_PXY_AUTH 1050
#define IDC_NET_NO_HOST 1051
#define IDC_NET_NO_SSL 1052
#define IDC_NET_HTTP11 1121
#define IDC_NET_PROXY_USE 1135
#define IDC_NET_TARGET 1136
#define IDC_NET_AUTH 1137
