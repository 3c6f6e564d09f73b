// Names and numbers that the application shell shares with other processes
// and with its own windows.
#pragma once

#include <windows.h>

// Single-instance mutexes of the main and the service mode.
constexpr wchar_t kMainInstanceMutex[] = L"92f19ad2-7089-4042-8b48-b55384fd39d6";
constexpr wchar_t kServiceInstanceMutex[] = L"5104BA0B-A231-4510-BB02-9169721B7B75";

// The journals of the temporary copies of the main and the service mode, in
// the user's temporary folder.
constexpr wchar_t kMainJournalName[] = L"Quillmere main copies.journal";
constexpr wchar_t kServiceJournalName[] = L"Quillmere service copies.journal";

// The main dialog's window class, named by its template; a later start finds
// the running main window by it.
constexpr wchar_t kMainDialogClass[] = L"TARNWICKDLG_CLASS";

// A later start that finds the main mode's mutex held but no main window yet
// (the first start is still creating it) looks again this long, this often.
constexpr DWORD kRunningWindowWaitMs = 2000;
constexpr DWORD kRunningWindowPollMs = 50;

// Timer of the main dialog that opens a pending path.
constexpr UINT_PTR TIMER_OPEN_FILE = 101;
constexpr UINT kOpenFileDelayMs = 50;

// Posted by the main dialog to itself once its initialisation is done.
constexpr UINT WM_POSTINIT = WM_USER + 1;

// Posted by a later start to the running main window after handing over its
// path: the window comes to the front, in its own thread, where the system
// lets a program take the keyboard.
constexpr UINT WM_BRING_TO_FRONT = WM_APP + 1;

// The system-menu command of the about box.
constexpr UINT IDM_ABOUTBOX = 0x10;

// The main dialog's layout: the client area is cut into hundredths (units);
// the chart takes 99 x 96 units from (1, 1), the filter strip begins at 98
// units, and each filter check box takes a slot of 6 x 2 units.
constexpr int kLayoutUnitsPerSide = 100;
constexpr int kChartWidthUnits = 99;
constexpr int kChartHeightUnits = 96;
constexpr int kFilterRowTopUnits = 98;
constexpr int kFilterSlotWidthUnits = 6;
constexpr int kFilterSlotHeightUnits = 2;
