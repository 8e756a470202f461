// Resource identifiers of DownloadSetup.
#pragma once

#define IDD_DOWNLOADSETUP_DIALOG 102  // the "Download Setup" dialog
#define IDR_MAINFRAME 128             // the program's icon
#define IDD_DOWNLOADING 130           // the download dialog

// Setup dialog controls.
#define IDC_BUTTON_START 1000
#define IDC_EDIT_FOLDER 1001
#define IDC_BUTTON_BROWSE 1002

// Download dialog controls.
#define IDC_TIMELEFT 1003
#define IDC_OPEN 1004
#define IDC_FILEPATH 1012
#define IDC_START 1014
#define IDC_STOP 1015
#define IDC_EXIT 1016
#define IDC_SERVERSTATUS 1017
#define IDC_DOWNLOADSTATUS 1018
#define IDC_PROGRESS 1019
#define IDC_TRANSFERRATE 1023
#define IDC_GROUPBOX 1027
#define IDC_TIMEELAPSED 1030

// Caption artwork.
#define IDB_CLOSE 460
#define IDB_MAXIMIZE 462
#define IDB_MINIMIZE 463
#define IDB_RESTORE 465
#define IDB_BANNER 530

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
