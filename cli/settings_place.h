#pragma once
// Where hibarion keeps Hibarion.ini.
#include <string>

// Sets ProgramDirectory to the executable's own directory, with its trailing '/'; empty,
// after the same message as the window gives, when it cannot be found.
void findProgramDirectory();

// Chooses the settings file, after findProgramDirectory: the one --settings names;
// otherwise the one beside the executable when that folder already holds one, or can be
// written and is not a "bin" folder, so that a portable copy behaves as the Windows
// program does; otherwise $XDG_CONFIG_HOME/hibarion/Hibarion.ini (~/.config/hibarion/
// when that is unset or not absolute), its folders made as needed. An installed copy
// never writes among the programs, not even for root, who may write anywhere.
void chooseSettingsFile(const std::string& named);

// Reads the chosen settings file; no option ever changes it, so it is written only to
// make it: a missing one with the defaults, and a damaged one in the usual place anew,
// as the Windows program does, each under a temporary name first so that a run beside
// never reads it half-written. A file that --settings names (`named`) and that exists
// but is not a settings file is left as it is: false after one line that names it.
bool takeSettings(const std::string& named);
