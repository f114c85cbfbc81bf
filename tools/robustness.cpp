// hibarion_robustness: how well recordings of random tape images decode after what an
// old tape and a recording chain do to them: by the decoder as it is, by --robust and,
// when it is installed, by minimodem. Writes the table as Markdown:
//   hibarion_robustness [OUTPUT.md]      (standard output without a name)
//   hibarion_robustness --only TEXT      the rows whose label holds TEXT, to standard output
// Every recording comes from fixed seeds, so a rerun writes the same table. The time
// each decoder took goes to standard error.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/dispatch.h"
#include "core/encoder.h"
#include "core/loaded_data.h"
#include "core/platform.h"
#include "core/tape_loader.h"
#include "settings/settings.h"
#include "signal/recording_file.h"
#include "signal/take_merge.h"
#include "tools/files.h"
#include "tools/impairments.h"
#include "tools/signal_synthesis.h"

typedef std::vector<uint8_t> Bytes;

// The conversions run silently: a recording the decoder refuses simply scores nothing.
void showMessage(WindowHandle, const Message&) {}
void showWaitCursor() {}
void showArrowCursor() {}
void reportFileWritten(const char*, const char*, unsigned long long, const char*) {}
void reportProgress(unsigned long long, unsigned long long) {}

namespace {

const int imageCount = 10;
const size_t imageBytes = 600;

std::string folder;
bool haveMinimodem = false;
double robustSeconds = 0, minimodemSeconds = 0, recordingSeconds = 0;

// The samples of the recording that the encoder itself writes from `image`.
Bytes encodedSamples(const Bytes& image)
{
    std::string p6 = folder + "tape.p6";
    writeFile(p6, image);
    FILE* file = std::fopen(p6.c_str(), "rb");
    if (!file || loadTapeImage(file) != -1 || encodeTapeImage(nullptr, p6.c_str()) != 1) {
        std::fprintf(stderr, "hibarion_robustness: the encoder failed\n");
        std::exit(1);
    }
    std::fclose(file);
    Bytes wave = readFile(recordingNameFor(p6.c_str()));
    return Bytes(wave.begin() + 44, wave.end());
}

// ---- Recordings ------------------------------------------------------------------

// A row's recording of `image` as a WAV file; `seed` varies with the image.
typedef std::function<Bytes(const Bytes& image, int rate, unsigned seed)> Recording;

struct Row {
    std::string label;
    int rate;
    const char* format;
    Recording recording;
    double noiseDecibels = std::nan("");  // white noise rows: the signal-to-noise ratio
};

struct Section {
    const char* title;
    std::vector<Row> rows;
    bool limits = false;  // a column with the theoretical limit of each row's noise
};

// 8-bit recordings as the Windows program's users make them: at 11025 and normal speed
// the encoder's own output, otherwise the same signal sampled at `rate` / `speed`,
// then damaged in its 8-bit samples.
typedef std::function<void(Bytes& samples, int rate, unsigned seed)> ByteDamage;

Recording eightBit(double speed, ByteDamage damage)
{
    return [speed, damage](const Bytes& image, int rate, unsigned seed) {
        Bytes samples = rate == 11025 && speed == 1.0
                            ? encodedSamples(image)
                            : synthesizeTapeSignal(image, static_cast<int>(std::lround(rate / speed)));
        damage(samples, rate, seed);
        return makeWaveFile(samples, rate);
    };
}

// Recordings made in floating point and damaged there, then stored at `bits` (8 for
// unsigned 8-bit, 16, 24, 32 for float).
typedef std::function<void(Floats& samples, int rate, unsigned seed)> FloatDamage;

struct Wobble {
    double wow, wowHertz, flutter, flutterHertz, speed;
};

double wobbleAt(double seconds, const void* context)
{
    const Wobble* w = static_cast<const Wobble*>(context);
    const double pi = 3.141592653589793;
    return w->speed + w->wow * std::sin(2 * pi * w->wowHertz * seconds) +
           w->flutter * std::sin(2 * pi * w->flutterHertz * seconds);
}

Recording floating(int bits, FloatDamage damage, Wobble wobble = {0, 0, 0, 0, 1.0})
{
    return [bits, damage, wobble](const Bytes& image, int rate, unsigned seed) {
        Floats samples = synthesizeTapeFloats(image, rate, wobbleAt, &wobble);
        damage(samples, rate, seed);
        if (bits == 8) return makeWaveFile(toUnsigned8(samples), rate);
        return makeWideWaveFile(samples, nullptr, rate, bits);
    };
}

// Stereo at 16 bits: the tape on the right channel, hiss 40 dB below it on the left.
Bytes stereoRecording(const Bytes& image, int rate, unsigned seed)
{
    Floats right = synthesizeTapeFloats(image, rate);
    Floats left(right.size(), 0.0f);
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> hiss(-0.01f, 0.01f);
    for (float& x : left) x = hiss(random);
    return makeWideWaveFile(left, &right, rate, 16);
}

void noDamage(Bytes&, int, unsigned) {}
void noFloatDamage(Floats&, int, unsigned) {}

ByteDamage noiseAt(double snr)
{
    return [snr](Bytes& s, int, unsigned seed) { addWhiteNoise(s, snr, seed); };
}
ByteDamage offsetBy(int offset)
{
    return [offset](Bytes& s, int, unsigned) { addOffset(s, offset); };
}
ByteDamage gainOf(double gain)
{
    return [gain](Bytes& s, int, unsigned) { scaleSwing(s, gain); };
}
void lowPass3k(Bytes& s, int rate, unsigned) { lowPass(s, rate, 3000.0); }

// A head far out of line: two passes of a second-order low-pass at `hertz`, then hiss.
ByteDamage dullHead(double hertz, double snr)
{
    return [hertz, snr](Bytes& s, int rate, unsigned seed) {
        secondOrderLowPass(s, rate, hertz, 2);
        addWhiteNoise(s, snr, seed);
    };
}

// -30 dBFS: the low tone's peaks, the loudest of the signal, at 10^(-30/20) of full scale.
void quiet(Floats& s, int, unsigned) { scaleLevel(s, 0.0316227766 * 128 / 120); }
// Mains hum at half the low tone's amplitude, and a DC offset of a tenth of full scale.
void hum(Floats& s, int rate, unsigned) { addHum(s, rate, 50.0, 0.5 * 120 / 128, 0.1); }
void dropouts(Floats& s, int rate, unsigned) { addDropouts(s, rate, 0.008, 1.5); }
void pumping(Floats& s, int rate, unsigned) { pumpLevel(s, rate, 0.5, 2.0); }
void floatInverted(Floats& s, int, unsigned) { invertPolarity(s); }
void worn(Floats& s, int rate, unsigned seed)
{
    lowPass(s, rate, 2500.0);
    addWhiteNoise(s, 15.0, seed);
}

std::string decibels(double snr) { return std::to_string(static_cast<int>(snr)) + " dB"; }

// Where in the recording of synthesizeTapeFloats at `speed` the start cell of body
// byte `b` begins, plus `cells` cells: after the silence, the leader, the 16 bytes of
// the header block and the gap.
double placeOf(int rate, double speed, int b, double cells)
{
    double silence = std::floor(rate * (5000.0 / 11025));
    return silence / rate + (4800 + 16 * 12 + 635 + 12 * b + 3 + cells) / 1200 / speed;
}

// Each image meets its damage at another byte, and at another place in it: cells
// from 0.4 to 11.4 into the frame, so that some cuts fall close to a cell's edge.
int damagedByte(unsigned seed, int first, int step) { return first + step * static_cast<int>(seed % 10); }
double cellsInto(unsigned seed) { return 0.4 + static_cast<double>(seed * 7 % 12); }

FloatDamage silenceOf(double seconds)
{
    return [seconds](Floats& s, int rate, unsigned seed) {
        silenceFrom(s, rate, placeOf(rate, 1.0, damagedByte(seed, 150, 30), cellsInto(seed)), seconds);
    };
}

// 53 to 104 ms cut out from inside a byte: five to ten bytes and a part of one.
void splice(Floats& s, int rate, unsigned seed)
{
    cutOut(s, rate, placeOf(rate, 1.0, damagedByte(seed, 150, 30), cellsInto(seed)), 0.0537 + 0.0057 * (seed % 10));
}

// The recording started late: inside byte 80 to 224.
void startedLate(Floats& s, int rate, unsigned seed)
{
    cutOut(s, rate, 0.0, placeOf(rate, 1.0, damagedByte(seed, 80, 16), cellsInto(seed)));
}

// A 16-bit file whose end is lost, inside byte 300 to 444: its header promises the
// whole recording.
Bytes cutShort(const Bytes& image, int rate, unsigned seed)
{
    Floats samples = synthesizeTapeFloats(image, rate);
    Bytes file = makeWideWaveFile(samples, nullptr, rate, 16);
    double end = std::floor(placeOf(rate, 1.0, damagedByte(seed, 300, 16), cellsInto(seed)) * rate);
    file.resize(44 + 2 * static_cast<size_t>(end));
    return file;
}

// A hole of 150 ms in a recording played at `speed`.
Recording holeAt(double speed)
{
    return floating(16, [speed](Floats& s, int rate, unsigned seed) {
        silenceFrom(s, rate, placeOf(rate, speed, damagedByte(seed, 150, 30), cellsInto(seed)), 0.15);
    }, {0, 0, 0, 0, speed});
}

std::vector<Section> tableSections()
{
    std::vector<Section> sections;
    const Recording clean8 = eightBit(1.0, noDamage);

    Section clean = {"Clean recordings", {}};
    for (int rate : {8000, 11025, 22050, 44100, 48000})
        clean.rows.push_back({"clean", rate, "8-bit", clean8});
    clean.rows.push_back({"clean", 44100, "16-bit", floating(16, noFloatDamage)});
    clean.rows.push_back({"clean", 48000, "24-bit", floating(24, noFloatDamage)});
    clean.rows.push_back({"clean", 44100, "float", floating(32, noFloatDamage)});
    clean.rows.push_back({"clean, tape on the right", 44100, "16-bit stereo", stereoRecording});
    sections.push_back(clean);

    // Down to where the physics itself begins to lose bytes: 4 dB at 11025, 0 dB at 44100.
    Section noise = {"White noise (signal-to-noise ratio)", {}, true};
    for (int rate : {11025, 22050, 44100, 48000}) {
        for (double snr : {30.0, 20.0, 12.0, 9.0, 6.0, 4.0, 0.0}) {
            if (snr == 9.0 && (rate == 22050 || rate == 48000)) continue;
            if ((snr == 4.0 && rate != 11025) || (snr == 0.0 && rate != 44100)) continue;
            noise.rows.push_back(
                {"noise at " + decibels(snr), rate, "8-bit", eightBit(1.0, noiseAt(snr)), snr});
        }
    }
    sections.push_back(noise);

    Section level = {"Level, hum, dropouts and polarity", {}};
    level.rows.push_back({"-30 dBFS", 44100, "16-bit", floating(16, quiet)});
    level.rows.push_back({"-30 dBFS", 44100, "8-bit", floating(8, quiet)});
    for (int rate : {11025, 44100}) {
        level.rows.push_back({"50 Hz hum at half level, DC offset", rate, "8-bit", floating(8, hum)});
        level.rows.push_back({"dropouts of 8 ms every 1.5 s", rate, "8-bit", floating(8, dropouts)});
        level.rows.push_back({"level pumping by half, 2 Hz", rate, "8-bit", floating(8, pumping)});
        level.rows.push_back({"inverted polarity", rate, "8-bit", floating(8, floatInverted)});
        level.rows.push_back({"DC offset +20", rate, "8-bit", eightBit(1.0, offsetBy(20))});
        level.rows.push_back({"DC offset -20", rate, "8-bit", eightBit(1.0, offsetBy(-20))});
        level.rows.push_back({"gain 150 %, clipped", rate, "8-bit", eightBit(1.0, gainOf(1.5))});
        level.rows.push_back({"gain 25 %", rate, "8-bit", eightBit(1.0, gainOf(0.25))});
        level.rows.push_back({"gain 10 %", rate, "8-bit", eightBit(1.0, gainOf(0.10))});
    }
    sections.push_back(level);

    Section speed = {"Speed, treble and a worn tape", {}};
    for (int rate : {11025, 44100}) {
        for (int percent : {+2, -2, +5, -5, +10, -10}) {
            char label[32];
            std::snprintf(label, sizeof label, "speed %+d %%", percent);
            speed.rows.push_back({label, rate, "8-bit", eightBit(1.0 + percent / 100.0, noDamage)});
        }
        speed.rows.push_back({"wow 1 % at 0.5 Hz, flutter 0.3 % at 6 Hz", rate, "8-bit",
                              floating(8, noFloatDamage, {0.01, 0.5, 0.003, 6.0, 1.0})});
        speed.rows.push_back({"3 kHz low-pass", rate, "8-bit", eightBit(1.0, lowPass3k)});
        for (double snr : {20.0, 12.0}) {
            ByteDamage noisy = noiseAt(snr);
            speed.rows.push_back({"speed -2 %, 3 kHz low-pass, noise at " + decibels(snr), rate, "8-bit",
                                  eightBit(0.98, [noisy](Bytes& s, int r, unsigned seed) {
                                      lowPass3k(s, r, seed);
                                      noisy(s, r, seed);
                                  })});
        }
        speed.rows.push_back({"worn: 2.5 kHz low-pass, speed -3 %, wow, noise at 15 dB", rate, "8-bit",
                              floating(8, worn, {0.01, 0.5, 0.003, 6.0, 0.97})});
        for (double hertz : {1600.0, 1300.0}) {
            char label[64];
            std::snprintf(label, sizeof label, "two passes of a %.1f kHz 2nd-order low-pass, noise at 20 dB",
                          hertz / 1000);
            speed.rows.push_back({label, rate, "8-bit", eightBit(1.0, dullHead(hertz, 20.0))});
        }
    }
    sections.push_back(speed);

    Section cuts = {"Lost signal, splices and recordings cut short", {}};
    for (double seconds : {0.1, 0.4, 1.0}) {
        char label[48];
        std::snprintf(label, sizeof label, "silence of %.1f s inside the data", seconds);
        cuts.rows.push_back({label, 44100, "16-bit", floating(16, silenceOf(seconds))});
    }
    cuts.rows.push_back({"file cut short inside a byte", 44100, "16-bit", cutShort});
    cuts.rows.push_back({"splice inside a byte", 44100, "16-bit", floating(16, splice)});
    cuts.rows.push_back({"recording starting inside a byte", 44100, "16-bit", floating(16, startedLate)});
    for (double percent : {-3.0, -1.5, +3.0}) {
        char label[48];
        std::snprintf(label, sizeof label, "hole of 150 ms, speed %+.1f %%", percent);
        cuts.rows.push_back({label, 44100, "16-bit", holeAt(1.0 + percent / 100)});
    }
    sections.push_back(cuts);
    return sections;
}

// ---- Decoding and scoring -----------------------------------------------------------

struct Score {
    uint64_t right = 0, total = 0;
    int exact = 0;
    bool read = false;  // any recording gave an image at all
    uint64_t silent = 0;  // --robust: bytes wrong, missing or extra that no report covers
    uint64_t flagged = 0, decoded = 0;  // --robust: bytes in suspect ranges, and all bytes given
};

// The longest common subsequence of the two: the bytes that match in order.
size_t bytesInOrder(const Bytes& a, const Bytes& b)
{
    std::vector<uint32_t> previous(b.size() + 1, 0), current(b.size() + 1, 0);
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            if (a[i - 1] == b[j - 1])
                current[j] = previous[j - 1] + 1;
            else
                current[j] = previous[j] > current[j - 1] ? previous[j] : current[j - 1];
        }
        previous.swap(current);
    }
    return previous[b.size()];
}

