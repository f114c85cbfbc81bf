#include "cli/options.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <getopt.h>
#include <sys/stat.h>
#include <vector>

#include "core/encoder.h"
#include "core/output_folder.h"
#include "settings/number_text.h"
#include "settings/settings.h"

CommandLine commandLine;

namespace {

// One option: its long name, its letter (0 for none), the name of its value in the
// usage (null when it takes none), its help (each further line after a '\n'), and what
// it does with its value: an empty answer, or what is wrong with the value.
struct Option {
    const char* name;
    char letter;
    const char* value;
    const char* help;
    std::string (*take)(const char* value);
};

const std::string fine;

// The bounds of a number option, both included.
struct Range {
    double lowest, highest;
};

// The settings dialog's boxes show one digit before the point: the seconds with one
// decimal, the ratios with two; its check box writes bit cells at their own length or 16
// times it. The options take what those controls can hold.
const Range toneSecondsRange = {0.1, 9.9};
const Range ratioRange = {0.01, 9.99};
const Range slownessRange = {1, 16};
const Range rateRange = {8000, 192000};
// No file libsndfile reads has more than 1024 channels.
const Range channelRange = {1, 1024};

std::string numberText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// What is wrong with the option's value `text` as a decimal number within `range`
// (whole when `whole`), or nothing, with the number in `value`. Decimal as the settings
// file reads it, whatever the locale: no blank, hexadecimal, "inf" or "nan", nothing after it.
std::string checkNumber(const char* text, const Range& range, bool whole, double& value)
{
    const char* end = text;
    value = std::isspace(static_cast<unsigned char>(*text)) ? 0.0 : parseReal(text, &end);
    if (end == text || *end != '\0') return whole ? "is not a whole decimal number" : "is not a decimal number";
    if (whole && value != std::floor(value)) return "is not a whole number";
    if (!(value >= range.lowest && value <= range.highest))
        return "is out of range (" + numberText(range.lowest) + " to " + numberText(range.highest) + ")";
    return fine;
}

std::string takeReal(const char* text, const Range& range, std::optional<double>& setting)
{
    double value;
    std::string problem = checkNumber(text, range, false, value);
    if (problem.empty()) setting = value;
    return problem;
}

std::string takeRate(const char* text)
{
    double rate;
    std::string problem = checkNumber(text, rateRange, true, rate);
    if (problem.empty()) outputSampleRate = static_cast<uint32_t>(rate);
    return problem;
}

std::string takeOutputFolder(const char* text)
{
    struct stat status;
    if (stat(text, &status) != 0 || !S_ISDIR(status.st_mode)) return "is not an existing folder";
    outputFolder = text;
    return fine;
}

std::string takeChannel(const char* text)
{
    double channel;
    std::string problem = checkNumber(text, channelRange, true, channel);
    if (problem.empty()) commandLine.channel = static_cast<int>(channel);
    return problem;
}

const Option options[] = {
    {"help", 'h', nullptr, "show this text and exit",
     [](const char*) { commandLine.help = true; return fine; }},
    {"version", 0, nullptr, "show the version and exit",
     [](const char*) { commandLine.version = true; return fine; }},
    {"output-dir", 'o', "DIR",
     "write every output into the existing folder DIR,\n"
     "under the name it would have had beside its input",
     takeOutputFolder},
    {"no-clobber", 'n', nullptr, "never replace an existing output file",
     [](const char*) { commandLine.noClobber = true; return fine; }},
    {"rate", 0, "R",
     "write recordings at R samples a second (8000 to\n"
     "192000; default 11025): the same tones and timing",
     takeRate},
    {"first-tone-seconds", 0, "S", "measure the leading tone over S seconds\n(0.1 to 9.9)",
     [](const char* v) { return takeReal(v, toneSecondsRange, commandLine.settings.firstToneSeconds); }},
    {"input-ratio", 0, "R", "expect 1200 Hz at R times the 2400 Hz level\n(0.01 to 9.99)",
     [](const char* v) { return takeReal(v, ratioRange, commandLine.settings.inputRatio); }},
    {"output-ratio", 0, "R", "write 1200 Hz at R times the 2400 Hz level\n(0.01 to 9.99)",
     [](const char* v) { return takeReal(v, ratioRange, commandLine.settings.outputRatio); }},
    {"slowness", 0, "X", "write bit cells X times as long (1 to 16)",
     [](const char* v) { return takeReal(v, slownessRange, commandLine.settings.outputSlowness); }},
    {"slow", 0, nullptr, "the same as --slowness=16",
     [](const char*) { commandLine.settings.outputSlowness = 16.0; return fine; }},
    {"listing", 0, nullptr, "list tape images as BASIC",
     [](const char*) { commandLine.settings.basicListing = 1; return fine; }},
    {"no-listing", 0, nullptr, "write no listings",
     [](const char*) { commandLine.settings.basicListing = 0; return fine; }},
    {"settings", 0, "FILE", "read the settings from FILE (made when missing)",
     [](const char* v) { commandLine.settingsFile = v; return fine; }},
    {"tokenize", 0, nullptr,
     "read each FILE as a BASIC program's text, a listing\n"
     "as written here or plain text in UTF-8 or Shift-JIS,\n"
     "and write it as the tape image NAME.p6 (NAME:\n"
     "FILE's name without its last extension)",
     [](const char*) { commandLine.tokenize = true; return fine; }},
    {"name", 0, "TEXT",
     "with --tokenize: the program's name on tape, its\n"
     "first six characters as written, in place of the\n"
     "listing's heading or NAME in upper case",
     [](const char* v) { commandLine.nameOnTape = v; return fine; }},
    {"robust", 0, nullptr,
     "decode recordings as people have them: any level,\n"
     "noise, hum, wow, dropouts; 8 to 32 bits, float,\n"
     "any rate, several channels; .w64, .rf64, .flac,\n"
     ".aif and .aiff too. Suspect bytes are named on\n"
     "standard error",
     [](const char*) { commandLine.robust = true; return fine; }},
    {"resample", 0, nullptr, "the former name of --robust",
     [](const char*) { commandLine.robust = true; return fine; }},
    {"channel", 0, "N",
     "with --robust: decode channel N (from 1) instead\n"
     "of the one that carries the tape signal best",
     takeChannel},
    {"quiet", 'q', nullptr,
     "with --robust: one line for a file's repaired,\n"
     "suspect and missing bytes, not one for each",
     [](const char*) { commandLine.quiet = true; return fine; }},
    {"merge", 0, nullptr,
     "with --robust: every FILE is a take of the same\n"
     "tape; each byte comes from the takes most sure of\n"
     "it, into one image named after the first take",
     [](const char*) { commandLine.merge = true; return fine; }},
};
const int optionCount = sizeof options / sizeof options[0];

// What getopt_long answers for option k: its letter, or a code past every character.
int codeOf(int k) { return options[k].letter ? options[k].letter : 256 + k; }

const Option* optionWithCode(int code)
{
    for (int k = 0; k < optionCount; ++k)
        if (codeOf(k) == code) return &options[k];
    return nullptr;
}

std::string spelled(const Option& option) { return std::string("--") + option.name; }

// What is wrong with the option getopt_long refused with '?' or ':'.
std::string refusal(int answer, const char* argument)
{
    const Option* known = optionWithCode(optopt);
    if (answer == ':' && known) return "option " + spelled(*known) + " needs a value";
    if (known) return "option " + spelled(*known) + " takes no value";
    if (optopt != 0) return std::string("unknown option -") + static_cast<char>(optopt);
    std::string given(argument);
    std::string name = given.substr(2, given.find('=') - 2);
    int matches = 0;
    for (const Option& option : options)
        if (std::strncmp(option.name, name.c_str(), name.size()) == 0) ++matches;
    return (matches > 1 ? "ambiguous option " : "unknown option ") + given.substr(0, name.size() + 2);
}

}  // namespace

