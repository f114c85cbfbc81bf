#include "cli/progress.h"

#include <chrono>

Progress progress;

namespace {

const double quietSeconds = 1.0;    // a file done sooner never shows a line
const double redrawSeconds = 0.25;  // the line changes at most this often
const size_t longestName = 60;      // bytes; the line stays within one terminal row

// The name's last component, its front cut away when long, at the start of a UTF-8
// character, so that the line never wraps and "\r" always returns to its start.
std::string shownName(const std::string& name)
{
    std::string last = name.substr(name.rfind('/') + 1);
    if (last.size() <= longestName) return last;
    std::string::size_type from = last.size() - longestName;
    while (from < last.size() && (static_cast<unsigned char>(last[from]) & 0xC0) == 0x80) ++from;
    return "..." + last.substr(from);
}

}  // namespace

double secondsNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void startProgress(const char* name, double now)
{
    progress.name = shownName(name);
    progress.startedAt = now;
    progress.shownAt = now;
}

void updateProgress(unsigned long long done, unsigned long long total, double now)
{
    if (!progress.terminal || total == 0 || now - progress.startedAt < quietSeconds) return;
    if (progress.lineShown && now - progress.shownAt < redrawSeconds) return;
    std::fprintf(progress.terminal, "\r%s %3d %%\x1b[K", progress.name.c_str(),
                 static_cast<int>(done * 100 / total));
    std::fflush(progress.terminal);
    progress.shownAt = now;
    progress.lineShown = true;
}

void eraseProgress()
{
    if (!progress.lineShown) return;
    std::fputs("\r\x1b[K", progress.terminal);
    std::fflush(progress.terminal);
    progress.lineShown = false;
}
