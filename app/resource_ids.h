// Identifiers shared by the resource script, the program and its tests. Plain macros, because
// the resource compiler reads this file too.
#pragma once

// The About box's labels, which nothing addresses. Visual Studio's <winres.h> defines it; the
// resource script includes the Windows SDK's <winresrc.h>, which does not.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDS_APP_TITLE 103   // string: the window title
#define IDS_CLASS_NAME 109  // string: the window class name

#define IDI_QUORVANE 107    // icon group: the class's large icon
#define IDI_SMALL 108       // icon group: the class's small icon
#define IDI_NOT_OK 110      // icon group: the taskbar button's mark while the status is NOT OK
#define IDI_ABOUT_ICON 128  // what the About box's icon control names; no such icon exists

#define IDC_QUORVANE 109  // menu and accelerator table
#define IDD_ABOUTBOX 103  // dialog: the About box

#define IDM_ABOUT 104      // command: open the About box
#define IDM_EXIT 105       // command: end the program
#define IDM_RECONNECT 106  // command: release both sides and connect again, after NOT OK
#define IDM_RECONNECT_AUTOMATICALLY 107  // command: the option, checked when on
#define IDM_OPEN_LOG_FOLDER 108          // command: the log's folder in Explorer

// The panel above the status bar: three static lines, read by people, screen readers and tests.
#define IDC_PANEL_MODULE 201  // "Simulator module: ..."
#define IDC_PANEL_ADDON 202   // "Add-on: ..."
#define IDC_PANEL_BRIDGE 203  // "Bridge: ..."

#define APP_TEXT_LENGTH 100  // characters of the title and class-name buffers
