#pragma once
#include <string>

// Where the conversions write. Empty, as it always is in the Windows program: each
// output beside its input. Set by the command line's --output-dir: every output goes
// into that folder instead, under its own last path component.
extern std::string outputFolder;

// An output name derived from its input's name, moved into outputFolder when one is set.
std::string placeOutput(const std::string& besideInput);
