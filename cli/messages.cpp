#include "cli/messages.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <iconv.h>
#include <libintl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char Domain[] = "hibarion";

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

bool isFolder(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string catalogueFolder()
{
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string program(path, length > 0 ? static_cast<size_t>(length) : 0);
    std::string folder = program.substr(0, program.rfind('/') + 1);
    if (isFolder(folder + "locale")) return folder + "locale";
    return folder + "../share/locale";
}

// The conversions' patterns hold the number first, then the detail.
std::string filled(const char* pattern, int number, const char* detail)
{
    return filledText(pattern, {std::to_string(number), detail ? utf8From932(detail) : ""});
}

const char* loadProblemText(int problem)
{
    switch (problem) {
    case 0: return gettext("no RIFF header");
    case 1: return gettext("the RIFF header is not valid");
    case 2: return gettext("no file size");
    case 3: return gettext("no format chunk");
    case 4: return gettext("the format is not valid");
    case 5: return gettext("no format size");
    case 6: return gettext("no format structure");
    case 7: return gettext("no \"data\" chunk");
    case 8: return gettext("no data length");
    case 9: return gettext("the data is shorter than its length");
    case 10: return gettext("out of memory");
    case 11: return gettext("the data breaks off");
    default: return gettext("not mono 8-bit");
    }
}

const char* pattern(const Message& m)
{
    switch (m.id) {
    case MessageId::WrongEnding: return gettext("wrong extension");
    case MessageId::CannotOpen: return gettext("cannot be opened");
    case MessageId::TooQuiet: return gettext("too quiet to decode");
    case MessageId::CannotWrite: return gettext("cannot be written");
    case MessageId::TooLarge: return gettext("too large for a recording");
    case MessageId::LoadProblem: return loadProblemText(m.number);
    case MessageId::NoProgramFolder:
        return gettext("the program's folder is unknown; going on, please tell the author");
    case MessageId::SettingsMissing: return gettext("not found; written with the defaults");
    case MessageId::SettingsEmpty: return gettext("holds no data; written anew with the defaults");
    case MessageId::SettingsForeign:
        return gettext("not Hibarion's settings; written anew with the defaults");
    case MessageId::SettingsLineMissing:
        return gettext("line %d is missing; written anew with the defaults");
    case MessageId::SettingsWrongKey:
        return gettext("line %d is not the item %s; written anew with the defaults");
    case MessageId::SettingsRowMissing: return gettext("line %d is missing; written with the defaults");
    case MessageId::SettingsRowInvalid:
        return gettext("row %d of the character table is not valid; written with the defaults");
    case MessageId::SettingsCannotWrite:
        return gettext("cannot be written; check the file's attributes");
    }
    return "";
}

}  // namespace

std::string filledText(const char* pattern, const std::vector<std::string>& values)
{
    std::string text;
    size_t next = 0;
    for (const char* p = pattern; *p; ++p) {
        if (*p != '%') {
            text += *p;
            continue;
        }
        if (p[1] == '%') {
            text += *++p;
            continue;
        }
        const bool placed = p[1] >= '1' && p[1] <= '9' && p[2] == '$';
        const char* kind = placed ? p + 3 : p + 1;
        if (*kind != 's' && *kind != 'd') {
            text += '%';
            continue;
        }
        const size_t place = placed ? static_cast<size_t>(p[1] - '1') : next++;
        if (place < values.size()) text += values[place];
        p = kind;
    }
    return text;
}

void openMessageCatalogue()
{
    // Only the messages follow the locale: numbers keep their decimal point, and the
    // catalogue's texts come as UTF-8, as everything else the program prints.
    std::setlocale(LC_MESSAGES, "");
    bindtextdomain(Domain, catalogueFolder().c_str());
    bind_textdomain_codeset(Domain, "UTF-8");
    textdomain(Domain);
}

std::string commandLineMessageText(const Message& message)
{
    std::string text = filled(pattern(message), message.number, message.detail);
    return message.reason ? text + ": " + message.reason : text;
}
