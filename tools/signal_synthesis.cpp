#include "tools/signal_synthesis.h"

#include <cmath>
#include <cstring>

namespace {

const double pi = 3.141592653589793;

struct Synthesis {
    std::vector<uint8_t>* out;
    double period;
    double highAmplitude;
    double phase;
};

void cell(Synthesis& s, bool high, double x)
{
    double t = s.phase;
    double e = x / 1200;
    while (t < e) {
        double v = high ? std::sin(pi * t * 4800) : std::sin(t * pi * 2400);
        double a = high ? s.highAmplitude : 120;
        double level = 128.5 - a * v;
        s.out->push_back(static_cast<uint8_t>(level < 0 ? 0 : level > 255 ? 255 : level));
        t = t + s.period;
    }
    s.phase = t - e;
}

void byteFrame(Synthesis& s, uint8_t value)
{
    cell(s, true, 1.0);
    cell(s, true, 1.0);
    cell(s, true, 1.0);
    cell(s, false, 1.0);
    for (int bit = 0; bit < 8; ++bit) cell(s, (value >> bit) & 1, 1.0);
}

// The float signal's cell walk: tape time advances by the sample period times the
// speed at the current recording time.
struct FloatSynthesis {
    std::vector<float>* out;
    double period;
    SpeedAt speed;
    const void* context;
    double phase;
};

void floatCell(FloatSynthesis& s, bool high)
{
    const double e = 1.0 / 1200;
    while (s.phase < e) {
        double v = high ? std::sin(pi * s.phase * 4800) / 1.32 : std::sin(s.phase * pi * 2400);
        s.out->push_back(static_cast<float>(-v * 120 / 128));
        double now = s.out->size() * s.period;
        s.phase = s.phase + s.period * (s.speed ? s.speed(now, s.context) : 1.0);
    }
    s.phase = s.phase - e;
}

void floatFrame(FloatSynthesis& s, uint8_t value)
{
    floatCell(s, true);
    floatCell(s, true);
    floatCell(s, true);
    floatCell(s, false);
    for (int bit = 0; bit < 8; ++bit) floatCell(s, (value >> bit) & 1);
}

void put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

void put16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void putText(std::vector<uint8_t>& out, const char* text)
{
    while (*text) out.push_back(static_cast<uint8_t>(*text++));
}

}  // namespace

std::vector<uint8_t> synthesizeTapeSignal(const std::vector<uint8_t>& image, int sampleRate,
                                          double outputRatio)
{
    std::vector<uint8_t> samples;
    Synthesis s = {&samples, 1.0 / sampleRate, 120 / outputRatio, 0.0};
    size_t silence = static_cast<size_t>(sampleRate * (5000.0 / 11025));
    samples.assign(silence, 128);
    for (int c = 0; c < 4800; ++c) cell(s, true, 1.0);
    size_t k = 0;
    for (; k < image.size() && k < 16; ++k) byteFrame(s, image[k]);
    for (int c = 0; c < 635; ++c) cell(s, true, 1.0);
    for (; k < image.size(); ++k) byteFrame(s, image[k]);
    for (int c = 0; c < 59; ++c) cell(s, true, 1.0);
    samples.insert(samples.end(), silence, 128);
    return samples;
}

std::vector<uint8_t> makeWaveFile(const std::vector<uint8_t>& samples, int sampleRate)
{
    std::vector<uint8_t> file;
    file.reserve(44 + samples.size());
    putText(file, "RIFF");
    put32(file, static_cast<uint32_t>(samples.size() + 36));
    putText(file, "WAVEfmt ");
    put32(file, 16);
    put16(file, 1);  // PCM
    put16(file, 1);  // one channel
    put32(file, static_cast<uint32_t>(sampleRate));
    put32(file, static_cast<uint32_t>(sampleRate));
    put16(file, 1);  // block alignment
    put16(file, 8);  // bits a sample
    putText(file, "data");
    put32(file, static_cast<uint32_t>(samples.size()));
    for (uint8_t sample : samples) file.push_back(sample);
    return file;
}

std::vector<float> synthesizeTapeFloats(const std::vector<uint8_t>& image, int sampleRate,
                                        SpeedAt speed, const void* context)
{
    std::vector<float> samples;
    FloatSynthesis s = {&samples, 1.0 / sampleRate, speed, context, 0.0};
    size_t silence = static_cast<size_t>(sampleRate * (5000.0 / 11025));
    samples.assign(silence, 0.0f);
    for (int c = 0; c < 4800; ++c) floatCell(s, true);
    size_t k = 0;
    for (; k < image.size() && k < 16; ++k) floatFrame(s, image[k]);
    for (int c = 0; c < 635; ++c) floatCell(s, true);
    for (; k < image.size(); ++k) floatFrame(s, image[k]);
    for (int c = 0; c < 59; ++c) floatCell(s, true);
    samples.insert(samples.end(), silence, 0.0f);
    return samples;
}

std::vector<uint8_t> makeWideWaveFile(const std::vector<float>& left, const std::vector<float>* right,
                                      int sampleRate, int bits)
{
    const uint16_t channels = right ? 2 : 1;
    const uint16_t blockAlign = static_cast<uint16_t>(channels * bits / 8);
    const uint32_t dataSize = static_cast<uint32_t>(left.size() * blockAlign);
    std::vector<uint8_t> file;
    file.reserve(44 + dataSize);
    putText(file, "RIFF");
    put32(file, dataSize + 36);
    putText(file, "WAVEfmt ");
    put32(file, 16);
    put16(file, bits == 32 ? 3 : 1);  // IEEE float or PCM
    put16(file, channels);
    put32(file, static_cast<uint32_t>(sampleRate));
    put32(file, static_cast<uint32_t>(sampleRate) * blockAlign);
    put16(file, blockAlign);
    put16(file, static_cast<uint16_t>(bits));
    putText(file, "data");
    put32(file, dataSize);
    for (size_t k = 0; k < left.size(); ++k) {
        for (int c = 0; c < channels; ++c) {
            float x = c == 0 ? left[k] : (k < right->size() ? (*right)[k] : 0.0f);
            if (bits == 32) {
                uint32_t word;
                std::memcpy(&word, &x, 4);
                put32(file, word);
                continue;
            }
            double scale = bits == 16 ? 32767.0 : 8388607.0;
            double level = std::floor(x * scale + 0.5);
            if (!(level >= -scale)) level = -scale;
            if (level > scale) level = scale;
            uint32_t word = static_cast<uint32_t>(static_cast<int32_t>(level));
            for (int b = 0; b < bits / 8; ++b) file.push_back(static_cast<uint8_t>(word >> (8 * b)));
        }
    }
    return file;
}