bool parseCommandLine(int argc, char** argv)
{
    std::vector<option> longOptions;
    std::string letters = ":";  // a missing value is told apart from an unknown option
    for (int k = 0; k < optionCount; ++k) {
        longOptions.push_back({options[k].name, options[k].value ? required_argument : no_argument,
                               nullptr, codeOf(k)});
        if (options[k].letter) letters += std::string(1, options[k].letter) + (options[k].value ? ":" : "");
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});

    opterr = 0;
    for (;;) {
        int answer = getopt_long(argc, argv, letters.c_str(), longOptions.data(), nullptr);
        if (answer == -1) break;
        const Option* option = optionWithCode(answer);
        std::string problem = option ? option->take(optarg) : refusal(answer, argv[optind - 1]);
        if (!problem.empty()) {
            if (option) problem = spelled(*option) + ": " + (*optarg ? optarg : "''") + " " + problem;
            std::fprintf(stderr, "hibarion: %s\n", problem.c_str());
            return false;
        }
    }
    if (commandLine.nameOnTape && !commandLine.tokenize) {
        std::fputs("hibarion: option --name needs --tokenize\n", stderr);
        return false;
    }
    if (commandLine.channel != 0 && !commandLine.robust) {
        std::fputs("hibarion: --channel needs --robust\n", stderr);
        return false;
    }
    if (commandLine.merge && !commandLine.robust) {
        std::fputs("hibarion: --merge needs --robust\n", stderr);
        return false;
    }
    commandLine.firstName = optind;
    return true;
}

