#include "cli/options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <sys/stat.h>
#include <vector>

#include "core/encoder.h"
#include "core/output_folder.h"
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

// The whole of `text` as a finite number: no blank before it, nothing after it.
std::optional<double> numberFrom(const char* text)
{
    if (*text == '\0' || std::isspace(static_cast<unsigned char>(*text))) return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (*end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string takeReal(const char* text, std::optional<double>& setting)
{
    setting = numberFrom(text);
    return setting ? fine : "is not a number";
}

std::string takeRate(const char* text)
{
    std::optional<double> rate = numberFrom(text);
    if (!rate || *rate != std::floor(*rate) || *rate < 8000 || *rate > 192000)
        return "is not a whole number from 8000 to 192000";
    outputSampleRate = static_cast<uint32_t>(*rate);
    return fine;
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
    // No file libsndfile reads has more than 1024 channels.
    std::optional<double> channel = numberFrom(text);
    if (!channel || *channel != std::floor(*channel) || *channel < 1 || *channel > 1024)
        return "is not a whole number from 1 to 1024";
    commandLine.channel = static_cast<int>(*channel);
    return fine;
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
    {"first-tone-seconds", 0, "S", "measure the leading tone over S seconds",
     [](const char* v) { return takeReal(v, commandLine.settings.firstToneSeconds); }},
    {"input-ratio", 0, "R", "expect 1200 Hz at R times the 2400 Hz level",
     [](const char* v) { return takeReal(v, commandLine.settings.inputRatio); }},
    {"output-ratio", 0, "R", "write 1200 Hz at R times the 2400 Hz level",
     [](const char* v) { return takeReal(v, commandLine.settings.outputRatio); }},
    {"slowness", 0, "X", "write bit cells X times as long",
     [](const char* v) { return takeReal(v, commandLine.settings.outputSlowness); }},
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
     "as written here or plain ASCII or UTF-8 text, and\n"
     "write it as the tape image NAME.p6 (NAME: FILE's\n"
     "name without its last extension)",
     [](const char*) { commandLine.tokenize = true; return fine; }},
    {"name", 0, "TEXT",
     "with --tokenize: the program's name on tape, its\n"
     "first six characters as written, in place of the\n"
     "listing's heading or NAME in upper case",
     [](const char* v) { commandLine.nameOnTape = v; return fine; }},
    {"robust", 0, nullptr,
     "decode recordings as people have them: any level,\n"
     "noise, hum, wow, dropouts; 8 to 32 bits, float,\n"
     "any rate, several channels; .flac, .aif and .aiff\n"
     "too. Suspect bytes are named on standard error",
     [](const char*) { commandLine.robust = true; return fine; }},
    {"resample", 0, nullptr, "the former name of --robust",
     [](const char*) { commandLine.robust = true; return fine; }},
    {"channel", 0, "N",
     "with --robust: decode channel N (from 1) instead\n"
     "of the one that carries the tape signal best",
     takeChannel},
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
            if (option) problem = spelled(*option) + " '" + optarg + "' " + problem;
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
               "            (also NAME.flac, NAME.aif, NAME.aiff), through the robust decoder\n"
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
               "Exit status: 0 when no file gave a message, 1 when any did, 2 for a wrong\n"
               "option, no FILE, or a --settings FILE that is not a settings file.\n",
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
