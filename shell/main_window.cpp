// The main window: the skin picture as its face, files dropped on it converted, the
// settings dialog on a right-button press.
#include <windows.h>

#include <cstddef>

#include "resources/resource.h"
#include "shell/settings_dialog.h"
#include "shell/skin.h"
#include "shell/win_shell.h"

static_assert(sizeof(SkinInfoHeader) == sizeof(BITMAPINFOHEADER) &&
                  sizeof(SkinColour) == sizeof(RGBQUAD) &&
                  offsetof(SkinBitmapRecord, palette) == sizeof(BITMAPINFOHEADER),
              "SkinBitmap's header and palette must form a BITMAPINFO");

namespace {

HPEN createdPen;
HGDIOBJ previousPen;
HBRUSH createdBrush;
HGDIOBJ previousBrush;

void paintFace(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (SkinBitmap.pixelsHeld) {
        // The header keeps the file's sign of the height, so a top-down picture shows
        // upright; the sizes here are the picture's own, always positive.
        StretchDIBits(dc, 0, 0, SkinBitmap.width, SkinBitmap.height, 0, 0, SkinBitmap.width,
                      SkinBitmap.height, SkinBitmap.pixels,
                      reinterpret_cast<const BITMAPINFO*>(&SkinBitmap.header), DIB_RGB_COLORS,
                      SRCCOPY);
    } else {
        const COLORREF white = RGB(255, 255, 255);
        selectPenAndBrush(dc, white, white, 1);
        Rectangle(dc, 0, 0, SkinBitmap.width, SkinBitmap.height);
        restorePenAndBrush(dc);
    }
    EndPaint(window, &paint);
}

}  // namespace

void selectPenAndBrush(HDC dc, COLORREF penColour, COLORREF brushColour, int penWidth)
{
    createdPen = CreatePen(PS_SOLID, penWidth, penColour);
    createdBrush = CreateSolidBrush(brushColour);
    previousPen = SelectObject(dc, createdPen);
    previousBrush = SelectObject(dc, createdBrush);
}

void restorePenAndBrush(HDC dc)
{
    SelectObject(dc, previousBrush);
    DeleteObject(createdBrush);
    SelectObject(dc, previousPen);
    DeleteObject(createdPen);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        paintFace(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_RBUTTONDOWN:
        DialogBoxParamA(programInstance, MAKEINTRESOURCEA(IDD_SETTINGS), window,
                        settingsDialogProc, 0);
        return 0;
    case WM_DROPFILES:
        dispatchDroppedFiles(window, reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
