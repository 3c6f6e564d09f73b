// Resource identifiers of Quillmere.
#pragma once

// The no-id value of controls that nothing looks up
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Icons
#define IDR_MAINFRAME 128

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_TARNWICK_DIALOG 102
#define IDD_PROGRESS_DIALOG 131
#define IDD_SERVICE_DIALOG 137

// Controls of the main dialog
#define IDC_BTN_LOAD 4
#define IDC_BTN_PREV 5
#define IDC_BTN_NEXT 6
#define IDC_BTN_ANALYSE 7
#define IDC_FINDING_LIST 1002
#define IDC_PAGE_LABEL 1003
#define IDC_CHECK_OTHERS 1006
#define IDC_CHECK_CROWN_BRIDGE 1007
#define IDC_CHECK_IMPACTION 1008
#define IDC_CHECK_MISSING 1009
#define IDC_CHECK_PERIO 1010
#define IDC_CHECK_IMPLANT 1011
#define IDC_CHECK_CAVITY 1012
#define IDC_CHECK_APICAL_LESION 1013
#define IDC_CHECK_ENDODONTIC 1014
#define IDC_CHECK_FILLING 1015
#define IDC_CHECK_RR 1016
#define IDC_CHECK_POST 1017
#define IDC_CHECK_UNKNOWN 1018

// Controls of the batch sharpen dialog
#define IDC_PROGRESS 1004

// Display names of the finding kinds, in bit order: 129 + log2(bit)
#define IDS_FINDING_HEALTHY 129
#define IDS_FINDING_CROWN_BRIDGE 130
#define IDS_FINDING_IMPACTION 131
#define IDS_FINDING_MISSING 132
#define IDS_FINDING_PERIO 133
#define IDS_FINDING_IMPLANT 134
#define IDS_FINDING_CAVITY 135
#define IDS_FINDING_APICAL_LESION 136
#define IDS_FINDING_ENDODONTIC 137
#define IDS_FINDING_FILLING 138
#define IDS_FINDING_RR 139
#define IDS_FINDING_POST 140
#define IDS_FINDING_UNKNOWN 141

// Messages of start-up
#define IDS_LOAD_SETTINGS_FAILED 152
#define IDS_SAVE_SETTINGS_FAILED 153
#define IDS_WINSOCK_FAILED 154
#define IDS_GDIPLUS_FAILED 155

// The report of an error that ended the program
#define IDS_UNEXPECTED_ERROR 250

// Main window
#define IDS_MAIN_TITLE 181

// The application's name: the caption of every message box
#define IDS_APP_TITLE 57344
