// Messages go to standard error, one "Hibarion: " line each, converted from code page
// 932 to UTF-8 for the terminal; file names are printed as the user gave them.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <string>

#include "core/platform.h"
#include "cli/platform.h"
#include "cli/progress.h"

int hostMessagesShown;

namespace {

std::string utf8From932(const std::string& text)
{
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) return text;
    std::string result;
    std::string input(text);
    char* in = &input[0];
    size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
        result.append(buffer, out - buffer);
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            // A byte that is not code page 932 is shown as '?', and the rest follows.
            result += '?';
            ++in;
            --inLeft;
        }
    }
    iconv_close(converter);
    return result;
}

}  // namespace

void showMessage(WindowHandle, const char* text, const char* name)
{
    std::string pattern(text);
    std::string line;
    std::string::size_type at = name ? pattern.find("%s") : std::string::npos;
    if (at == std::string::npos) {
        line = utf8From932(pattern);
    } else {
        line = utf8From932(pattern.substr(0, at)) + name + utf8From932(pattern.substr(at + 2));
    }
    eraseProgress();
    std::fprintf(stderr, "Hibarion: %s\n", line.c_str());
    ++hostMessagesShown;
}

void showWaitCursor() {}
void showArrowCursor() {}

void reportFileWritten(const char* input, const char* output, unsigned long long count,
                       const char* unit)
{
    eraseProgress();
    std::printf("%s -> %s (%llu %s)\n", input, output, count, unit);
}

void reportProgress(unsigned long long done, unsigned long long total)
{
    updateProgress(done, total, secondsNow());
}
