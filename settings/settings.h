#pragma once
// The process-wide settings: the five values that steer the conversions, kept with the
// character table in "Hibarion.ini", beside the program unless the command line says.

struct ConversionSettings {
    double firstToneSeconds;  // seconds of leading tone over which the decoder measures
    double inputRatio;        // 1200 Hz amplitude relative to 2400 Hz in recordings
    double outputRatio;       // the same ratio for the waves the encoder writes
    double outputSlowness;    // slow-down factor of the written bit cells
    int basicListing;         // non-zero: list each tape image as BASIC
};

extern ConversionSettings conversionSettings;

// The program's directory with its trailing separator, or empty; set once at start-up.
enum { ProgramDirectorySize = 1024 };
extern char ProgramDirectory[ProgramDirectorySize];

// The settings file's full name when the command line puts it elsewhere; null, as in
// the Windows program: "Hibarion.ini" in ProgramDirectory.
extern const char* settingsFilePath;

void setDefaultSettings();
// False after a message that says why, or silently when `tellProblems` is false.
bool loadSettings(bool tellProblems = true);
bool saveSettings();
