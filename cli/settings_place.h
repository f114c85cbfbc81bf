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
