#pragma once
// The settings dialog: edits ConversionSettings in place. The file is written at exit.
#include <windows.h>

// Dialog procedure of resource IDD_SETTINGS. Returns 0 for every message, so the dialog
// manager's own handling (Enter, Escape, focus) always follows.
INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
