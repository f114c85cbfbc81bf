// The page's whole view of the conversions: the functions its script calls, and the
// platform the conversions call back. The files the conversions read and write live in
// the module's in-memory file system, where the script puts and takes them.
#include <emscripten.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/dispatch.h"
#include "core/platform.h"
#include "core/tables.h"
#include "settings/settings.h"
#include "shell/window_messages.h"
#include "signal/program_structure.h"
#include "signal/recording_file.h"
#include "signal/robust_decoder.h"
#include "signal/damaged_stretches.h"
#include "signal/tape_band.h"
#include "tokenizer/tokenizer.h"

// A message for the page: its code page 932 text, and the name that stands for its "%s".
EM_JS(void, pageMessage, (const char* text, size_t length, const char* name), {
    Module.onMessage(HEAPU8.slice(text, text + length), name ? UTF8ToString(name) : null);
});

// In the window's words, the file's name left as "%s" for the page to put in.
void showMessage(WindowHandle, const Message& message)
{
    Message named = message;
    if (message.file) named.file = "%s";
    std::string text = windowMessageText(named);
    pageMessage(text.c_str(), text.size(), message.file);
}

void showWaitCursor() {}
void showArrowCursor() {}
void reportFileWritten(const char*, const char*, unsigned long long, const char*) {}
void reportProgress(unsigned long long, unsigned long long) {}

namespace {

// A reason as the page's texts name it.
const char* reasonKey(SuspectReason reason)
{
    switch (reason) {
    case SuspectReason::Framing: return "framing";
    case SuspectReason::WeakBit: return "weakBit";
    case SuspectReason::SignalLost: return "signalLost";
    case SuspectReason::Structure: return "structure";
    case SuspectReason::UnsureInEveryTake: return "unsureInEveryTake";
    case SuspectReason::TakesDisagree: return "takesDisagree";
    case SuspectReason::LostInEveryTake: return "lostInEveryTake";
    }
    return "";
}

// What the last tokenizing left for the script to take.
std::vector<unsigned char> tokenizedImage;
TokenizeProblem tokenizeProblem;

}  // namespace

// The robust decoder of one recording, and what the program's structure made of its
// bytes once it finished.
struct PageDecoder {
    explicit PageDecoder(double sampleRate) : decoder(sampleRate) {}
    RobustDecoder decoder;
    bool finished = false;
    std::vector<uint8_t> bytes;
    std::vector<SuspectRange> suspects;
    std::vector<StructureFinding> structure;
    std::vector<SuspectStretch> stretches;  // the suspect ranges told a damaged stretch at a time
};

