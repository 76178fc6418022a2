// Resource numbers of qrt000.
#pragma once

#define IDS_APP_TITLE_SHORT 1  // the application title (as string 57344)
#define IDS_APP_TITLE 57344    // the application title of the message boxes
#define IDS_OLE_FAILED 100

#define IDD_DOWNLOAD 5  // download window
#define IDD_MENU 119    // SDI checker menu
#define IDR_CLIP 2      // the download window's AVI clip

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
