// Fuzzes the settings file: the input is the whole of Hibarion.ini. A file that loads
// is saved, and what was saved must load again, to the same table and to values that
// save as the same bytes: every file the program writes must be one it reads back at the
// next start. The one exception is a value the file cannot hold: an infinity, written
// "inf", or a number so large that its fixed-point text overflows the 254-byte line.
#include <cmath>
#include <cstring>

#include "core/tables.h"
#include "settings/number_text.h"
#include "settings/settings.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string settingsPath;

// Values that no file gives, so that a load that leaves a field alone shows.
void poisonSettings()
{
    conversionSettings = {-7.25, -7.25, -7.25, -7.25, -7};
    std::memset(CharacterTable, 0x55, CharacterTableSize);
}

// Whether every real setting is finite and short enough as text to be read back whole
// (the longest key is 12 bytes; the line also needs its line feed).
bool valuesFitTheFile()
{
    const double values[] = {conversionSettings.firstToneSeconds, conversionSettings.inputRatio,
                             conversionSettings.outputRatio, conversionSettings.outputSlowness};
    char text[RealTextSize];
    for (double value : values)
        if (!std::isfinite(value) || formatReal(text, sizeof text, value, 5, 2) > 254 - 12 - 1)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::string& folder = scratchFolder();
    FUZZ_CHECK(folder.size() < ProgramDirectorySize);
    std::memcpy(ProgramDirectory, folder.c_str(), folder.size() + 1);
    settingsPath = scratchPath("Hibarion.ini");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    writeWholeFile(settingsPath, data, size);
    setDefaultSettings();
    clearQuietPlatform();
    bool loaded = loadSettings();
    // A failure is told in exactly one message, a success in none.
    FUZZ_CHECK(quietPlatform.messages == (loaded ? 0 : 1));
    FUZZ_CHECK(CharacterTable[CharacterTableSize] == '\0');
    if (!loaded || !valuesFitTheFile()) return 0;

    ConversionSettings first = conversionSettings;
    char table[CharacterTableSize];
    std::memcpy(table, CharacterTable, sizeof table);
    FUZZ_CHECK(saveSettings() && quietPlatform.messages == 0);
    Bytes saved;
    FUZZ_CHECK(readWholeFile(settingsPath, saved));

    poisonSettings();
    FUZZ_CHECK(loadSettings());
    FUZZ_CHECK(quietPlatform.messages == 0);
    FUZZ_CHECK(std::memcmp(CharacterTable, table, sizeof table) == 0);
    FUZZ_CHECK(conversionSettings.basicListing == first.basicListing);

    FUZZ_CHECK(saveSettings());
    Bytes savedAgain;
    FUZZ_CHECK(readWholeFile(settingsPath, savedAgain));
    FUZZ_CHECK(savedAgain == saved);
    return 0;
}
