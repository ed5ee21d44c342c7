#pragma once
// Resource and command ids of the updater dialog.

#define IDD_UPDATER 101
#define IDI_UPDATER 109
#define IDI_UPDATER_LARGE 110

#define IDC_QUIT 1000
#define IDC_BROWSE 1001
#define IDC_INSTALL_DIR 1004
#define IDC_START 1006
#define IDC_ABORT 1008
#define IDC_LOG 1020
