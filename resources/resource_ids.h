// Resource and control ids, shared by the .rc templates and the code.
#pragma once

#define IDD_MAIN 100
#define IDD_RAW_SAVE_NAME 105
#define IDI_APP 103
#define IDD_CHECK_CARD 110
#define IDD_BACKUPS 111
#define IDD_GAME_CARDS 112
#define IDD_RENAME_SAVE 113
#define IDD_EDIT_COMMENT 114
#define IDR_KEYS 119

// Main window.
#define IDC_PROGRESS 1000
#define IDC_WRITE_CARD 1001
#define IDC_DONATE_LINK 1002
#define IDC_SITE_LINK 1003
#define IDC_ALLOW_CORRUPTED 1005
#define IDC_COUNTER 1008
#define IDC_EXIT 1009
#define IDC_READ_CARD 1010
#define IDC_SAVE_CARD 1011
#define IDC_OPEN_CARD 1012
#define IDC_IMPORT_SAVE 1013
#define IDC_EXPORT_SAVE 1014
#define IDC_DELETE_SAVE 1015
#define IDC_SAVE_GROUP 1017
#define IDC_LARGE_ICON 1018
#define IDC_FIRST_SLOT 1019
#define IDC_LAST_SLOT 1033
#define IDC_INFO 1035
#define IDC_READ_ALL 1036
#define IDC_FAST_READ 1037
#define IDC_TITLE 1039
#define IDC_NEW_CARD 1041

// System menu: the "Card Reader" submenu's items, 16 apart as system
// commands must be (Windows keeps the low four bits).
#define IDM_CARD_READER_FIRST 0x1400
#define IDM_CARD_READER_LAST 0x17F0

// Raw-save naming dialog.
#define IDC_NAME_LICENSING 1001
#define IDC_NAME_POCKETSTATION 1003
#define IDC_NAME_TYPE 1004
#define IDC_NAME_REGION 1044
#define IDC_NAME_NUMBER 1045
#define IDC_NAME_FILE_PART 1046
#define IDC_NAME_GENERATED 1047

// Commands of the system menu: multiples of 16 below 0xF000, as the system
// menu requires (it uses the low four bits itself).
#define IDM_UNDO 0x1010
#define IDM_REDO 0x1020
#define IDM_CHECK_CARD 0x1030
#define IDM_BACKUPS 0x1040
#define IDM_NEW_WINDOW 0x1050
#define IDM_SPLIT_CARD 0x1060
#define IDM_GATHER_CARDS 0x1070

// Commands of a slot's menu ("Delete Save" is the button's own command).
#define IDM_EXPORT_SAVE_AS 0x1100
#define IDM_SAVE_ICON_AS 0x1200
#define IDM_COPY_SAVE_TO_FILE 0x1110
#define IDM_RESTORE_SAVE 0x1120
#define IDM_RENAME_SAVE 0x1130
#define IDM_EDIT_COMMENT 0x1140
// Keys: Delete asks before it deletes; the menu key and Shift+F10 open the
// selected slot's menu.
#define IDM_DELETE_KEY 0x1180
#define IDM_SLOT_MENU_KEY 0x1190

// "Check Card..." dialog.
#define IDC_CHECK_REPORT 1100

// "Backups..." dialog.
#define IDC_BACKUP_LIST 1110
#define IDC_BACKUP_FOLDER 1111
#define IDC_SHOW_FOLDER 1112

// "Split Card into Game Cards..." and "Gather Game Cards..." dialog.
#define IDC_LAYOUT_LABEL 1120
#define IDC_LAYOUT_MEMCARDPRO 1121
#define IDC_LAYOUT_SD2PSX 1122
#define IDC_LAYOUT_DUCKSTATION 1123
#define IDC_GAME_FOLDER 1124
#define IDC_BROWSE_FOLDER 1125
#define IDC_GAME_CARDS_HINT 1126
#define IDC_CHANNEL_LABEL 1127
#define IDC_GATHER_CHANNEL 1128

// "Rename Save..." dialog: the name's three parts and the result.
#define IDC_RENAME_REGION 1130
#define IDC_RENAME_CODE 1131
#define IDC_RENAME_IDENTIFIER 1132
#define IDC_RENAME_INFO 1133
#define IDC_RENAME_NAME 1134

// "Edit Comment..." dialog.
#define IDC_COMMENT_TEXT 1140
#define IDC_COMMENT_SAVE 1141
