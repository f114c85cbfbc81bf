#pragma once
// The command line of hibarion, read the GNU way (getopt_long): long options with
// "--opt=value" or "--opt value", short ones, options anywhere, "--" ends them; the
// rest are the names of one drop. Every option is one row of the table in options.cpp.
#include <cstdio>
#include <optional>
#include <string>

// Settings for this run only: each replaces the value read from the settings file and
// is never saved.
struct RunSettings {
    std::optional<double> firstToneSeconds, inputRatio, outputRatio, outputSlowness;
    std::optional<int> basicListing;
};

struct CommandLine {
    bool help = false;
    bool version = false;
    bool tokenize = false;        // --tokenize: the names are programs' texts
    std::optional<std::string> nameOnTape;  // --name, with --tokenize
    bool robust = false;  // --robust, or its former name --resample
    int channel = 0;      // --channel: 1 ...; 0 lets --robust choose
    bool quiet = false;   // --quiet: --robust sums up its doubts in one line
    bool merge = false;   // --merge: with --robust, the names are takes of one tape
    std::string settingsFile;  // --settings; empty: found as the usage text says
    bool noClobber = false;    // --no-clobber: an existing output is never replaced
    RunSettings settings;
    int firstName = 0;  // the index in argv of the first name, after parsing
};

extern CommandLine commandLine;

// Reads argv (which getopt_long reorders: the names end up last) into commandLine and
// into what the conversions read (outputSampleRate, outputFolder). On a wrong option
// or value, prints one line saying what is wrong to stderr and returns false.
bool parseCommandLine(int argc, char** argv);

// The usage text, with every option of the table and where the settings live.
void printUsage(FILE* stream);

// Puts the run's settings over those just loaded.
void applyRunSettings();
