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

// ---- TazuSetting: the settings window, its two pages and the destination history dialog ----

// Dialog templates and icons.
#define IDD_SETTING_MAIN 100
#define IDD_REGISTRATION_PAGE 101
#define IDD_BACKUP_PAGE 102
#define IDD_HISTORY 103
#define IDI_SETTING 120
// Row icons: IDI_ROW_ICON_FIRST + 4 * row + size class (16, 32, 48, 256 pixels), rows TazuHere,
// TazuHereZip, TazuRename, TazuThere, TazuThereZip.
#define IDI_ROW_ICON_FIRST 121

// Main window (template 100); OK is IDOK.
#define IDC_MAIN_LANGUAGE 1000
#define IDC_MAIN_LINK 1102
#define IDC_MAIN_TABS 1061
#define IDC_MAIN_CANCEL 550
#define IDC_MAIN_OK_NO_SAVE 551
// Sent to the main window by the registration page to run the elevation hand-off.
#define IDC_MAIN_RUN_ELEVATION 3000

// Registration page (template 101).
#define IDC_REG_GROUP 1100
#define IDC_REG_ALL_LABEL 1101
#define IDC_REG_HEADER_SENDTO 1102
#define IDC_REG_HEADER_CONTEXT 1103
#define IDC_REG_HEADER_DESKTOP 1104
#define IDC_REG_ROW_LABEL_FIRST 1109   // 1109 to 1113, one per row
#define IDC_REG_ROW_ICON_FIRST 1062    // 1062 to 1066, one per row
#define IDC_REG_ALL_SWITCH_FIRST 1035  // 1035 to 1037: the "All settings" switch of each place
#define IDC_REG_SWITCH_FIRST 1038      // 1038 + 3 * row + place: the row switches
#define IDC_REG_STATUS_FIRST 1119      // 1119 + 6 * row + 2 * place (+1 on the On side)
#define IDC_REG_RESULT 1108
#define IDC_REG_EXECUTE 530
#define IDC_REG_START_SETTING 700
#define IDC_REG_AUTO_CLOSE 701
#define IDC_REG_USER_MENU 1200         // "UserMenu": context menu for this user only
#define IDC_REG_SCOPE_NOTE 1201        // under it: entries of the other scope stay

// Backup setting page (template 102).
#define IDC_BACKUP_DEST_GROUP 1100
#define IDC_BACKUP_DEST_LABEL 1103
#define IDC_BACKUP_DEST 1000
#define IDC_BACKUP_BROWSE 530
#define IDC_BACKUP_HISTORY 531
#define IDC_BACKUP_SEL_DIR 700
#define IDC_BACKUP_OPEN_DIR 701
#define IDC_BACKUP_ADD_GROUP 1119
#define IDC_BACKUP_PREFIX_BEF1 501
#define IDC_BACKUP_ADD_BEF 1001
#define IDC_BACKUP_PREFIX_BEF2 502
#define IDC_BACKUP_FILE_NAME 1120
#define IDC_BACKUP_PREFIX_AFT1 503
#define IDC_BACKUP_ADD_AFT 1002
#define IDC_BACKUP_PREFIX_AFT2 504
#define IDC_BACKUP_EXT 1121
#define IDC_BACKUP_ZERO_LABEL 1124
#define IDC_BACKUP_ZERO 1003
#define IDC_BACKUP_DIGIT 1125
// "Keep the last [ ] backups of each item (0: all)".
#define IDC_BACKUP_KEEP_GROUP 1220
#define IDC_BACKUP_KEEP_LABEL 1221
#define IDC_BACKUP_KEEP 1222
#define IDC_BACKUP_KEEP_UNIT 1223
// "Verify each backup by reading it back".
#define IDC_BACKUP_VERIFY_GROUP 1224
#define IDC_BACKUP_VERIFY 1225

// Destination history dialog (template 103); OK is IDOK.
#define IDC_HISTORY_LABEL 1100
#define IDC_HISTORY_LIST 1055
#define IDC_HISTORY_UP 530
#define IDC_HISTORY_DOWN 531
#define IDC_HISTORY_DELETE 532
#define IDC_HISTORY_EDIT 500
#define IDC_HISTORY_UPDATE 533
#define IDC_HISTORY_STATUS 1104
#define IDC_HISTORY_CANCEL 550
