// Resource identifiers of all programs, shared by the resource scripts and the code.
#pragma once

// Command programs: the program's icon, the hidden main window's menu and its one item.
#define IDI_PROGRAM 102
#define IDM_MAIN_MENU 103
#define IDM_EXIT 40001

// Result window of the command programs and its six static controls.
#define IDD_RESULT 101
#define IDC_RESULT_STATUS 1001
#define IDC_RESULT_HIDE 1002
#define IDC_RESULT_QUIT 1003
#define IDC_RESULT_AUTOCLOSE 1004
#define IDC_RESULT_NAMES 1005
#define IDC_RESULT_CLOSE 1006
