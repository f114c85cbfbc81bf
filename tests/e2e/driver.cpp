// The end-to-end test driver: starts Hibarion.exe as a user would and works its window
// from outside, under Wine on a virtual display. One run is one case:
//
//   e2e_driver CASE WORK BUILD DATA
//
// WORK is a fresh folder for the case, BUILD holds Hibarion.exe and Hibarion.bmp, DATA
// the inputs and the host build's outputs for them (make_references.py). Every wait is
// bounded. Exit code 0 when every check passed.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const DWORD AppearTimeout = 20000;  // a window or a file to show up
const DWORD SettleTimeout = 30000;  // the program to finish what it was given
const DWORD ExitTimeout = 20000;

std::string workDir, buildDir, dataDir;
bool verbose;  // E2E_VERBOSE set: every check is printed with the time it was made
int checks, failures;
std::vector<HANDLE> startedProcesses;  // ended at exit if a failed check left them running

// ---------------------------------------------------------------------------------------
// Reporting

std::string hex(const std::string& bytes)
{
    std::string text;
    char part[4];
    for (unsigned char c : bytes) {
        std::snprintf(part, sizeof part, "%02X ", c);
        text += part;
    }
    return text;
}

bool check(bool ok, const std::string& what)
{
    ++checks;
    if (verbose)
        std::printf("%6lu ms %s %s\n", GetTickCount() % 1000000, ok ? "ok" : "NO", what.c_str());
    if (!ok) {
        ++failures;
        std::printf("FAIL: %s\n", what.c_str());
        std::fflush(stdout);
    }
    return ok;
}

bool checkText(const std::string& actual, const std::string& expected, const std::string& what)
{
    if (actual == expected) return check(true, what);
    return check(false, what + "\n  got      " + hex(actual) + "\n  expected " + hex(expected));
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeout)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > timeout) return false;
        Sleep(20);
    }
}

// ---------------------------------------------------------------------------------------
// Files

