#pragma once
// What the conversions and the settings file report to the user: which message, with
// its arguments. Each front end words it in its own way: the window in the texts it has
// always shown, the command line on one line through its message catalogue.

enum class MessageId {
    WrongEnding,  // the file's name ends in neither .wav nor .p6
    CannotOpen,
    TooQuiet,     // the recording never grows loud enough to decode
    CannotWrite,
    TooLarge,     // the recording would not fit a WAV file
    LoadProblem,  // number: the loaders' result (LoadProblemCount)
    NoProgramFolder,
    SettingsMissing,
    SettingsEmpty,
    SettingsForeign,      // the file is not Hibarion's settings
    SettingsLineMissing,  // number: the line
    SettingsWrongKey,     // number: the line; detail: the key it must begin with
    SettingsRowMissing,   // number: the line
    SettingsRowInvalid,   // number: the character table's row, from 1
    SettingsCannotWrite,
};

struct Message {
    MessageId id;
    const char* file;    // a file name exactly as the user gave it, or null
    int number;
    const char* detail;  // code page 932, or null
    // Why a file could not be written, in the system's words; null when not asked for.
    const char* reason = nullptr;
};
