// Resource and control identifiers of the Windows front end (dorvex.rc).
#ifndef DORVEX_UI_RESOURCE_H_
#define DORVEX_UI_RESOURCE_H_

// Dialogs
#define IDD_ABOUT 103
#define IDD_MAIN 129
#define IDD_RESULT 130
#define IDD_PROGRESS 131

// Icons, menu, accelerators
#define IDI_DORVEX 107
#define IDI_SMALL 108
#define IDM_DORVEX 109
#define IDA_DORVEX 109
// The context menu of a result pane and its commands.
#define IDM_PANE 110
#define IDM_PANE_COPY 40001
#define IDM_PANE_SELECT_ALL 40002

// Commands
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDC_REPORT_PRINT 3

// Controls
#define IDC_CHECK 1001
#define IDC_SETTING_PANE 1002
#define IDC_SOURCE_PANE 1003
#define IDC_SETTING_NAME 1012
#define IDC_OUTPUT_DIR 1013
#define IDC_BROWSE 1014
#define IDC_SOURCE_NAME 1015
#define IDC_VIEW_SUMMARY 1016
#define IDC_VIEW_ANALYSIS 1017
// The view of the within analysis, there only after a check in the list cover.
#define IDC_VIEW_WITHIN 1018
// The view of the list cover's verdicts, there only after a check in it.
#define IDC_VIEW_VERDICTS 1019
// The choice of the cover a check is made in: classic, or the full syntax
// with the exact or the list cover.
#define IDC_COVER_CLASSIC 1022
#define IDC_COVER_EXACT 1023
#define IDC_COVER_LIST 1024
// The progress lines of a check.
#define IDC_PROGRESS_TEXT 1021
// How far the comparison of a check is.
#define IDC_PROGRESS_STEP 1025
// The views laid over the input panes for a big dropped text, made by the
// main dialog.
#define IDC_SOURCE_VIEW 1026
#define IDC_SETTING_VIEW 1027
// The choice of the change review, and its view in the result dialog,
// there only after a check with it.
#define IDC_CHANGE_REVIEW 1028
#define IDC_VIEW_CHANGES 1029

// Strings
#define IDS_CLASS_NAME 109
#define IDS_DROP_HINT 200
#define IDS_CANNOT_OPEN 201
#define IDS_BROWSE_TITLE 202
#define IDS_CONFIRM_CHECK 203
#define IDS_CONFIRM_CAPTION 204
#define IDS_REPORT_CAPTION 205
#define IDS_NOT_WRITTEN 206
#define IDS_ERROR 207
#define IDS_DIALOG_ERROR_CAPTION 208
#define IDS_PATH_TOO_LONG 209
#define IDS_EMPTY_TEXT 210
#define IDS_OUT_OF_MEMORY 211
#define IDS_TOO_LARGE 212
#define IDS_WARNING 213

#endif  // DORVEX_UI_RESOURCE_H_
