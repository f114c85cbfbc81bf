#pragma once
// The Windows program's own pieces: the main window and what its messages lead to.
#include <windows.h>

// The instance handle the system passed to WinMain, kept for the window class, its
// icons and the settings dialog.
extern HINSTANCE programInstance;

// One error message box, caption "Hibarion", error icon, OK only; `text` is code page 932.
void showWindowMessage(HWND owner, const char* text);

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Selects a new solid pen and brush into `dc`, keeping the ones they replace;
// restorePenAndBrush puts those back and deletes the new ones. Always paired.
void selectPenAndBrush(HDC dc, COLORREF penColour, COLORREF brushColour, int penWidth);
void restorePenAndBrush(HDC dc);

// Converts each file of one drop, in the order the system lists them, and releases the
// drop. Always returns 1.
int dispatchDroppedFiles(HWND window, HDROP drop);