extern "C" {

EMSCRIPTEN_KEEPALIVE void setSettings(double firstToneSeconds, double inputRatio,
                                      double outputRatio, double outputSlowness, int basicListing)
{
    conversionSettings = {firstToneSeconds, inputRatio, outputRatio, outputSlowness, basicListing};
}

// Takes the character table of the settings file at `path`, and nothing else of it: the
// page keeps its own settings. A file that cannot be read leaves the table as it was.
EMSCRIPTEN_KEEPALIVE bool loadCharacterTable(const char* path)
{
    const ConversionSettings kept = conversionSettings;
    char table[sizeof CharacterTable];
    std::memcpy(table, CharacterTable, sizeof table);
    settingsFilePath = path;
    bool loaded = loadSettings();
    settingsFilePath = nullptr;
    conversionSettings = kept;
    if (!loaded) std::memcpy(CharacterTable, table, sizeof table);
    return loaded;
}

EMSCRIPTEN_KEEPALIVE char* characterTable() { return CharacterTable; }

// The exact path: a dropped file handled as the Windows program handles it.
EMSCRIPTEN_KEEPALIVE void convertFile(const char* path) { dispatchDroppedName(nullptr, path); }

EMSCRIPTEN_KEEPALIVE TapeBandMeter* startMeter(int channels, double sampleRate)
{
    TapeBandMeter* meter = new TapeBandMeter();
    startTapeBandMeter(*meter, channels, sampleRate);
    return meter;
}
EMSCRIPTEN_KEEPALIVE void feedMeter(TapeBandMeter* meter, const float* frames, size_t count)
{
    measureTapeBand(*meter, frames, count);
}
// The 0-based channel that carries the tape signal best; the meter is released.
EMSCRIPTEN_KEEPALIVE int finishMeter(TapeBandMeter* meter)
{
    int best = bestTapeChannel(*meter);
    delete meter;
    return best;
}

// The rates the robust decoder takes, as the command line refuses others.
EMSCRIPTEN_KEEPALIVE int lowestRate() { return lowestRecordingRate; }
EMSCRIPTEN_KEEPALIVE int highestRate() { return highestRecordingRate; }

EMSCRIPTEN_KEEPALIVE PageDecoder* startDecoder(double sampleRate) { return new PageDecoder(sampleRate); }
EMSCRIPTEN_KEEPALIVE void feedDecoder(PageDecoder* d, const float* samples, size_t count)
{
    d->decoder.feed(samples, count);
}
// The recording has ended; as under --robust, a BASIC program's own structure checks
// the bytes the signal gave.
EMSCRIPTEN_KEEPALIVE void finishDecoder(PageDecoder* d)
{
    d->decoder.finish();
    d->bytes = d->decoder.bytes();
    d->suspects = d->decoder.suspects();
    d->structure = checkProgramStructure(d->bytes);
    addStructureSuspects(d->structure, d->decoder.byteSeconds(), d->suspects);
    d->stretches = suspectStretches(d->suspects, d->decoder.losses(), d->decoder.byteSeconds());
    d->finished = true;
}
// The bytes so far; once finished, those checked by the program's structure.
EMSCRIPTEN_KEEPALIVE const uint8_t* decodedBytes(PageDecoder* d)
{
    return d->finished ? d->bytes.data() : d->decoder.bytes().data();
}
EMSCRIPTEN_KEEPALIVE size_t decodedCount(PageDecoder* d)
{
    return d->finished ? d->bytes.size() : d->decoder.bytes().size();
}
EMSCRIPTEN_KEEPALIVE size_t suspectCount(PageDecoder* d) { return d->suspects.size(); }
// Suspect range `k`: its first and last byte and its time, through `numbers`; its reason's key.
EMSCRIPTEN_KEEPALIVE const char* suspect(PageDecoder* d, size_t k, double* numbers)
{
    const SuspectRange& range = d->suspects.at(k);
    numbers[0] = range.firstByte;
    numbers[1] = range.lastByte;
    numbers[2] = range.seconds;
    return reasonKey(range.reason);
}
EMSCRIPTEN_KEEPALIVE size_t stretchCount(PageDecoder* d) { return d->stretches.size(); }
// Damaged stretch `k`: its first and last byte, its suspect bytes, its ranges and its time,
// through `numbers`; its reasons' keys, "," between.
EMSCRIPTEN_KEEPALIVE const char* stretch(PageDecoder* d, size_t k, double* numbers)
{
    static std::string reasons;
    const SuspectStretch& s = d->stretches.at(k);
    numbers[0] = s.firstByte;
    numbers[1] = s.lastByte;
    numbers[2] = static_cast<double>(s.suspectBytes);
    numbers[3] = static_cast<double>(s.ranges);
    numbers[4] = s.seconds;
    reasons.clear();
    for (SuspectReason reason : s.reasons) reasons += std::string(reasons.empty() ? "" : ",") + reasonKey(reason);
    return reasons.c_str();
}
// The bytes the structure repaired, one after another; -1 past the last.
EMSCRIPTEN_KEEPALIVE long repairedByte(PageDecoder* d, size_t k)
{
    for (const StructureFinding& finding : d->structure)
        if (finding.repaired && k-- == 0) return static_cast<long>(finding.byte);
    return -1;
}
EMSCRIPTEN_KEEPALIVE size_t lossCount(PageDecoder* d) { return d->decoder.losses().size(); }
// Loss `k`: the bytes before it, the bytes missing, its time and its length, through `numbers`.
EMSCRIPTEN_KEEPALIVE void loss(PageDecoder* d, size_t k, double* numbers)
{
    const SignalLoss& lost = d->decoder.losses().at(k);
    numbers[0] = lost.bytesBefore;
    numbers[1] = lost.missingBytes;
    numbers[2] = lost.seconds;
    numbers[3] = lost.duration;
}
EMSCRIPTEN_KEEPALIVE void endDecoder(PageDecoder* d) { delete d; }

// `text` of `length` bytes as --tokenize reads a file; `givenName` may be null. The image,
// or the problem, waits for tokenizedBytes and tokenizedProblem.
EMSCRIPTEN_KEEPALIVE bool tokenize(const char* text, size_t length, const char* fileStem,
                                   const char* givenName)
{
    tokenizedImage.clear();
    return tokenizeProgram(std::string(text, length), fileStem, givenName, CharacterTable,
                           tokenizedImage, tokenizeProblem);
}
EMSCRIPTEN_KEEPALIVE const unsigned char* tokenizedBytes() { return tokenizedImage.data(); }
EMSCRIPTEN_KEEPALIVE size_t tokenizedCount() { return tokenizedImage.size(); }
// The problem as the command line tells it: "line N: TEXT", or TEXT alone for the name.
EMSCRIPTEN_KEEPALIVE const char* tokenizedProblem()
{
    static std::string told;
    told = tokenizeProblem.line > 0
               ? "line " + std::to_string(tokenizeProblem.line) + ": " + tokenizeProblem.text
               : tokenizeProblem.text;
    return told.c_str();
}

}  // extern "C"
