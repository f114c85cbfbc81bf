// The conversions' platform on Windows: message boxes, the system cursors, and files
// replaced through a temporary beside them.
#include <windows.h>

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "core/platform.h"
#include "shell/win_shell.h"
#include "shell/window_messages.h"

void showWindowMessage(HWND owner, const char* text)
{
    MessageBoxA(owner, text, "Hibarion", MB_ICONERROR);
}

void showMessage(WindowHandle owner, const Message& message)
{
    showWindowMessage(static_cast<HWND>(owner), windowMessageText(message).c_str());
}

void showWaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }

void showArrowCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }

// The window shows the written files themselves, and the wait cursor while it works.
void reportFileWritten(const char*, const char*, unsigned long long, const char*) {}
void reportProgress(unsigned long long, unsigned long long) {}

namespace {

// Enough tries to step past the leftovers of earlier runs that had this process's id.
const int temporaryNameTries = 100;

unsigned temporariesMade;  // of this process, so that each name is new

// A name in the code page that the file calls of the C runtime use, for a wide call.
std::wstring wideName(const std::string& name)
{
    int length = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

// The folder part of `path` with its separator: stepped through character by character,
// since the second byte of a double-byte character may be a backslash.
std::string folderOf(const std::string& path)
{
    const char* start = path.c_str();
    const char* folderEnd = start;
    for (const char* p = start; *p; p = CharNextA(p))
        if (*p == '\\' || *p == '/' || *p == ':') folderEnd = p + 1;
    return path.substr(0, static_cast<size_t>(folderEnd - start));
}

}  // namespace

// MoveFileExW refuses these too, but only after the whole file was written.
std::string replaceRefusal(const std::string& target)
{
    DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::string();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "is a folder";
    if (attributes & FILE_ATTRIBUTE_READONLY) return "is read-only";
    return std::string();
}

FILE* openReplacement(const std::string& target, std::string& temporary)
{
    std::string folder = folderOf(target);
    for (int k = 0; k < temporaryNameTries; ++k) {
        std::string name = folder + "~hibarion-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(temporariesMade++) + ".tmp";
        HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            errno = EACCES;
            return nullptr;
        }
        int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        FILE* file = descriptor < 0 ? nullptr : _fdopen(descriptor, "wb");
        if (!file) {
            if (descriptor < 0)
                CloseHandle(handle);
            else
                _close(descriptor);
            DeleteFileA(name.c_str());
            errno = EACCES;
            return nullptr;
        }
        temporary = name;
        return file;
    }
    errno = EEXIST;
    return nullptr;
}

bool flushToDevice(FILE* file) { return std::fflush(file) == 0 && _commit(_fileno(file)) == 0; }

bool replaceFile(const std::string& temporary, const std::string& target)
{
    if (MoveFileExW(wideName(temporary).c_str(), wideName(target).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = EACCES;
    return false;
}