void printUsage(FILE* stream)
{
    std::fputs("usage: hibarion [OPTION]... [--] FILE...\n"
               "\n"
               "Converts each FILE in order, as the Hibarion window converts a drop of files:\n"
               "  NAME.wav  a mono 8-bit recording, decoded into the tape image NAME.P6 as\n"
               "            the Windows program decodes it; with --robust, any recording\n"
               "            (also NAME.w64, .rf64, .flac, .aif or .aiff) through the robust\n"
               "            decoder\n"
               "  NAME.p6   a tape image, encoded into the recording NAME_.wav and, when\n"
               "            listings are on, listed as BASIC in NAME.txt (Shift-JIS)\n"
               "With --tokenize, each FILE is a BASIC program's text, made into NAME.p6.\n"
               "\n",
               stream);
    const size_t helpColumn = 28;
    for (const Option& option : options) {
        std::string left = option.letter ? std::string("  -") + option.letter + ", " : "      ";
        left += spelled(option) + (option.value ? std::string("=") + option.value : "");
        left += left.size() + 2 > helpColumn ? "\n" + std::string(helpColumn, ' ')
                                             : std::string(helpColumn - left.size(), ' ');
        std::string help(option.help);
        for (std::string::size_type at = 0; (at = help.find('\n', at)) != std::string::npos; at += helpColumn + 1)
            help.insert(at + 1, helpColumn, ' ');
        std::fprintf(stream, "%s%s\n", left.c_str(), help.c_str());
    }
    std::fputs("  --                        end of options: every later argument is a FILE\n"
               "\n"
               "The settings (those of the Windows program's dialog, and the character table)\n"
               "are read from Hibarion.ini, which is written only when it is missing, or\n"
               "damaged and not named by --settings. It lives beside this program when that\n"
               "folder holds one, or can be written and is not a bin folder; otherwise in\n"
               "$XDG_CONFIG_HOME/hibarion/ (~/.config/hibarion/ by default). The settings\n"
               "options above hold for one run and are never saved.\n"
               "Every output is written under a temporary name and replaces its file only\n"
               "when complete; no output replaces one that an earlier FILE of the run wrote.\n"
               "Exit status: 0 when no file gave a message, 1 when any did or standard output\n"
               "could not be written, 2 for a wrong option, no FILE, or a --settings FILE that\n"
               "is not a settings file.\n",
               stream);
}

void applyRunSettings()
{
    const RunSettings& run = commandLine.settings;
    if (run.firstToneSeconds) conversionSettings.firstToneSeconds = *run.firstToneSeconds;
    if (run.inputRatio) conversionSettings.inputRatio = *run.inputRatio;
    if (run.outputRatio) conversionSettings.outputRatio = *run.outputRatio;
    if (run.outputSlowness) conversionSettings.outputSlowness = *run.outputSlowness;
    if (run.basicListing) conversionSettings.basicListing = *run.basicListing;
}
