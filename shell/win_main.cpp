// The Windows program's entry point: one instance, the program's directory from the
// command line, settings and skin, the main window, the message loop and shut-down.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/input_file.h"
#include "core/loaded_data.h"
#include "core/platform.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "shell/skin.h"
#include "shell/win_shell.h"

HINSTANCE programInstance;

namespace {

// The longest command line accepted; ProgramDirectory, a part of it, always fits.
const size_t CommandLineLimit = 990;
static_assert(CommandLineLimit < ProgramDirectorySize, "ProgramDirectory must hold any line");

const char seriousErrorText1[] = "起こり得ない極めて深刻なエラーが発生しました。(1)";
const char seriousErrorText2[] = "起こり得ない極めて深刻なエラーが発生しました。(2)";
const char tooLongText[] =
    "ファイル名が長すぎます。\n\nコマンドラインまたはファイル名を短くするか\nフォルダの階層を浅くしてください。";
const char noSkinText[] = "Hibarion.bmp が見つかりません。";

// Start-up's messages belong to no window.
void showStartupMessage(const char* text) { showWindowMessage(nullptr, text); }

// The position of the last backslash in line[0..end], or 0 when none stands after position
// 0. The line is code page 932, where the second byte of a double-byte character may be
// 0x5C too (as in 表 or ソ): such a byte is not a backslash.
size_t lastBackslash(const char* line, size_t end)
{
    size_t found = 0;
    for (size_t i = 0; i <= end; i++) {
        if (IsDBCSLeadByte(static_cast<BYTE>(line[i])) && i < end)
            i++;
        else if (line[i] == '\\')
            found = i;
    }
    return found;
}

// Takes ProgramDirectory from the program's own path at the start of the command line.
// False when the line is refused and the program is to end.
bool findProgramDirectory(const char* line)
{
    size_t n = std::strlen(line);
    if (n < 2) {
        MessageBeep(0xFFFFFFFF);
        showStartupMessage(seriousErrorText1);
        return false;
    }
    if (n > CommandLineLimit) {
        showStartupMessage(tooLongText);
        return false;
    }

    // The path ends before the closing quote, or before the first blank when unquoted.
    bool quoted = line[0] == '"';
    size_t end = quoted ? 1 : 0;
    while (end < n && line[end] != (quoted ? '"' : ' ')) end++;
    if (end == 0) {
        MessageBeep(0xFFFFFFFF);
        showStartupMessage(seriousErrorText2);
        return false;
    }

    size_t at = lastBackslash(line, end - 1);
    if (at == 0) {
        showMessage(nullptr, {MessageId::NoProgramFolder, nullptr, 0, nullptr});
        ProgramDirectory[0] = '\0';
        return true;
    }
    size_t start = quoted ? 1 : 0;
    size_t length = at + 1 - start;
    std::memcpy(ProgramDirectory, line + start, length);
    ProgramDirectory[length] = '\0';
    return true;
}

void loadSkin()
{
    std::string path = std::string(ProgramDirectory) + "Hibarion.bmp";
    int result;
    {
        InputFile file(path.c_str());
        if (!file.get()) {
            showStartupMessage(noSkinText);
            return;
        }
        result = loadSkinBitmap(file.get());
    }
    if (result >= 0 && result < SkinMessageCount) showStartupMessage(skinMessages[result]);
}

bool registerWindowClass()
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = programInstance;
    windowClass.hIcon = LoadIconA(programInstance, MAKEINTRESOURCEA(IDI_HIBARION));
    windowClass.hIconSm = static_cast<HICON>(LoadImageA(
        programInstance, MAKEINTRESOURCEA(IDI_HIBARION), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // The window paints all of its client area itself; the system never erases it.
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    windowClass.lpszClassName = "Hibarion";
    return RegisterClassExA(&windowClass) != 0;
}

// The window around a client area of exactly the skin's size.
HWND createMainWindow()
{
    int width = SkinBitmap.width + 2 * GetSystemMetrics(SM_CXDLGFRAME);
    int height =
        SkinBitmap.height + 2 * GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION);
    return CreateWindowExA(WS_EX_ACCEPTFILES, "Hibarion", "Hibarion", WS_CAPTION | WS_SYSMENU,
                           CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr, nullptr,
                           programInstance, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    programInstance = instance;

    // A second start only brings the running window to the front.
    HWND running = FindWindowA("Hibarion", nullptr);
    if (running) {
        SetForegroundWindow(running);
        return 0;
    }

    if (!findProgramDirectory(GetCommandLineA())) return 0;

    if (!loadSettings()) {
        setDefaultSettings();
        saveSettings();
    }
    loadSkin();

    if (!registerWindowClass()) return 0;
    HWND window = createMainWindow();
    if (!window) return 0;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }

    releaseLoadedData();
    releaseSkinBitmap();
    saveSettings();
    return static_cast<int>(message.wParam);
}
