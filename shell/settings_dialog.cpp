#include "shell/settings_dialog.h"

#include "resources/resource.h"
#include "settings/number_text.h"
#include "settings/settings.h"

namespace {

// The longest text read back from an edit box, and its buffer with the zero byte.
enum { EditTextSize = 250 };

void showReal(HWND dialog, int id, double value, int width, int decimals)
{
    char text[RealTextSize];
    formatReal(text, sizeof text, value, width, decimals);
    SetDlgItemTextA(dialog, id, text);
}

double readReal(HWND dialog, int id)
{
    char text[EditTextSize];
    if (GetDlgItemTextA(dialog, id, text, sizeof text) == 0) text[0] = '\0';
    return parseReal(text);
}

void enableApply(HWND dialog, BOOL enable) { EnableWindow(GetDlgItem(dialog, IDC_APPLY), enable); }

void fillControls(HWND dialog)
{
    showReal(dialog, IDC_FIRST_TONE_SECONDS, conversionSettings.firstToneSeconds, 3, 1);
    showReal(dialog, IDC_INPUT_RATIO, conversionSettings.inputRatio, 4, 2);
    showReal(dialog, IDC_OUTPUT_RATIO, conversionSettings.outputRatio, 4, 2);
    // Any non-zero value turns listings on, so the box shows every such value checked.
    CheckDlgButton(dialog, IDC_BASIC_LISTING,
                   conversionSettings.basicListing != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_OUTPUT_SLOWNESS,
                   conversionSettings.outputSlowness == 16.0 ? BST_CHECKED : BST_UNCHECKED);
    // Last: setting the edit texts above has just enabled it.
    enableApply(dialog, FALSE);
}

void readBack(HWND dialog)
{
    conversionSettings.firstToneSeconds = readReal(dialog, IDC_FIRST_TONE_SECONDS);
    conversionSettings.inputRatio = readReal(dialog, IDC_INPUT_RATIO);
    conversionSettings.outputRatio = readReal(dialog, IDC_OUTPUT_RATIO);
    conversionSettings.basicListing = IsDlgButtonChecked(dialog, IDC_BASIC_LISTING) ? 1 : 0;
    conversionSettings.outputSlowness =
        IsDlgButtonChecked(dialog, IDC_OUTPUT_SLOWNESS) ? 16.0 : 1.0;
}

void command(HWND dialog, int id, int code)
{
    switch (id) {
    case IDC_FIRST_TONE_SECONDS:
    case IDC_INPUT_RATIO:
    case IDC_OUTPUT_RATIO:
        if (code == EN_CHANGE) enableApply(dialog, TRUE);
        break;
    case IDC_OUTPUT_SLOWNESS:
    case IDC_BASIC_LISTING:
        enableApply(dialog, TRUE);
        break;
    case IDOK:
        readBack(dialog);
        EndDialog(dialog, 1);
        break;
    case IDC_APPLY:
        readBack(dialog);
        enableApply(dialog, FALSE);
        break;
    case IDCANCEL:
        EndDialog(dialog, 1);
        break;
    }
}

}  // namespace

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        fillControls(dialog);
        break;
    case WM_COMMAND:
        command(dialog, LOWORD(wParam), HIWORD(wParam));
        break;
    case WM_CLOSE:
        EndDialog(dialog, 1);
        break;
    }
    return 0;
}
