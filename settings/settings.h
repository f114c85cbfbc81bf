#pragma once
// The settings file "Hibarion.ini": the conversion settings and the character table,
// beside the program unless the command line says.
#include "core/conversion_settings.h"

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
