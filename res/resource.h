// Resource and command numbers, shared by the resource script and the code.
#pragma once

// Strings
#define IDS_TITLE_RUNNING 103    // window title when the agent was found running
#define IDS_TIP_RUNNING 104      // tray tip, Running
#define IDS_TIP_STOPPED 105      // tray tip and window title, Stopped
#define IDS_WINDOW_CLASS 109     // window class name

// Icons: the tray entry's identifier is the number of the icon it shows
#define IDI_RUNNING 107          // emblem in colour
#define IDI_SMALL 108            // small class icon
#define IDI_STOPPED 129          // emblem in greys

// Menu and accelerators of the hidden window
#define IDR_MAIN_MENU 109
#define IDR_ACCELERATORS 109

// Dialogs
#define IDD_ABOUTBOX 103

// Commands
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_RESTART_AGENT 32771
#define IDM_STOP_AGENT 32773

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
