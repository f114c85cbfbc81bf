#include "settings/settings.h"

#include <cstdio>
#include <cstring>

#include "core/input_file.h"
#include "core/output_file.h"
#include "core/platform.h"
#include "core/tables.h"
#include "settings/number_text.h"

char ProgramDirectory[ProgramDirectorySize];
const char* settingsFilePath;

// "Hibarion.ini" is read strictly by line position: the section line, the five keyed
// values in this order, then the 16 rows of the character table.
enum { SettingCount = 5, RowCount = 16, RowSize = 32 };
enum { LineLimit = 254 };  // longer lines are cut; their rest is read as the next line

static const char* const SettingKeys[SettingCount] = {
    "ピーの時間 =", "入力比 =", "出力比 =", "出力の遅さ =", "BASIC LIST =",
};

// The four real settings in file order, with the width and decimals they are written with.
struct RealSetting {
    double* value;
    int width;
    int decimals;
};
static const RealSetting RealSettings[SettingCount - 1] = {
    {&conversionSettings.firstToneSeconds, 3, 1},
    {&conversionSettings.inputRatio, 4, 2},
    {&conversionSettings.outputRatio, 4, 2},
    {&conversionSettings.outputSlowness, 5, 1},
};

static const char Section[] = "[HIBARION]";
static const char FileName[] = "Hibarion.ini";

void setDefaultSettings()
{
    conversionSettings = DefaultConversionSettings;
    std::memcpy(CharacterTable, DefaultCharacterTable, sizeof CharacterTable);
}

// settingsFilePath, or else ProgramDirectory followed by the file name in `path`. The
// directory is read only up to its size, in case it was ever filled to the brim without
// a zero byte.
static const char* settingsPath(char (&path)[ProgramDirectorySize + sizeof FileName])
{
    if (settingsFilePath) return settingsFilePath;
    const void* zero = std::memchr(ProgramDirectory, '\0', ProgramDirectorySize);
    size_t length = zero ? static_cast<const char*>(zero) - ProgramDirectory
                         : static_cast<size_t>(ProgramDirectorySize);
    std::memcpy(path, ProgramDirectory, length);
    std::memcpy(path + length, FileName, sizeof FileName);
    return path;
}

// Reads one line of at most LineLimit bytes, its line feed included, into `line` and
// ends it with a zero byte; returns the count of bytes read, 0 at the end of the file.
// The file is opened in binary and a CR LF pair is folded into one line feed here, so
// every platform reads the file as the Windows text mode does. Zero bytes are data.
static int readLine(FILE* file, char (&line)[LineLimit + 1])
{
    int count = 0;
    while (count < LineLimit) {
        int c = std::getc(file);
        if (c == EOF) break;
        if (c == '\r') {
            int next = std::getc(file);
            if (next == '\n')
                c = '\n';
            else if (next != EOF)
                std::ungetc(next, file);
        }
        line[count++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    line[count] = '\0';
    return count;
}

static bool refuse(bool tell, const char* path, MessageId id, int number = 0,
                   const char* detail = nullptr)
{
    if (tell) showMessage(nullptr, {id, path, number, detail});
    return false;
}

bool loadSettings(bool tellProblems)
{
    char path[ProgramDirectorySize + sizeof FileName];
    const char* name = settingsPath(path);
    InputFile input(name);
    FILE* file = input.get();
    if (!file) return refuse(tellProblems, name, MessageId::SettingsMissing);

    char line[LineLimit + 1];
    int length = readLine(file, line);
    if (length == 0) return refuse(tellProblems, name, MessageId::SettingsEmpty);
    if (length < static_cast<int>(sizeof Section - 1) ||
        std::memcmp(line, Section, sizeof Section - 1) != 0)
        return refuse(tellProblems, name, MessageId::SettingsForeign);

    for (int k = 0; k < SettingCount; ++k) {
        int lineNumber = k + 2;
        length = readLine(file, line);
        if (length == 0) return refuse(tellProblems, name, MessageId::SettingsLineMissing, lineNumber);
        // The value ends at the first line feed, then at the first carriage return.
        const void* cut = std::memchr(line, '\n', length);
        if (cut) length = static_cast<int>(static_cast<const char*>(cut) - line);
        cut = std::memchr(line, '\r', length);
        if (cut) length = static_cast<int>(static_cast<const char*>(cut) - line);
        line[length] = '\0';

        const char* key = SettingKeys[k];
        int keyLength = static_cast<int>(std::strlen(key));
        if (length < keyLength || std::memcmp(line, key, keyLength) != 0)
            return refuse(tellProblems, name, MessageId::SettingsWrongKey, lineNumber, key);
        if (k < SettingCount - 1)
            *RealSettings[k].value = parseReal(line + keyLength);
        else
            conversionSettings.basicListing = parseInteger(line + keyLength);
    }

    for (int r = 0; r < RowCount; ++r) {
        length = readLine(file, line);
        if (length == 0) return refuse(tellProblems, name, MessageId::SettingsRowMissing, r + 7);
        if (length < RowSize) return refuse(tellProblems, name, MessageId::SettingsRowInvalid, r + 1);
        std::memcpy(CharacterTable + r * RowSize, line, RowSize);
    }
    return true;
}

bool saveSettings()
{
    char path[ProgramDirectorySize + sizeof FileName];
    const char* target = settingsPath(path);
    OutputFile output(target, OutputKind::Settings);
    FILE* file = output.stream();
    if (!file) {
        showWriteFailure(nullptr, MessageId::SettingsCannotWrite, target, output.failure());
        return false;
    }

    // Binary, with CR LF written out, so the file is the same bytes on every platform.
    char value[RealTextSize];
    std::fputs(Section, file);
    std::fputs("\r\n", file);
    for (int k = 0; k < SettingCount - 1; ++k) {
        formatReal(value, sizeof value, *RealSettings[k].value, RealSettings[k].width,
                   RealSettings[k].decimals);
        std::fputs(SettingKeys[k], file);
        std::fputs(value, file);
        std::fputs("\r\n", file);
    }
    std::fputs(SettingKeys[SettingCount - 1], file);
    std::fprintf(file, "%d\r\n", conversionSettings.basicListing);
    // A row read from a line of 31 bytes ends in that line's line feed, and its own
    // line ends there: it is written with that line feed as CR LF and no further line
    // end, so that the next start reads back the same 32 bytes instead of an extra line.
    for (int r = 0; r < RowCount; ++r) {
        const char* row = CharacterTable + r * RowSize;
        bool endsItsLine = row[RowSize - 1] == '\n';
        std::fwrite(row, 1, endsItsLine ? RowSize - 1 : RowSize, file);
        std::fputs("\r\n", file);
    }

    // A full disk or a failing device shows up in the error flag or when the buffer is
    // flushed; either way the file in place stays as it was.
    if (!output.commit()) {
        showWriteFailure(nullptr, MessageId::SettingsCannotWrite, target, output.failure());
        return false;
    }
    return true;
}