// How far from a byte's place in the decoded image a report still covers it.
const long coverReach = 3;

// The places in the decoded image that --robust's reports name: suspect ranges, where
// missing bytes belong, and its start or end where the recording begins or stops
// inside the data.
typedef std::vector<std::pair<long, long>> Places;

Places reportedPlaces(const RecordingDecoding& result)
{
    Places places;
    for (const SuspectRange& s : result.suspects) places.push_back({s.firstByte, s.lastByte});
    for (const SignalLoss& loss : result.losses) places.push_back({loss.bytesBefore, loss.bytesBefore});
    if (result.startsInsideData) places.push_back({0, 0});
    long end = static_cast<long>(result.bytes.size());
    if (result.endsInsideData || result.readError.kind != RecordingProblem::None) places.push_back({end, end});
    return places;
}

bool covered(const Places& places, long at)
{
    for (const auto& place : places)
        if (at >= place.first - coverReach && at <= place.second + coverReach) return true;
    return false;
}

// The bytes wrong, missing or extra in `decoded` that lie farther than coverReach from
// every place reported: the decoded image aligned with the original along their
// longest common subsequence, a wrong byte counting as one missing and one extra.
uint64_t silentErrors(const Bytes& image, const Bytes& decoded, const Places& places)
{
    const size_t n = image.size(), m = decoded.size();
    // common[i][j]: the longest common subsequence of image from i and decoded from j.
    std::vector<std::vector<uint32_t>> common(n + 1, std::vector<uint32_t>(m + 1, 0));
    for (size_t i = n; i-- > 0;)
        for (size_t j = m; j-- > 0;)
            common[i][j] = image[i] == decoded[j] ? common[i + 1][j + 1] + 1
                                                  : std::max(common[i + 1][j], common[i][j + 1]);
    uint64_t silent = 0;
    size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && image[i] == decoded[j]) {
            ++i;
            ++j;
            continue;
        }
        // A byte of the decoded image that is not the original's, or one of the
        // original's missing before decoded byte j.
        if (!covered(places, static_cast<long>(j))) ++silent;
        if (j < m && (i == n || common[i][j + 1] >= common[i + 1][j]))
            ++j;
        else
            ++i;
    }
    return silent;
}