std::string in(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readFile(const std::string& path)
{
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    std::fclose(file);
    return bytes;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        check(false, "cannot write " + path);
        return;
    }
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

void copy(const std::string& from, const std::string& to)
{
    check(CopyFileA(from.c_str(), to.c_str(), FALSE) != 0, "copy " + from + " to " + to);
}

std::string makeFolder(const std::string& path)
{
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

void checkSameFile(const std::string& actual, const std::string& expected)
{
    std::string got = readFile(actual);
    std::string want = readFile(expected);
    check(!want.empty(), "reference " + expected + " exists");
    check(got == want, actual + " has the bytes of " + expected + " (" +
                           std::to_string(got.size()) + " and " + std::to_string(want.size()) +
                           " bytes)");
}

// Names, sizes and write times of a folder's files: what "no file changed" compares.
std::string folderState(const std::string& folder)
{
    std::string state;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(in(folder, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return state;
    do {
        char line[400];
        std::snprintf(line, sizeof line, "%s %lu %lu %lu\n", found.cFileName, found.nFileSizeLow,
                      found.ftLastWriteTime.dwLowDateTime, found.ftLastWriteTime.dwHighDateTime);
        state += line;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return state;
}

// ---------------------------------------------------------------------------------------
// Windows of the program

std::string windowText(HWND window)
{
    char text[2048] = "";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_NORMAL, 5000, &length))
        return "";
    return std::string(text, length < sizeof text ? length : 0);
}

std::string className(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct WindowSearch {
    DWORD pid;  // 0: any process
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM parameter)
{
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if ((search.pid == 0 || pid == search.pid) && IsWindowVisible(window) &&
        className(window) == search.className)
        search.found.push_back(window);
    return TRUE;
}

std::vector<HWND> topWindows(DWORD pid, const char* name)
{
    WindowSearch search = {pid, name, {}};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK collectChild(HWND window, LPARAM parameter)
{
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

std::vector<HWND> children(HWND window)
{
    std::vector<HWND> found;
    EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct Program {
    PROCESS_INFORMATION info = {};
    HWND window = nullptr;
};

bool start(Program& program, const std::string& exe, const std::string& commandLine,
           const std::string& directory)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    bool started = CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  directory.c_str(), &startup, &program.info) != 0;
    HANDLE kept;
    if (started && DuplicateHandle(GetCurrentProcess(), program.info.hProcess, GetCurrentProcess(),
                                   &kept, 0, FALSE, DUPLICATE_SAME_ACCESS))
        startedProcesses.push_back(kept);
    return check(started, "start " + exe);
}

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

// Starts the program in `folder` as the shell does: its quoted full path as the line.
bool startIn(Program& program, const std::string& folder)
{
    std::string exe = in(folder, "Hibarion.exe");
    return start(program, exe, quoted(exe), folder);
}

bool running(const Program& program)
{
    return WaitForSingleObject(program.info.hProcess, 0) == WAIT_TIMEOUT;
}

// The program's message boxes: dialogs with the caption "Hibarion".
HWND messageBox(const Program& program)
{
    for (HWND dialog : topWindows(program.info.dwProcessId, "#32770"))
        if (windowText(dialog) == "Hibarion") return dialog;
    return nullptr;
}

const char dialogCaption[] = "Hibarion2 の 設定";

HWND settingsDialog(const Program& program)
{
    for (HWND dialog : topWindows(program.info.dwProcessId, "#32770"))
        if (windowText(dialog) == dialogCaption) return dialog;
    return nullptr;
}

HWND waitForMainWindow(Program& program)
{
    HWND window = nullptr;
    waitUntil(
        [&] {
            std::vector<HWND> found = topWindows(program.info.dwProcessId, "Hibarion");
            if (!found.empty()) window = found[0];
            return window || messageBox(program) || !running(program);
        },
        AppearTimeout);
    check(window != nullptr, "the main window appears");
    program.window = window;
    return window;
}

// Returns once the program has dealt with what it was given: its next look at the
// message queue handles this message, either back in the main loop or in a message box.
void settle(const Program& program)
{
    DWORD_PTR result;
    LRESULT answered =
        SendMessageTimeoutA(program.window, WM_NULL, 0, 0, SMTO_NORMAL, SettleTimeout, &result);
    check(answered != 0, "the program answers");
}

bool pressButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    DWORD_PTR result;
    return check(button && SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result),
                 "press button " + std::to_string(id));
}

std::string messageText(HWND box)
{
    for (HWND child : children(box)) {
        if (_stricmp(className(child).c_str(), "Static") != 0) continue;
        std::string text = windowText(child);
        if (!text.empty()) return text;
    }
    return "";
}

bool showsErrorIcon(HWND box);

// Waits for the next message box, checks its text, its owner and its one OK button, runs
// `whileShown`, and presses OK. `owner` is the main window, or null for start-up's messages.
void expectMessage(Program& program, const std::string& text, HWND owner, const std::string& what,
                   const std::function<void()>& whileShown = nullptr)
{
    HWND box = nullptr;
    waitUntil([&] { return (box = messageBox(program)) != nullptr || !running(program); },
              AppearTimeout);
    if (!check(box != nullptr, "message box: " + what)) return;
    checkText(messageText(box), text, "text of the message box: " + what);
    check(GetWindow(box, GW_OWNER) == owner, "owner of the message box: " + what);
    check(GetDlgItem(box, IDOK) && !GetDlgItem(box, IDCANCEL) && !GetDlgItem(box, IDYES) &&
              !GetDlgItem(box, IDNO),
          "OK is the only button: " + what);
    // A box wider than the screen, as for a very long name, shows its icon off the screen.
    RECT frame;
    GetWindowRect(box, &frame);
    if (frame.left >= 0 && frame.right <= GetSystemMetrics(SM_CXSCREEN))
        check(showsErrorIcon(box), "the error icon: " + what);
    if (whileShown) whileShown();
    pressButton(box, IDOK);
    check(waitUntil([&] { return !IsWindow(box); }, AppearTimeout),
          "the message box closes: " + what);
}

void expectNoMessage(const Program& program, const std::string& what)
{
    settle(program);
    HWND box = messageBox(program);
    if (!check(box == nullptr, "no message box: " + what)) {
        std::printf("  it says %s\n", hex(messageText(box)).c_str());
        pressButton(box, IDOK);
    }
}

int waitForExit(Program& program)
{
    DWORD code = 0xDEAD;
    if (check(WaitForSingleObject(program.info.hProcess, ExitTimeout) == WAIT_OBJECT_0,
              "the program ends")) {
        GetExitCodeProcess(program.info.hProcess, &code);
    } else {
        TerminateProcess(program.info.hProcess, 99);
        WaitForSingleObject(program.info.hProcess, ExitTimeout);
    }
    CloseHandle(program.info.hProcess);
    CloseHandle(program.info.hThread);
    program.info = {};
    return static_cast<int>(code);
}

// Closes the main window as its close box does and expects a clean end.
void closeProgram(Program& program)
{
    PostMessageA(program.window, WM_CLOSE, 0, 0);
    check(waitForExit(program) == 0, "the program ends with exit code 0");
}

// ---------------------------------------------------------------------------------------
// Drops: a DROPFILES block written into the program's own memory, as the system hands it.

void postDrop(const Program& program, const std::vector<std::string>& names)
{
    DROPFILES header = {};
    header.pFiles = sizeof header;
    header.pt.x = 10;
    header.pt.y = 10;
    header.fWide = FALSE;
    std::string block(reinterpret_cast<const char*>(&header), sizeof header);
    for (const std::string& name : names) block += name + '\0';
    block += '\0';
    void* remote = VirtualAllocEx(program.info.hProcess, nullptr, block.size(),
                                  MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    SIZE_T written = 0;
    check(remote &&
              WriteProcessMemory(program.info.hProcess, remote, block.data(), block.size(),
                                 &written) &&
              written == block.size(),
          "the drop is written into the program");
    check(PostMessageA(program.window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0) != 0,
          "the drop is posted");
}

bool waitForFile(const std::string& path)
{
    return check(waitUntil([&] { return exists(path); }, AppearTimeout), path + " is written");
}

// ---------------------------------------------------------------------------------------
// Pictures: the screen as the user sees it.

struct Picture {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;  // 0x00RRGGBB, top row first
    COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A picture of `width` by `height` pixels drawn by `draw` into a device context of its
// own, read back as 0x00RRGGBB values, top row first.
template <typename Draw> Picture drawOffScreen(int width, int height, Draw draw)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    if (width <= 0 || height <= 0) return picture;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    draw(memory, screen);
    GdiFlush();
    const DWORD* source = static_cast<const DWORD*>(bits);
    picture.pixels.assign(source, source + static_cast<size_t>(width) * height);
    for (COLORREF& pixel : picture.pixels) pixel &= 0xFFFFFF;
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

Picture capture(const RECT& area)
{
    int width = area.right - area.left, height = area.bottom - area.top;
    return drawOffScreen(width, height, [&](HDC memory, HDC screen) {
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    });
}

bool samePicture(const Picture& a, const Picture& b)
{
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

// The screen once painting has settled: two captures in a row show the same.
Picture captureSettled(const RECT& area)
{
    Picture last = capture(area);
    waitUntil(
        [&] {
            Sleep(100);
            Picture next = capture(area);
            bool same = samePicture(next, last);
            last = next;
            return same;
        },
        3000);
    return last;
}

// The box's icon looks like the system's error icon drawn on the box's own background.
bool showsErrorIcon(HWND box)
{
    for (HWND child : children(box)) {
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (_stricmp(className(child).c_str(), "Static") != 0 || (style & SS_TYPEMASK) != SS_ICON ||
            !IsWindowVisible(child))
            continue;
        RECT area;
        GetWindowRect(child, &area);
        Picture shown = captureSettled(area);
        if (shown.pixels.empty()) return false;

        COLORREF background = shown.at(0, 0);
        Picture drawn = drawOffScreen(shown.width, shown.height, [&](HDC memory, HDC) {
            HBRUSH brush =
                CreateSolidBrush(RGB(background >> 16, background >> 8 & 0xFF, background & 0xFF));
            RECT all = {0, 0, shown.width, shown.height};
            FillRect(memory, &all, brush);
            DeleteObject(brush);
            DrawIconEx(memory, 0, 0, LoadIconA(nullptr, IDI_HAND), 0, 0, 0, nullptr, DI_NORMAL);
        });
        return samePicture(shown, drawn);
    }
    return false;
}

RECT clientOnScreen(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&client, origin.x, origin.y);
    return client;
}

// Saves a picture as a 24-bit BMP; the launcher turns it into PNG.
void saveScreenshot(const Picture& picture, const std::string& path)
{
    int rowBytes = (picture.width * 3 + 3) / 4 * 4;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = picture.width;
    info.biHeight = -picture.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + rowBytes * picture.height;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (int y = 0; y < picture.height; y++) {
        std::string row(rowBytes, '\0');
        for (int x = 0; x < picture.width; x++) {
            COLORREF pixel = picture.at(x, y);
            row[x * 3] = static_cast<char>(pixel & 0xFF);
            row[x * 3 + 1] = static_cast<char>(pixel >> 8 & 0xFF);
            row[x * 3 + 2] = static_cast<char>(pixel >> 16 & 0xFF);
        }
        bytes += row;
    }
    writeFile(path, bytes);
}

uint32_t le32(const std::string& b, size_t at)
{
    return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
           static_cast<uint8_t>(b[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

// The pixels of a 16-colour BMP file as the window should show them.
Picture skinPicture(const std::string& bmp)
{
    Picture picture;
    if (bmp.size() < 54) return picture;
    int width = static_cast<int32_t>(le32(bmp, 18));
    int height = static_cast<int32_t>(le32(bmp, 22));
    uint32_t colours = le32(bmp, 46) ? le32(bmp, 46) : 16;
    bool topDown = height < 0;
    if (topDown) height = -height;
    size_t rowBytes = (static_cast<size_t>(width) + 7) / 8 * 4;
    size_t pixelsAt = 54 + 4 * colours;
    if (colours > 16 || bmp.size() < pixelsAt + rowBytes * height) return picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; y++) {
        size_t row = pixelsAt + rowBytes * (topDown ? y : height - 1 - y);
        for (int x = 0; x < width; x++) {
            uint8_t pair = static_cast<uint8_t>(bmp[row + x / 2]);
            size_t index = x % 2 ? pair & 15 : pair >> 4;
            uint32_t quad = le32(bmp, 54 + 4 * index);
            picture.pixels[static_cast<size_t>(y) * width + x] = quad & 0xFFFFFF;
        }
    }
    return picture;
}

// A bottom-up 16-colour BMP turned into the same picture stored top row first.
std::string topDownCopy(const std::string& bmp)
{
    int width = static_cast<int32_t>(le32(bmp, 18));
    int height = static_cast<int32_t>(le32(bmp, 22));
    uint32_t colours = le32(bmp, 46) ? le32(bmp, 46) : 16;
    size_t rowBytes = (static_cast<size_t>(width) + 7) / 8 * 4;
    size_t pixelsAt = 54 + 4 * colours;
    std::string copy = bmp.substr(0, pixelsAt);
    int32_t negative = -height;
    std::memcpy(&copy[22], &negative, 4);
    for (int y = height - 1; y >= 0; y--) copy += bmp.substr(pixelsAt + rowBytes * y, rowBytes);
    return copy;
}

Picture plainWhite(int width, int height)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(static_cast<size_t>(width) * height, 0xFFFFFF);
    return picture;
}

// The client area shows `expected`, once the display has caught up with the paint.
void checkFace(const Program& program, const Picture& expected, const std::string& what)
{
    RECT client = {};
    GetClientRect(program.window, &client);
    check(client.right == expected.width && client.bottom == expected.height,
          "client area of " + std::to_string(expected.width) + " by " +
              std::to_string(expected.height) + " (" + std::to_string(client.right) + " by " +
              std::to_string(client.bottom) + "): " + what);
    Picture shown;
    waitUntil(
        [&] {
            shown = capture(clientOnScreen(program.window));
            return samePicture(shown, expected);
        },
        5000);
    size_t differing = 0;
    if (shown.pixels.size() == expected.pixels.size())
        for (size_t i = 0; i < shown.pixels.size(); i++)
            differing += shown.pixels[i] != expected.pixels[i];
    check(samePicture(shown, expected), "the client area shows the expected pixels (" +
                                            std::to_string(differing) + " differ): " + what);
}

RECT windowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

// ---------------------------------------------------------------------------------------
// The program's texts in code page 932. A few are pinned in hex here, so that a wrong
// conversion of this file's literals cannot hide a wrong conversion in the program.

const char settingsMissingText[] = "INI ファイルが見つかりません。\nデフォルトで作成します。";
const char skinMissingText[] = "Hibarion.bmp が見つかりません。";
const char noPathText[] =
    "ファイルのパス情報がありません。\n続行できますが、作者に状況を報告してください。";
const char tooLongText[] =
    "ファイル名が長すぎます。\n\nコマンドラインまたはファイル名を短くするか\nフォルダの階層を浅くしてください。";
const char seriousErrorText1[] = "起こり得ない極めて深刻なエラーが発生しました。(1)";
const char seriousErrorText2[] = "起こり得ない極めて深刻なエラーが発生しました。(2)";
const char notSixteenColoursText[] = "この Hibarion.bmp は１６色フォーマットではありません。";
const char skinDataBrokenText[] = "この Hibarion.bmp はデータが壊れています。";

void checkPinnedTexts()
{
    checkText(
        skinMissingText,
        "Hibarion.bmp \x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42",
        "the picture message's bytes");
    checkText(dialogCaption, "Hibarion2 \x82\xCC \x90\xDD\x92\xE8", "the dialog caption's bytes");
    checkText(std::string(settingsMissingText).substr(0, 8), "INI \x83\x74\x83\x40",
              "the settings message's bytes");
}

// Dismisses the messages of a first start without a settings file.
void expectFirstStartMessages(Program& program, bool withSkin)
{
    expectMessage(program, settingsMissingText, nullptr, "settings file missing");
    if (!withSkin) expectMessage(program, skinMissingText, nullptr, "picture missing");
}

// ---------------------------------------------------------------------------------------
// Cases

std::string caseFolder(const std::string& name, bool withSkin)
{
    std::string folder = makeFolder(in(workDir, name));
    copy(in(buildDir, "Hibarion.exe"), in(folder, "Hibarion.exe"));
    if (withSkin) copy(in(buildDir, "Hibarion.bmp"), in(folder, "Hibarion.bmp"));
    return folder;
}

void checkMainWindowLooks(HWND window)
{
    checkText(windowText(window), "Hibarion", "the window's title");
    LONG style = GetWindowLongA(window, GWL_STYLE);
    check((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU), "caption and system menu");
    check(!(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)),
          "no sizing, minimize or maximize");
    check(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, "the window accepts files");
    check(GetClassLongA(window, GCL_STYLE) == (CS_HREDRAW | CS_VREDRAW), "class style");
}

void firstStart()
{
    std::string folder = caseFolder("first_start", false);
    std::string ini = in(folder, "Hibarion.ini");
    Program program;
    if (!startIn(program, folder)) return;

    expectMessage(program, settingsMissingText, nullptr, "settings file missing",
                  [&] { check(!exists(ini), "no settings file while its message is shown"); });
    // The defaults are written before the picture is looked for, and so before the window.
    HWND box = nullptr;
    check(waitUntil([&] { return (box = messageBox(program)) != nullptr; }, AppearTimeout),
          "the picture message follows");
    check(readFile(ini).size() == 635, "the default settings file of 635 bytes exists");
    checkSameFile(ini, in(in(dataDir, "default"), "Hibarion.ini"));
    check(topWindows(program.info.dwProcessId, "Hibarion").empty(), "no main window yet");
    expectMessage(program, skinMissingText, nullptr, "picture missing");

    if (!waitForMainWindow(program)) return;
    expectNoMessage(program, "after start-up");
    checkMainWindowLooks(program.window);
    checkFace(program, plainWhite(200, 100), "no picture");
    closeProgram(program);
    checkSameFile(ini, in(in(dataDir, "default"), "Hibarion.ini"));
}

void skin()
{
    std::string folder = caseFolder("skin", true);
    std::string bmp = readFile(in(folder, "Hibarion.bmp"));
    Picture expected = skinPicture(bmp);
    check(expected.width > 0, "the shipped picture can be read");
    Program program;
    if (!startIn(program, folder)) return;
    expectFirstStartMessages(program, true);
    if (!waitForMainWindow(program)) return;
    expectNoMessage(program, "after start-up");
    checkFace(program, expected, "the shipped picture");
    saveScreenshot(captureSettled(windowRect(program.window)),
                   in(workDir, "screenshot-window.bmp"));

    // Only the right-button press does something; other clicks give no window.
    LPARAM point = MAKELPARAM(20, 20);
    PostMessageA(program.window, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageA(program.window, WM_LBUTTONUP, 0, point);
    PostMessageA(program.window, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    PostMessageA(program.window, WM_RBUTTONUP, 0, point);
    expectNoMessage(program, "after clicks");
    check(settingsDialog(program) == nullptr, "clicks other than the right press open nothing");
    closeProgram(program);

    // A top-down copy of the picture shows the same face; the settings now read quietly.
    writeFile(in(folder, "Hibarion.bmp"), topDownCopy(bmp));
    if (!startIn(program, folder) || !waitForMainWindow(program)) return;
    expectNoMessage(program, "second start reads its settings");
    checkFace(program, expected, "the picture stored top row first");
    closeProgram(program);
}

void refusedSkin()
{
    std::string shipped = readFile(in(buildDir, "Hibarion.bmp"));
    Picture full = skinPicture(shipped);

    // A 24-bit picture is refused by its colour count: the window stays 200 by 100.
    std::string folder = caseFolder("refused_skin_colours", false);
    std::string colours = shipped;
    colours[28] = 24;
    writeFile(in(folder, "Hibarion.bmp"), colours);
    Program program;
    if (!startIn(program, folder)) return;
    expectMessage(program, settingsMissingText, nullptr, "settings file missing");
    expectMessage(program, notSixteenColoursText, nullptr, "24-bit picture");
    if (!waitForMainWindow(program)) return;
    checkFace(program, plainWhite(200, 100), "refused picture");
    closeProgram(program);

    // Pixel rows cut short: the window takes the picture's size but shows it white.
    folder = caseFolder("refused_skin_data", false);
    writeFile(in(folder, "Hibarion.bmp"), shipped.substr(0, shipped.size() - 1));
    if (!startIn(program, folder)) return;
    expectMessage(program, settingsMissingText, nullptr, "settings file missing");
    expectMessage(program, skinDataBrokenText, nullptr, "short picture");
    if (!waitForMainWindow(program)) return;
    checkFace(program, plainWhite(full.width, full.height), "picture without its pixels");
    closeProgram(program);
}

void drops()
{
    std::string folder = caseFolder("drops", false);
    std::string reference = in(dataDir, "default");
    std::string sample = in(dataDir, "sample.p6");
    std::string recording = in(reference, "sample_.wav");
    Program program;
    if (!startIn(program, folder)) return;
    expectFirstStartMessages(program, false);
    if (!waitForMainWindow(program)) return;

    // Tape images: their recordings and their listings.
    copy(sample, in(folder, "sample.p6"));
    copy(in(dataDir, "HELLO.p6"), in(folder, "HELLO.p6"));
    postDrop(program, {in(folder, "sample.p6"), in(folder, "HELLO.p6")});
    waitForFile(in(folder, "HELLO.txt"));
    expectNoMessage(program, "tape image drop");
    checkSameFile(in(folder, "sample_.wav"), in(reference, "sample_.wav"));
    checkSameFile(in(folder, "sample.txt"), in(reference, "sample.txt"));
    checkSameFile(in(folder, "HELLO_.wav"), in(reference, "HELLO_.wav"));
    checkSameFile(in(folder, "HELLO.txt"), in(reference, "HELLO.txt"));

    // A recording: its tape image.
    copy(recording, in(folder, "tone.wav"));
    postDrop(program, {in(folder, "tone.wav")});
    waitForFile(in(folder, "tone.P6"));
    expectNoMessage(program, "recording drop");
    checkSameFile(in(folder, "tone.P6"), in(reference, "sample_.P6"));

    // A name of neither kind, and a recording the reader refuses.
    std::string readme = in(folder, "README.TXT");
    writeFile(readme, "hello");
    postDrop(program, {readme});
    expectMessage(program, readme + " は拡張子が不正です。", program.window, "bad name");
    expectNoMessage(program, "after the bad name");
    // A name longer than the drop buffer of 1200 bytes arrives cut to 1199.
    std::string longName = in(folder, std::string(1300 - folder.size() - 4, 'a') + ".p6");
    postDrop(program, {longName});
    expectMessage(program, longName.substr(0, 1199) + " は拡張子が不正です。", program.window,
                  "name longer than the buffer");
    expectNoMessage(program, "after the long name");
    std::string missing = in(folder, "missing.p6");
    postDrop(program, {missing});
    expectMessage(program, missing + " を開けません。", program.window,
                  "file that cannot be opened");
    expectNoMessage(program, "after the file that cannot be opened");
    std::string broken = in(folder, "broken.wav");
    writeFile(broken, std::string("JUNK") + std::string(60, '\0'));
    postDrop(program, {broken});
    expectMessage(program, broken + " は ヘッダが不正です。 ", program.window, "refused recording");
    expectNoMessage(program, "after the refused recording");

    // Several files in one drop go in order, each message before the next file; a name
    // of three bytes passes silently; names in code page 932 are used as they are.
    std::string japanese = in(folder, "テープ表.p6");
    std::string empty = in(folder, "empty.wav");
    copy(sample, in(folder, "first.p6"));
    copy(sample, japanese);
    copy(recording, in(folder, "last.wav"));
    writeFile(empty, "");
    postDrop(program,
             {in(folder, "first.p6"), readme, japanese, empty, "x.p", in(folder, "last.wav")});
    expectMessage(program, readme + " は拡張子が不正です。", program.window,
                  "second file of the drop", [&] {
                      check(exists(in(folder, "first.txt")),
                            "the first file was done before the second's message");
                      check(!exists(in(folder, "テープ表_.wav")),
                            "the third file waits for the second's message");
                  });
    expectMessage(program, empty + " は ヘッダがありません。 ", program.window,
                  "fourth file of the drop", [&] {
                      check(exists(in(folder, "テープ表.txt")),
                            "the third file was done before the fourth's message");
                      check(!exists(in(folder, "last.P6")),
                            "the last file waits for the fourth's message");
                  });
    waitForFile(in(folder, "last.P6"));
    expectNoMessage(program, "end of the drop");
    checkSameFile(in(folder, "first_.wav"), in(reference, "sample_.wav"));
    checkSameFile(in(folder, "first.txt"), in(reference, "sample.txt"));
    checkSameFile(in(folder, "テープ表_.wav"), in(reference, "sample_.wav"));
    checkSameFile(in(folder, "テープ表.txt"), in(reference, "sample.txt"));
    checkSameFile(in(folder, "last.P6"), in(reference, "sample_.P6"));

    // A read-only recording in the way stays as it was; the listing is written all the
    // same, and no temporary is left behind.
    std::string locked = in(folder, "locked_.wav");
    writeFile(locked, "earlier");
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    copy(sample, in(folder, "locked.p6"));
    postDrop(program, {in(folder, "locked.p6")});
    expectMessage(program, locked + " は書き込めません", program.window, "read-only recording");
    waitForFile(in(folder, "locked.txt"));
    expectNoMessage(program, "after the read-only recording");
    checkText(readFile(locked), "earlier", "the read-only recording is unchanged");
    check(folderState(folder).find("~hibarion") == std::string::npos, "no temporary left");
    closeProgram(program);
}

// The dialog template as built into the program.
struct TemplateControl {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    WORD classAtom;  // 0x80 button, 0x81 edit, 0x82 static
    const char* className;
    std::string text;  // code page 932
};

std::string narrow(const WCHAR* text)
{
    char buffer[1024] = "";
    WideCharToMultiByte(932, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

const WORD* afterString(const WORD* p)
{
    while (*p) p++;
    return p + 1;
}

void checkDialogTemplate()
{
    HMODULE module =
        LoadLibraryExA(in(buildDir, "Hibarion.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC resource =
        module ? FindResourceA(module, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(5)) : nullptr;
    if (!check(resource != nullptr, "dialog resource 101")) return;
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
    DWORD size = SizeofResource(module, resource);

    const DLGTEMPLATE* dialog = reinterpret_cast<const DLGTEMPLATE*>(bytes);
    check(dialog->style == (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT) &&
              dialog->dwExtendedStyle == 0,
          "dialog style");
    check(dialog->x == 0 && dialog->y == 0 && dialog->cx == 213 && dialog->cy == 197,
          "dialog position and size");
    check(dialog->cdit == 11, "eleven controls");
    const WORD* p = reinterpret_cast<const WORD*>(dialog + 1);
    check(p[0] == 0 && p[1] == 0, "no menu, the standard class");
    p += 2;
    checkText(narrow(reinterpret_cast<const WCHAR*>(p)), dialogCaption, "template caption");
    p = afterString(p);
    check(*p == 9, "font size 9");
    p++;
    checkText(narrow(reinterpret_cast<const WCHAR*>(p)),
              "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E", "font name");
    p = afterString(p);

    const DWORD child = WS_CHILD | WS_VISIBLE;
    const TemplateControl expected[] = {
        {child | BS_DEFPUSHBUTTON | WS_TABSTOP, 33, 166, 45, 14, 1, 0x80, "Button", "OK"},
        {child | BS_PUSHBUTTON | WS_TABSTOP, 83, 166, 45, 14, 2, 0x80, "Button", "ｷｬﾝｾﾙ"},
        {child | BS_PUSHBUTTON | WS_TABSTOP, 133, 166, 45, 14, 1003, 0x80, "Button", "更新"},
        {child | SS_LEFT | WS_GROUP, 14, 16, 143, 37, 0xFFFF, 0x82, "Static",
         "音の大きさを測る最初のピーの時間（秒）。実際の時間×0.8くらいを指定。まともなテープなら 2.0 くらい。最初が欠けているテープならそれにあわせて小さくする。"},
        {child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 166, 19, 34, 16, 1001, 0x81, "Edit", ""},
        {child | SS_LEFT | WS_GROUP, 14, 59, 143, 27, 0xFFFF, 0x82, "Static",
         "入力において、1200Hz の正弦波の、 2400Hzの正弦波に対する音量比。資料が無いので正確な値はわからない。"},
        {child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 166, 60, 34, 16, 1002, 0x81, "Edit", ""},
        {child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 166, 92, 34, 16, 1005, 0x81, "Edit", ""},
        {child | SS_LEFT | WS_GROUP, 14, 91, 143, 28, 0xFFFF, 0x82, "Static",
         "出力において、1200Hz の正弦波の、 2400Hzの正弦波に対する音量比。資料が無いので正確な値はわからない。"},
        {child | BS_AUTOCHECKBOX | WS_TABSTOP, 17, 127, 180, 14, 1006, 0x80, "Button",
         "出力を１／１６倍速にする （ データとしては使えません ）"},
        {child | BS_AUTOCHECKBOX | WS_TABSTOP, 17, 141, 166, 14, 1007, 0x80, "Button",
         "BASIC のリストを出力"},
    };
    for (int i = 0; i < 11 && i < dialog->cdit; i++) {
        const TemplateControl& want = expected[i];
        std::string which = "control " + std::to_string(i + 1);
        p = reinterpret_cast<const WORD*>(bytes +
                                          ((reinterpret_cast<const BYTE*>(p) - bytes + 3) & ~3));
        if (!check(reinterpret_cast<const BYTE*>(p) + sizeof(DLGITEMTEMPLATE) < bytes + size,
                   which + " inside the resource"))
            return;
        const DLGITEMTEMPLATE* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
        check(item->style == want.style && item->dwExtendedStyle == 0, which + " styles");
        check(item->x == want.x && item->y == want.y && item->cx == want.cx && item->cy == want.cy,
              which + " coordinates");
        check(item->id == want.id, which + " id");
        p = reinterpret_cast<const WORD*>(item + 1);
        // rc writes the standard classes as atoms, windres as their names.
        if (p[0] == 0xFFFF) {
            check(p[1] == want.classAtom, which + " class");
            p += 2;
        } else {
            check(_stricmp(narrow(reinterpret_cast<const WCHAR*>(p)).c_str(), want.className) == 0,
                  which + " class");
            p = afterString(p);
        }
        checkText(narrow(reinterpret_cast<const WCHAR*>(p)), want.text, which + " text");
        p = afterString(p);
        p += 1 + (*p + 1) / 2;  // creation data: its size, then the bytes
    }

    HRSRC icons = FindResourceA(module, MAKEINTRESOURCEA(103), MAKEINTRESOURCEA(14));
    if (check(icons != nullptr, "icon resource 103")) {
        const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(module, icons)));
        const WORD* head = reinterpret_cast<const WORD*>(group);
        check(head[2] == 2, "two icon images");
        for (int i = 0; i < head[2] && i < 2; i++) {
            const BYTE* entry = group + 6 + 14 * i;
            int side = entry[0];
            WORD bits = *reinterpret_cast<const WORD*>(entry + 6);
            check(
                (side == 32 || side == 16) && entry[1] == side && bits == 4,
                "icon image " + std::to_string(i + 1) + " is 32 or 16 pixels square in 16 colours");
        }
        check(group[6] != group[20], "one image of each size");
    }
    FreeLibrary(module);
}

std::string itemText(HWND dialog, int id) { return windowText(GetDlgItem(dialog, id)); }

bool checked(HWND dialog, int id)
{
    DWORD_PTR state = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &state);
    return state == BST_CHECKED;
}

bool applyEnabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, 1003)) != 0; }

void setItemText(HWND dialog, int id, const char* text)
{
    DWORD_PTR result;
    SendMessageTimeoutA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL, 5000, &result);
}

void typeInto(HWND dialog, int id, const char* text)
{
    HWND edit = GetDlgItem(dialog, id);
    DWORD_PTR result;
    SendMessageTimeoutA(edit, EM_SETSEL, 0, -1, SMTO_NORMAL, 5000, &result);
    for (const char* c = text; *c; c++)
        SendMessageTimeoutA(edit, WM_CHAR, static_cast<unsigned char>(*c), 1, SMTO_NORMAL, 5000,
                            &result);
}

HWND openDialog(Program& program)
{
    PostMessageA(program.window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 30));
    HWND dialog = nullptr;
    waitUntil([&] { return (dialog = settingsDialog(program)) != nullptr || messageBox(program); },
              AppearTimeout);
    check(dialog != nullptr, "the right-button press opens the settings dialog");
    return dialog;
}

bool waitClosed(HWND dialog)
{
    return check(waitUntil([&] { return !IsWindow(dialog); }, AppearTimeout), "the dialog closes");
}

void dialog()
{
    checkDialogTemplate();

    std::string folder = caseFolder("dialog", true);
    Program program;
    if (!startIn(program, folder)) return;
    expectFirstStartMessages(program, true);
    if (!waitForMainWindow(program)) return;

    HWND dialog = openDialog(program);
    if (!dialog) return;
    checkText(windowText(dialog), dialogCaption, "dialog caption");
    checkText(itemText(dialog, 1001), "2.0", "first tone shown");
    checkText(itemText(dialog, 1002), "1.32", "input ratio shown");
    checkText(itemText(dialog, 1005), "1.32", "output ratio shown");
    check(!checked(dialog, 1006), "1/16 box unchecked");
    check(checked(dialog, 1007), "listing box checked");
    check(!applyEnabled(dialog), "Apply disabled on opening");
    checkText(itemText(dialog, IDOK), "OK", "OK text");
    checkText(itemText(dialog, IDCANCEL), "ｷｬﾝｾﾙ", "Cancel text");
    checkText(itemText(dialog, 1003), "更新", "Apply text");
    checkText(itemText(dialog, 1006), "出力を１／１６倍速にする （ データとしては使えません ）",
              "1/16 box text");
    checkText(itemText(dialog, 1007), "BASIC のリストを出力", "listing box text");
    check(GetWindow(dialog, GW_OWNER) == program.window, "the main window owns the dialog");
    check(!IsWindowEnabled(program.window), "the main window takes no input meanwhile");
    // Not centred: Windows puts the dialog's (0, 0) at the top left of the owner's client
    // area, Wine at the top left of the owner's frame.
    RECT client = clientOnScreen(program.window);
    RECT frame = windowRect(dialog);
    RECT mainFrame = windowRect(program.window);
    check((frame.left == client.left && frame.top == client.top) ||
              (frame.left == mainFrame.left && frame.top == mainFrame.top),
          "the dialog sits at the top left of the main window");
    RECT both;
    UnionRect(&both, &mainFrame, &frame);
    saveScreenshot(captureSettled(both), in(workDir, "screenshot-dialog.bmp"));

    // Typing enables Apply; Apply stores and disables it; Cancel keeps what Apply stored.
    typeInto(dialog, 1001, "1.5");
    checkText(itemText(dialog, 1001), "1.5", "typed first tone");
    check(applyEnabled(dialog), "typing enables Apply");
    pressButton(dialog, 1003);
    check(!applyEnabled(dialog) && IsWindow(dialog),
          "Apply stores, disables itself and stays open");
    setItemText(dialog, 1002, "9.99");
    check(applyEnabled(dialog), "a new text enables Apply");
    pressButton(dialog, IDCANCEL);
    waitClosed(dialog);
    check(IsWindowEnabled(program.window), "the main window takes input again");

    dialog = openDialog(program);
    if (!dialog) return;
    checkText(itemText(dialog, 1001), "1.5", "Apply's value kept after Cancel");
    checkText(itemText(dialog, 1002), "1.32", "Cancel stored nothing");
    check(!applyEnabled(dialog), "Apply disabled on opening again");

    // The close box stores nothing either.
    setItemText(dialog, 1005, "7.77");
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    waitClosed(dialog);

    dialog = openDialog(program);
    if (!dialog) return;
    checkText(itemText(dialog, 1005), "1.32", "the close box stored nothing");
    setItemText(dialog, 1005, "2.00");
    pressButton(dialog, 1006);
    check(checked(dialog, 1006) && applyEnabled(dialog),
          "a click on the 1/16 box checks it and enables Apply");
    pressButton(dialog, 1007);
    check(!checked(dialog, 1007), "a click on the listing box unchecks it");
    pressButton(dialog, IDOK);
    waitClosed(dialog);

    dialog = openDialog(program);
    if (!dialog) return;
    checkText(itemText(dialog, 1005), "2.00", "OK stored the output ratio");
    check(checked(dialog, 1006) && !checked(dialog, 1007), "OK stored both boxes");
    pressButton(dialog, IDCANCEL);
    waitClosed(dialog);

    // The next drop uses the new values: first tone 1.5, output ratio 2.00, 1/16 speed,
    // no listing.
    std::string reference = in(dataDir, "changed");
    copy(in(dataDir, "sample.p6"), in(folder, "sample.p6"));
    copy(in(in(dataDir, "default"), "sample_.wav"), in(folder, "tone.wav"));
    postDrop(program, {in(folder, "sample.p6"), in(folder, "tone.wav")});
    waitForFile(in(folder, "tone.P6"));
    expectNoMessage(program, "drop with the new settings");
    checkSameFile(in(folder, "sample_.wav"), in(reference, "sample_.wav"));
    checkSameFile(in(folder, "tone.P6"), in(reference, "tone.P6"));
    check(!exists(in(folder, "sample.txt")), "no listing with listings off");

    closeProgram(program);
    checkSameFile(in(folder, "Hibarion.ini"), in(reference, "Hibarion.ini"));
}

// The settings file with the values of some of its lines replaced: line index, text after
// the key's "=".
std::string withValues(const std::string& ini,
                       const std::vector<std::pair<int, std::string>>& values)
{
    std::vector<std::string> lines;
    size_t at = 0, next;
    while ((next = ini.find("\r\n", at)) != std::string::npos) {
        lines.push_back(ini.substr(at, next - at));
        at = next + 2;
    }
    for (const auto& value : values) {
        std::string& line = lines[value.first];
        line = line.substr(0, line.find('=') + 1) + value.second;
    }
    std::string result;
    for (const std::string& line : lines) result += line + "\r\n";
    return result;
}

// Values the dialog cannot set, from a hand-edited settings file: shown as well as the
// boxes can, kept by Cancel, replaced by OK.
void dialogValues()
{
    std::string folder = caseFolder("dialog_values", true);
    std::string defaults = readFile(in(in(dataDir, "default"), "Hibarion.ini"));
    std::string ini = in(folder, "Hibarion.ini");
    writeFile(ini, withValues(defaults, {{2, "1.3456"}, {4, "  4.0"}, {5, "5"}}));
    Program program;
    if (!startIn(program, folder) || !waitForMainWindow(program)) return;
    expectNoMessage(program, "start with a hand-edited settings file");

    HWND dialog = openDialog(program);
    if (!dialog) return;
    checkText(itemText(dialog, 1002), "1.35", "four decimals shown with two");
    check(!checked(dialog, 1006), "a slowness of 4.0 shows the 1/16 box unchecked");
    check(checked(dialog, 1007), "a listing value of 5 shows the listing box checked");
    pressButton(dialog, IDCANCEL);
    waitClosed(dialog);
    closeProgram(program);
    checkText(readFile(ini), withValues(defaults, {{2, "1.35"}, {4, "  4.0"}, {5, "5"}}),
              "Cancel kept the values, saved by their formats");

    writeFile(ini, withValues(defaults, {{2, "1.3456"}, {4, "  4.0"}, {5, "5"}}));
    if (!startIn(program, folder) || !waitForMainWindow(program)) return;
    dialog = openDialog(program);
    if (!dialog) return;
    pressButton(dialog, IDOK);
    waitClosed(dialog);
    closeProgram(program);
    checkText(readFile(ini), withValues(defaults, {{2, "1.35"}, {4, "  1.0"}, {5, "1"}}),
              "OK replaced them by what the dialog shows");
}

void secondInstance()
{
    std::string folder = caseFolder("second_instance", true);
    copy(in(in(dataDir, "default"), "Hibarion.ini"), in(folder, "Hibarion.ini"));
    Program first;
    if (!startIn(first, folder) || !waitForMainWindow(first)) return;
    expectNoMessage(first, "start with a settings file");
    std::string before = folderState(folder);

    // Another window in front, which the second start is to put behind the first's.
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 500, 400, 100, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    check(GetForegroundWindow() == other, "another window is in front");

    Program second;
    if (startIn(second, folder)) {
        check(waitForExit(second) == 0, "the second start ends with exit code 0");
    }
    check(GetForegroundWindow() == first.window, "the first program's window came to the front");
    DestroyWindow(other);
    check(folderState(folder) == before, "the second start changed no file");
    check(topWindows(0, "Hibarion").size() == 1, "one window of the class");
    check(IsWindow(first.window) && running(first), "the first program runs on");
    expectNoMessage(first, "after the second start");
    closeProgram(first);
}

void commandLines()
{
    // A quoted path with blanks, then arguments: the directory inside the quotes.
    std::string blanks = caseFolder("with blanks", true);
    std::string elsewhere = makeFolder(in(workDir, "elsewhere"));
    Program program;
    std::string exe = in(blanks, "Hibarion.exe");
    if (start(program, exe, quoted(exe) + " one \"two three\"", elsewhere)) {
        expectFirstStartMessages(program, true);
        if (waitForMainWindow(program)) {
            checkFace(program, skinPicture(readFile(in(blanks, "Hibarion.bmp"))),
                      "picture beside the quoted path");
            closeProgram(program);
        }
        check(exists(in(blanks, "Hibarion.ini")) && !exists(in(elsewhere, "Hibarion.ini")),
              "settings beside the quoted path");
    }

    // Unquoted, the path ends at the first blank: "...\unquoted\sub dir\Hibarion.exe"
    // gives "...\unquoted\".
    std::string unquoted = makeFolder(in(workDir, "unquoted"));
    std::string sub = makeFolder(in(unquoted, "sub dir"));
    copy(in(buildDir, "Hibarion.exe"), in(sub, "Hibarion.exe"));
    exe = in(sub, "Hibarion.exe");
    if (start(program, exe, exe, elsewhere)) {
        expectFirstStartMessages(program, false);
        if (waitForMainWindow(program)) closeProgram(program);
        check(exists(in(unquoted, "Hibarion.ini")) && !exists(in(sub, "Hibarion.ini")),
              "settings in the folder before the blank");
    }

    // A program named in code page 932 with 0x5C as a second byte ("表" is 95 5C): that
    // byte is no backslash, and the directory is the one the program is in.
    std::string dbcs = makeFolder(in(workDir, "dbcs"));
    exe = in(dbcs, "表.exe");
    copy(in(buildDir, "Hibarion.exe"), exe);
    if (start(program, exe, quoted(exe), elsewhere)) {
        expectFirstStartMessages(program, false);
        if (waitForMainWindow(program)) closeProgram(program);
        checkSameFile(in(dbcs, "Hibarion.ini"), in(in(dataDir, "default"), "Hibarion.ini"));
    }

    // A bare program name: the path message, then the current directory.
    std::string bare = caseFolder("bare", true);
    if (start(program, in(bare, "Hibarion.exe"), "Hibarion.exe", bare)) {
        expectMessage(program, noPathText, nullptr, "no path");
        expectFirstStartMessages(program, true);
        if (waitForMainWindow(program)) {
            checkFace(program, skinPicture(readFile(in(bare, "Hibarion.bmp"))),
                      "picture from the current directory");
            closeProgram(program);
        }
        check(exists(in(bare, "Hibarion.ini")), "settings in the current directory");
    }

    // 991 bytes are refused before anything is read or written; 990 are accepted.
    std::string limit = caseFolder("limit", true);
    exe = in(limit, "Hibarion.exe");
    std::string line991 = quoted(exe) + " ";
    line991.resize(991, 'x');
    if (start(program, exe, line991, limit)) {
        expectMessage(program, tooLongText, nullptr, "991 bytes");
        check(waitForExit(program) == 0, "the refused start ends with exit code 0");
        check(!exists(in(limit, "Hibarion.ini")), "the refused start wrote nothing");
    }
    if (start(program, exe, line991.substr(0, 990), limit)) {
        expectFirstStartMessages(program, true);
        if (waitForMainWindow(program)) closeProgram(program);
    }

    // Lines that cannot come from the system: a leading blank, a single byte.
    if (start(program, exe, " Hibarion.exe", limit)) {
        expectMessage(program, seriousErrorText2, nullptr, "leading blank");
        check(waitForExit(program) == 0, "exit code 0 after the leading blank");
    }
    if (start(program, exe, "x", limit)) {
        expectMessage(program, seriousErrorText1, nullptr, "one byte");
        check(waitForExit(program) == 0, "exit code 0 after the single byte");
    }
}

struct Case {
    const char* name;
    void (*run)();
};

const Case cases[] = {
    {"first_start", firstStart},
    {"skin", skin},
    {"refused_skin", refusedSkin},
    {"drops", drops},
    {"dialog", dialog},
    {"dialog_values", dialogValues},
    {"second_instance", secondInstance},
    {"command_line", commandLines},
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: e2e_driver CASE WORK BUILD DATA\n");
        return 2;
    }
    verbose = std::getenv("E2E_VERBOSE") != nullptr;
    workDir = argv[2];
    buildDir = argv[3];
    dataDir = argv[4];
    for (const Case& c : cases) {
        if (std::strcmp(c.name, argv[1]) != 0) continue;
        checkPinnedTexts();
        c.run();
        for (HANDLE process : startedProcesses) {
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
                check(false, "a started program was left running");
                TerminateProcess(process, 99);
            }
        }
        std::printf("%s: %d checks, %d failed\n", c.name, checks, failures);
        return failures ? 1 : 0;
    }
    std::fprintf(stderr, "unknown case %s\n", argv[1]);
    return 2;
}