void addToScore(Score& score, const Bytes& image, const Bytes* decoded)
{
    score.total += image.size();
    if (!decoded) return;
    score.read = true;
    score.total += decoded->size() > image.size() ? decoded->size() - image.size() : 0;
    score.right += bytesInOrder(image, *decoded);
    score.exact += image == *decoded;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// `hibarion FILE`: null when the program refuses the file and writes no image.
bool decodedAsRecorded(const Bytes& wave, Bytes& decoded)
{
    std::string wav = folder + "tape.wav", p6 = folder + "tape.P6";
    writeFile(wav, wave);
    std::remove(p6.c_str());
    dispatchDroppedName(nullptr, wav.c_str());
    FILE* file = std::fopen(p6.c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    decoded = readFile(p6);
    return true;
}

bool decodedRobustly(const Bytes& wave, RecordingDecoding& result)
{
    auto start = std::chrono::steady_clock::now();
    result = decodeRecordingInMemory(wave.data(), wave.size(), 0);
    robustSeconds += secondsSince(start);
    return result.error.kind == RecordingProblem::None;
}

bool decodedByMinimodem(const Bytes& wave, Bytes& decoded)
{
    std::string wav = folder + "minimodem.wav", out = folder + "minimodem.out";
    writeFile(wav, wave);
    std::string command = "minimodem --rx -q -f '" + wav +
                          "' --mark 2400 --space 1200 --startbits 1 --stopbits 3 1200 > '" + out +
                          "' 2>/dev/null";
    auto start = std::chrono::steady_clock::now();
    int status = std::system(command.c_str());
    minimodemSeconds += secondsSince(start);
    decoded = readFile(out);
    return status == 0;
}

std::string cell(const Score& score)
{
    if (!score.read) return "not read";
    // Cut, never rounded, to tenths: 100.0 only when every byte is right.
    char text[64];
    double tenths = std::floor(1000.0 * score.right / score.total);
    std::snprintf(text, sizeof text, "%.1f %% (%d/%d)", tenths / 10, score.exact, imageCount);
    return text;
}

// Rounded up to tenths: never shown as fewer than were flagged.
std::string flaggedCell(const Score& score)
{
    char flagged[32] = "-";
    if (score.decoded > 0)
        std::snprintf(flagged, sizeof flagged, "%.1f %%", std::ceil(1000.0 * score.flagged / score.decoded) / 10);
    return flagged;
}

std::string tableHead(const Section& section)
{
    return std::string("| recording | samples a second | file | as recorded | --robust | flagged | silent errors | "
                       "minimodem |") +
           (section.limits ? " Eb/N0 | limit | flagged at the limit |\n" : "\n") +
           "|---|---:|---|---:|---:|---:|---:|---:|" + (section.limits ? "---:|---:|---:|\n" : "\n");
}

// The bytes right that a receiver deciding each bit alone, without knowing the tones'
// phase, gets at best in white noise of `snr` dB at `rate`: the energy of a bit over the
// noise's density, Eb/N0, from the signal's mean power over one cell and the noise spread
// evenly over the band up to half the rate; a bit then errs with probability
// exp(-Eb / 2 N0) / 2, and a byte is right when its eight data bits are.
void noiseLimit(double snr, int rate, double& ebOverN0, double& bytesRight)
{
    ebOverN0 = std::pow(10.0, snr / 10) * (rate / 2.0) / 1200.0;
    double bitError = 0.5 * std::exp(-ebOverN0 / 2);
    bytesRight = std::pow(1.0 - bitError, 8);
}

// ln I0(x); beyond 50 its asymptote, where I0 itself grows past what a double holds.
double logBesselI0(double x)
{
    return x < 50 ? std::log(std::cyl_bessel_i(0.0, x)) : x - 0.5 * std::log(2 * 3.141592653589793 * x);
}

// How many bytes the same ideal receiver must flag to cover every byte it gets wrong,
// each bit weighed by how likely it is wrong given the two tones' envelopes it heard:
// the row's images at that Eb/N0 simulated a number of times, the bytes taken from the
// likeliest wrong on, and the share up to the last wrong one averaged.
double flaggedAtTheLimit(double ebOverN0)
{
    const int trials = 40;
    std::mt19937 random(7);
    std::normal_distribution<double> gaussian(0.0, std::sqrt(0.5));  // each part of N0 = 1
    const double amplitude = std::sqrt(ebOverN0);
    double shareSum = 0;
    for (int t = 0; t < trials; ++t) {
        std::vector<std::pair<double, bool>> bytes;  // how likely wrong; whether wrong
        for (size_t b = 0; b < imageCount * imageBytes; ++b) {
            double right = 1.0;
            bool wrong = false;
            for (int i = 0; i < 8; ++i) {
                double own = std::hypot(amplitude + gaussian(random), gaussian(random));
                double other = std::hypot(gaussian(random), gaussian(random));
                double odds = logBesselI0(2 * amplitude * own) - logBesselI0(2 * amplitude * other);
                wrong = wrong || odds < 0;
                right = right * (1 - 1 / (1 + std::exp(std::fabs(odds))));
            }
            bytes.push_back({1 - right, wrong});
        }
        typedef std::pair<double, bool> Doubt;
        std::stable_sort(bytes.begin(), bytes.end(), [](const Doubt& a, const Doubt& b) { return a.first > b.first; });
        size_t last = 0;
        for (size_t k = 0; k < bytes.size(); ++k)
            if (bytes[k].second) last = k + 1;
        shareSum += static_cast<double>(last) / bytes.size();
    }
    return shareSum / trials;
}

const char introduction[] =
    "# How well recordings decode\n"
    "\n"
    "Written by `hibarion_robustness`, which the host build makes beside `hibarion`; rerun\n"
    "`build/host/hibarion_robustness docs/robustness.md` to rewrite this file. Every\n"
    "recording comes from fixed seeds, so a rerun with the same libraries gives the same\n"
    "figures.\n"
    "\n"
    "**Recordings.** Each row decodes %d tape images of %d random bytes, each as one WAV\n"
    "file. The 8-bit rows of noise, offset, gain, speed and low-pass are made as the\n"
    "Windows program's users make them: at 11025 samples a second the recording is the\n"
    "one the encoder writes, at other rates the same signal (framing, tones, amplitudes)\n"
    "sampled at that rate, and the damage is done to the 8-bit samples, clipped to\n"
    "0 ... 255. The other rows are made in floating point (the same signal, the low tone's\n"
    "peaks at 120/128 of full scale), damaged there and then stored in the file's format:\n"
    "\n"
    "- *noise*: white Gaussian noise over the whole recording; the ratio compares the\n"
    "  mean power of the tones (the leading and trailing silences left out) with the\n"
    "  noise's power, over the full band of the recording's rate;\n"
    "- *-30 dBFS*: the whole signal scaled so that its loudest peaks lie 30 dB below full\n"
    "  scale; at 8 bits its samples then stay within 124 ... 132;\n"
    "- *hum*: a 50 Hz sine of half the low tone's amplitude, plus an offset of a tenth of\n"
    "  full scale;\n"
    "- *dropouts*: 8 ms of silence every 1.5 s, the first at 1.5 s;\n"
    "- *level pumping*: the level swinging between full and half twice a second;\n"
    "- *DC offset*: a constant added to every sample; *gain*: the swing about 128 scaled;\n"
    "- *speed*: the tape played that much faster or slower, so both tones and every bit\n"
    "  cell move by the same share; *wow and flutter*: the speed wobbling by 1 %% at\n"
    "  0.5 Hz and 0.3 %% at 6 Hz at once;\n"
    "- *low-pass*: a fourth-order Butterworth filter, the dull sound of a worn head;\n"
    "  *two passes of a 2nd-order low-pass*: a second-order Butterworth filter run twice\n"
    "  (a sound editor's plain low-pass, twice), the slower roll-off of a head out of\n"
    "  line, which at 1.3 kHz takes the high tone about 18 dB down against the low one;\n"
    "- *inverted polarity*: every sample negated (255 - x at 8 bits);\n"
    "- *stereo*: the tape on the right channel, hiss 40 dB below it on the left;\n"
    "- *silence inside the data*: the signal replaced by silence from inside one of\n"
    "  body bytes 150 to 420 (another for each image, and another cell of it);\n"
    "  *hole*: the same for 150 ms in a recording played off speed;\n"
    "- *file cut short*: a WAV file whose end is lost inside one of bytes 300 to 444,\n"
    "  its header still promising the whole recording;\n"
    "- *splice*: 53 to 104 ms cut out from inside one of bytes 150 to 420, the tape\n"
    "  going on from there;\n"
    "- *recording starting inside a byte*: everything before a place inside one of\n"
    "  bytes 80 to 224 cut off, leader and header block with it.\n"
    "\n"
    "**Bytes right.** For each image, the bytes of the decoded image that match the\n"
    "original in order (the longest common subsequence of the two), over the longer of\n"
    "the two lengths: a missing, an extra and a wrong byte each cost one byte. The share\n"
    "is summed over all images of the row and cut (not rounded) to tenths; in brackets,\n"
    "how many images came out exactly right. *Not read*: the decoder refused every file\n"
    "of the row.\n"
    "\n"
    "**Silent errors.** Of `--robust`, summed over the row's images: the bytes wrong,\n"
    "missing or extra (along the same common subsequence) that no report covers, each\n"
    "report covering the bytes within 3 of its place: a suspect range, the place where\n"
    "it says bytes are missing, the start of a recording it says starts inside the\n"
    "data, and the end of one it says stops inside a byte, ends early or was damaged.\n"
    "An image with no report and no silent error is the tape's bytes.\n"
    "\n"
    "**Flagged.** Of `--robust`: the share of the bytes it gave that lie in its suspect\n"
    "ranges, rounded up to tenths. The aim is a report a user can act on: at most 5 %%,\n"
    "or four times the share of bytes wrong where more are wrong, while the silent\n"
    "errors stay 0.\n"
    "\n"
    "**Limit.** Beside each noise row, the physics: *Eb/N0* is a bit's energy (the\n"
    "signal's mean power over one cell) over the noise's density (its power spread evenly\n"
    "up to half the rate), and *limit* the share of bytes right that a receiver gets at\n"
    "best when it decides each bit alone without knowing the tones' phase (non-coherent\n"
    "FSK: a bit errs with probability exp(-Eb/2N0)/2; a byte is right when its eight data\n"
    "bits are), cut to hundredths. A decoder that uses the framing around each byte may\n"
    "come close to it or, by a little, beyond. *Flagged at the limit*: the share of bytes\n"
    "that such a receiver, knowing exactly how likely each bit is wrong from the tones'\n"
    "envelopes it heard, must flag to cover every byte it gets wrong (the bytes taken\n"
    "from the likeliest wrong on, up to the last wrong one; a mean over 40 simulated sets\n"
    "of as many bytes as the row decodes). Where it is above the aim, no decoder meets\n"
    "both the aim and 0 silent errors.\n"
    "\n"
    "**Columns.** *As recorded*: `hibarion FILE`, which writes the very bytes the Windows\n"
    "program writes; it reads mono 8-bit files only. *--robust*: `hibarion --robust FILE`\n"
    "(the same as `--resample`). *minimodem*: the general-purpose FSK decoder in Debian,\n"
    "`minimodem --rx -q -f FILE --mark 2400 --space 1200 --startbits 1 --stopbits 3 1200`,\n"
    "on the same file; it reads every format here except stereo.\n";

const char conclusion[] =
    "\n"
    "## What this means for an old tape\n"
    "\n"
    "The default path needs a clean, loud recording. Hiss costs it bytes early, and more\n"
    "at fast sample rates, where each chattering crossing of the centre line becomes an\n"
    "extra bit: at 44100 a recording with noise at 20 dB already loses a byte in twenty.\n"
    "It refuses a recording whose leading tone stays within 10 steps of the centre (the\n"
    "8-bit -30 dBFS row) and every file that is not mono 8-bit.\n"
    "\n"
    "`--robust` decodes every row at least as well as minimodem, and every byte of every\n"
    "row where minimodem gets 99 % or more. It listens for both tones over each bit cell\n"
    "after taking out DC and hum, so level, polarity, offset and hum do not matter; it\n"
    "follows the tape's speed from the leading tone and then byte by byte, so speed errors\n"
    "of 10 % and wow do not either; and it places each byte twelve cells after the one\n"
    "before, read halfway between there and where the byte fits best, so hiss that garbles\n"
    "a bit never adds or drops a byte and moves the cells little. Short of every byte it\n"
    "falls only where the signal itself is gone: under a short dropout, whose bytes are\n"
    "still counted (the rest of the image stays in place) and reported as suspect; under\n"
    "a longer one, whose bytes it leaves out and reports as missing, counted from the\n"
    "loss's length at the speed it measured before; and at 6 dB at 11025, where a few\n"
    "bits drown and are reported. After a splice it finds the frames again within a few\n"
    "bytes. Every byte it gets wrong, drops or adds is covered by a report: the silent\n"
    "errors are 0 on every row.\n"
    "\n"
    "Behind a head out of line, whose filtering takes the high tone 13 to 18 dB down\n"
    "against the low one and smears each cell into the next, it measures both tones' levels\n"
    "in high and in low cells, from the leading tone and then frame by frame, apart for\n"
    "cells after a low and after a high one, and tells each cell by those: every byte\n"
    "at 1.6 kHz, and at 1.3 kHz every byte at 44100 and 99.7 % at 11025, where minimodem\n"
    "gets 71.8 % and 8.0 %.\n"
    "\n"
    "It flags a byte when its weakest data cell lies closer to the undecided middle than\n"
    "1.6 times the spread of like cells of that recording, or its start or stop cell closer\n"
    "than one, each cell taken as the tones' difference over the frame's mean level, so\n"
    "that a cell whose tone the hiss took away does not look sure: 0.1 % or less of the\n"
    "bytes down to hiss at 9 dB, at most 5 % on every row but one. At 4 dB (11025) it flags\n"
    "28.0 %, and even the ideal receiver must flag 30.8 % there to cover every byte it gets\n"
    "wrong: no decoder meets the aim on that row with 0 silent errors. At 6 dB (11025) and\n"
    "0 dB (44100) it flags 3.4 and 3.5 %, where the ideal receiver would need 0.4 and\n"
    "0.3 %; the line is drawn where hiss at 4 to 6 dB left at most one wrong byte in\n"
    "90,000 beyond it.\n"
    "\n"
    "minimodem loses a few bytes even at 30 dB of noise (among them, it takes the end of\n"
    "the leader for an extra byte 0xFF), and from 5 % off speed on it loses most bytes.\n"
    "\n"
    "## Which option when\n"
    "\n"
    "`hibarion FILE` decodes exactly as the Windows program does, byte for byte; on clean\n"
    "recordings it and `--robust` give the same bytes. For a recording from a real tape,\n"
    "or any file that is not mono 8-bit, use `hibarion --robust FILE`: nowhere in this\n"
    "table did it do worse, and it names the bytes it is unsure of with their place in\n"
    "the recording, so that a damaged part can be recorded again.\n"
    "\n"
    "When one recording is not enough, record the tape again and merge the takes with\n"
    "`hibarion --robust --merge`: takes damaged at different places gave the exact image\n"
    "with nothing flagged, where all of them lost the same bytes those are named as\n"
    "missing, and three takes in hiss at 0 dB flag 0.3 % of the bytes where one flags 3.4 %.\n";

std::string figureRow(const Row& row, bool withLimit)
{
    Score asRecorded, robust, peer;
    for (int k = 0; k < imageCount; ++k) {
        Bytes image = randomImage(imageBytes, 1000 + k);
        Bytes wave = row.recording(image, row.rate, 2000 + k);
        if (row.rate == 44100) recordingSeconds += (wave.size() - 44.0) / 44100;
        Bytes decoded;
        addToScore(asRecorded, image, decodedAsRecorded(wave, decoded) ? &decoded : nullptr);
        RecordingDecoding result;
        bool read = decodedRobustly(wave, result);
        addToScore(robust, image, read ? &result.bytes : nullptr);
        if (read) {
            robust.silent += silentErrors(image, result.bytes, reportedPlaces(result));
            robust.decoded += result.bytes.size();
            for (const SuspectRange& range : result.suspects) robust.flagged += range.lastByte - range.firstByte + 1;
        }
        if (haveMinimodem)
            addToScore(peer, image, decodedByMinimodem(wave, decoded) ? &decoded : nullptr);
    }
    std::string line = "| " + row.label + " | " + std::to_string(row.rate) + " | " + row.format + " | " +
                       cell(asRecorded) + " | " + cell(robust) + " | " + flaggedCell(robust) + " | " +
                       (robust.read ? std::to_string(robust.silent) : std::string("-")) + " | " +
                       (haveMinimodem ? cell(peer) : std::string("not run")) + " |";
    if (withLimit) {
        double ebOverN0, bytesRight;
        noiseLimit(row.noiseDecibels, row.rate, ebOverN0, bytesRight);
        char limit[96];
        std::snprintf(limit, sizeof limit, " %.1f dB | %.2f %% | %.1f %% |", 10 * std::log10(ebOverN0),
                      std::floor(10000.0 * bytesRight) / 100, 100 * flaggedAtTheLimit(ebOverN0));
        line += limit;
    }
    return line + "\n";
}

// ---- Several takes merged ----------------------------------------------------------

// One take of a tape: played at `speed`, its recording started `lateSeconds` into the
// leader, with 150 ms of silence from inside body byte `holeByte` (none when negative)
// and hiss at `snr` dB (none when NaN).
struct TakeDamage {
    double speed, lateSeconds;
    int holeByte;
    double snr;
};

struct MergeRow {
    std::string takes, damage;
    // The takes of the image whose seed is given; the first hole falls in one of body
    // bytes 150 to 420.
    std::function<std::vector<TakeDamage>(int firstHole)> damages;
};

Bytes takeRecording(const Bytes& image, const TakeDamage& take, unsigned seed)
{
    const int rate = 44100;
    const Wobble speed = {0, 0, 0, 0, take.speed};
    Floats samples = synthesizeTapeFloats(image, rate, wobbleAt, &speed);
    if (take.holeByte >= 0)
        silenceFrom(samples, rate, placeOf(rate, take.speed, take.holeByte, cellsInto(seed)), 0.15);
    if (take.snr == take.snr) addWhiteNoise(samples, take.snr, seed);
    cutOut(samples, rate, 0.2, take.lateSeconds);
    return makeWideWaveFile(samples, nullptr, rate, 16);
}

// The takes differ in speed and start as takes of one tape on several machines do.
const double noHiss = std::nan("");
const TakeDamage firstTake = {1.0, 0.0, -1, noHiss}, secondTake = {1.015, 1.0, -1, noHiss},
                 thirdTake = {0.98, 2.0, -1, noHiss};

TakeDamage withHole(TakeDamage take, int byte)
{
    take.holeByte = byte;
    return take;
}
TakeDamage withHiss(TakeDamage take, double snr)
{
    take.snr = snr;
    return take;
}

// 150 ms hold 15 bytes: holes 6 bytes apart share 9 bytes, 12 apart 3.
std::vector<MergeRow> mergeRows()
{
    const double hiss = 12.0;
    return {
        {"one", "150 ms hole",
         [](int hole) { return std::vector<TakeDamage>{withHole(firstTake, hole)}; }},
        {"one", "hiss at 0 dB", [](int) { return std::vector<TakeDamage>{withHiss(firstTake, 0.0)}; }},
        {"two", "150 ms holes apart",
         [](int hole) {
             return std::vector<TakeDamage>{withHole(firstTake, hole), withHole(secondTake, (hole + 200) % 440)};
         }},
        {"two", "150 ms holes overlapping by 9 bytes",
         [](int hole) {
             return std::vector<TakeDamage>{withHole(firstTake, hole), withHole(secondTake, hole + 6)};
         }},
        {"three", "150 ms holes apart, one take with hiss at 12 dB",
         [hiss](int hole) {
             return std::vector<TakeDamage>{withHole(firstTake, hole), withHole(secondTake, (hole + 200) % 440),
                                            withHiss(thirdTake, hiss)};
         }},
        {"three", "150 ms holes overlapping by 3 bytes, one take with hiss at 12 dB",
         [hiss](int hole) {
             return std::vector<TakeDamage>{withHole(firstTake, hole), withHole(secondTake, hole + 6),
                                            withHiss(withHole(thirdTake, hole + 12), hiss)};
         }},
        {"three", "hiss at 0 dB in each",
         [](int) {
             return std::vector<TakeDamage>{withHiss(firstTake, 0.0), withHiss(secondTake, 0.0),
                                            withHiss(thirdTake, 0.0)};
         }},
    };
}

Places mergedPlaces(const MergedTape& merged)
{
    Places places;
    for (const SuspectRange& s : merged.suspects) places.push_back({s.firstByte, s.lastByte});
    for (const SignalLoss& loss : merged.losses) places.push_back({loss.bytesBefore, loss.bytesBefore});
    if (merged.startsInsideData >= 0) places.push_back({0, 0});
    long end = static_cast<long>(merged.bytes.size());
    if (merged.endsInsideData >= 0) places.push_back({end, end});
    return places;
}

std::string mergeFigureRow(const MergeRow& row)
{
    Score score;
    for (int k = 0; k < imageCount; ++k) {
        Bytes image = randomImage(imageBytes, 1000 + k);
        const unsigned seed = 2000 + k;
        std::vector<Take> takes;
        for (const TakeDamage& damage : row.damages(damagedByte(seed, 150, 30))) {
            Bytes wave = takeRecording(image, damage, seed + static_cast<unsigned>(takes.size()));
            RecordingDecoding result;
            if (!decodedRobustly(wave, result)) continue;
            takes.push_back({result.bytes, result.confidences, result.byteSeconds, result.losses,
                             result.startsInsideData, result.endsInsideData});
        }
        MergedTape merged = mergeTakes(takes);
        addToScore(score, image, &merged.bytes);
        score.silent += silentErrors(image, merged.bytes, mergedPlaces(merged));
        score.decoded += merged.bytes.size();
        for (const SuspectRange& range : merged.suspects) score.flagged += range.lastByte - range.firstByte + 1;
    }
    return "| " + row.takes + " | " + row.damage + " | " + cell(score) + " | " + flaggedCell(score) + " | " +
           std::to_string(score.silent) + " |\n";
}

const char mergeIntroduction[] =
    "\n"
    "## Several takes merged\n"
    "\n"
    "`hibarion --robust --merge` on takes of one tape, each 16-bit at 44100 samples a\n"
    "second: the first at normal speed from the start of the leader, the second 1.5 %\n"
    "fast and started 1 s later, the third 2 % slow and started 2 s later. A *hole*\n"
    "is 150 ms of silence (15 bytes) from inside one of body bytes 150 to 420 in the\n"
    "first take; *apart*, the second take's hole lies 200 bytes on (or 240 back);\n"
    "*overlapping*, the second take's hole starts 6 bytes after the first's and the\n"
    "third's 12 after. *Hiss* is white noise as in the noise rows, over each take alone.\n"
    "Bytes right, flagged and silent errors as above, of the merged image.\n"
    "\n"
    "| takes | damage | --robust --merge | flagged | silent errors |\n"
    "|---|---|---:|---:|---:|\n";

}  // namespace

int main(int argc, char** argv)
{
    const bool only = argc == 3 && std::string(argv[1]) == "--only";
    if (argc > 2 && !only) {
        std::fprintf(stderr, "usage: hibarion_robustness [OUTPUT.md | --only TEXT]\n");
        return 2;
    }
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/hibarion-table-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) {
        std::fprintf(stderr, "hibarion_robustness: cannot make a scratch folder\n");
        return 1;
    }
    folder = std::string(name.data()) + "/";
    setDefaultSettings();
    haveMinimodem = std::system("command -v minimodem > /dev/null 2>&1") == 0;

    char text[8192];
    std::snprintf(text, sizeof text, introduction, imageCount, static_cast<int>(imageBytes));
    std::string document = text;
    if (!haveMinimodem) document += "\nminimodem was not installed when this table was made.\n";
    for (const Section& section : tableSections()) {
        std::string rows;
        for (const Row& row : section.rows)
            if (!only || row.label.find(argv[2]) != std::string::npos) rows += figureRow(row, section.limits);
        if (!rows.empty()) document += std::string("\n## ") + section.title + "\n\n" + tableHead(section) + rows;
    }
    std::string mergeFigures;
    for (const MergeRow& row : mergeRows())
        if (!only || (row.takes + " takes, " + row.damage).find(argv[2]) != std::string::npos)
            mergeFigures += mergeFigureRow(row);
    if (!mergeFigures.empty()) document += mergeIntroduction + mergeFigures;
    if (!only) document += conclusion;

    releaseLoadedData();
    for (const char* file : {"tape.p6", "tape_.wav", "tape.wav", "tape.P6", "minimodem.wav",
                             "minimodem.out"})
        std::remove((folder + file).c_str());
    rmdir(folder.c_str());

    std::fprintf(stderr, "hibarion_robustness: %.0f s of recordings at 44100 among the rest; "
                 "--robust took %.2f s in all, minimodem %.2f s\n",
                 recordingSeconds, robustSeconds, minimodemSeconds);
    return writeDocument("hibarion_robustness", only ? 1 : argc, argv, document);
}
