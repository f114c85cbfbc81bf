#include "tools/impairments.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace {

const double pi = 3.141592653589793;

uint8_t clipped(double level)
{
    double rounded = std::floor(level + 0.5);
    if (!(rounded >= 0.0)) return 0;
    if (rounded >= 255.0) return 255;
    return static_cast<uint8_t>(rounded);
}

// One Gaussian number from two 32-bit draws (Box-Muller); std::normal_distribution
// differs between standard libraries.
double gaussian(std::mt19937& random)
{
    double u1 = (random() + 1.0) / 4294967297.0;  // never 0
    double u2 = random() / 4294967296.0;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * pi * u2);
}

// A second-order low-pass section of the audio cookbook, direct form I.
struct Section {
    double b0, b1, b2, a1, a2;
    double x1, x2, y1, y2;
};

Section lowPassSection(int sampleRate, double cutoffHertz, double q)
{
    double w = 2.0 * pi * cutoffHertz / sampleRate;
    double alpha = std::sin(w) / (2.0 * q);
    double cosw = std::cos(w);
    double a0 = 1.0 + alpha;
    Section s = {};
    s.b0 = (1.0 - cosw) / 2.0 / a0;
    s.b1 = (1.0 - cosw) / a0;
    s.b2 = s.b0;
    s.a1 = -2.0 * cosw / a0;
    s.a2 = (1.0 - alpha) / a0;
    return s;
}

double filtered(Section& s, double x)
{
    double y = s.b0 * x + s.b1 * s.x1 + s.b2 * s.x2 - s.a1 * s.y1 - s.a2 * s.y2;
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
    return y;
}

// The samples from second `from` on for `seconds`, within the recording.
void sampleRange(const Floats& samples, int sampleRate, double from, double seconds, size_t& first, size_t& end)
{
    double a = std::floor(from * sampleRate), b = std::floor((from + seconds) * sampleRate);
    double size = static_cast<double>(samples.size());
    first = a <= 0 ? 0 : a >= size ? samples.size() : static_cast<size_t>(a);
    end = b <= a ? first : b >= size ? samples.size() : static_cast<size_t>(b);
}

}  // namespace

void addWhiteNoise(std::vector<uint8_t>& samples, double snrDecibels, unsigned seed)
{
    size_t first = 0, end = samples.size();
    while (first < end && samples[first] == 128) ++first;
    while (end > first && samples[end - 1] == 128) --end;
    if (first == end) return;
    double power = 0.0;
    for (size_t k = first; k < end; ++k) power += (samples[k] - 128.0) * (samples[k] - 128.0);
    power /= static_cast<double>(end - first);

    double deviation = std::sqrt(power / std::pow(10.0, snrDecibels / 10.0));
    std::mt19937 random(seed);
    for (uint8_t& sample : samples) sample = clipped(sample + deviation * gaussian(random));
}

void addOffset(std::vector<uint8_t>& samples, int offset)
{
    for (uint8_t& sample : samples) sample = clipped(static_cast<double>(sample) + offset);
}

void scaleSwing(std::vector<uint8_t>& samples, double gain)
{
    for (uint8_t& sample : samples) sample = clipped(128.0 + (sample - 128.0) * gain);
}

void invertPolarity(std::vector<uint8_t>& samples)
{
    for (uint8_t& sample : samples) sample = static_cast<uint8_t>(255 - sample);
}

void lowPass(std::vector<uint8_t>& samples, int sampleRate, double cutoffHertz)
{
    // The two sections' Q values of a fourth-order Butterworth response.
    Section first = lowPassSection(sampleRate, cutoffHertz, 0.5411961001461970);
    Section second = lowPassSection(sampleRate, cutoffHertz, 1.3065629648763766);
    for (uint8_t& sample : samples)
        sample = clipped(128.0 + filtered(second, filtered(first, sample - 128.0)));
}

void secondOrderLowPass(std::vector<uint8_t>& samples, int sampleRate, double cutoffHertz, int passes)
{
    // A second-order Butterworth section for each pass.
    std::vector<Section> sections(static_cast<size_t>(passes), lowPassSection(sampleRate, cutoffHertz, 0.7071067811865476));
    for (uint8_t& sample : samples) {
        double x = sample - 128.0;
        for (Section& section : sections) x = filtered(section, x);
        sample = clipped(128.0 + x);
    }
}

void addWhiteNoise(Floats& samples, double snrDecibels, unsigned seed)
{
    size_t first = 0, end = samples.size();
    while (first < end && samples[first] == 0.0f) ++first;
    while (end > first && samples[end - 1] == 0.0f) --end;
    if (first == end) return;
    double power = 0.0;
    for (size_t k = first; k < end; ++k) power += double(samples[k]) * samples[k];
    power /= static_cast<double>(end - first);

    double deviation = std::sqrt(power / std::pow(10.0, snrDecibels / 10.0));
    std::mt19937 random(seed);
    for (float& sample : samples) sample = static_cast<float>(sample + deviation * gaussian(random));
}

void addHum(Floats& samples, int sampleRate, double hertz, double amplitude, double offset)
{
    for (size_t k = 0; k < samples.size(); ++k) {
        double hum = amplitude * std::sin(2.0 * pi * hertz * k / sampleRate);
        samples[k] = static_cast<float>(samples[k] + hum + offset);
    }
}

void addDropouts(Floats& samples, int sampleRate, double seconds, double every)
{
    for (size_t k = 0; k < samples.size(); ++k) {
        double t = static_cast<double>(k) / sampleRate;
        double into = std::fmod(t, every);
        if (t >= every && into < seconds) samples[k] = 0.0f;
    }
}

void pumpLevel(Floats& samples, int sampleRate, double lowest, double hertz)
{
    double middle = (1.0 + lowest) / 2, swing = (1.0 - lowest) / 2;
    for (size_t k = 0; k < samples.size(); ++k) {
        double gain = middle + swing * std::cos(2.0 * pi * hertz * k / sampleRate);
        samples[k] = static_cast<float>(samples[k] * gain);
    }
}

void silenceFrom(Floats& samples, int sampleRate, double from, double seconds)
{
    size_t first, end;
    sampleRange(samples, sampleRate, from, seconds, first, end);
    std::fill(samples.begin() + static_cast<long>(first), samples.begin() + static_cast<long>(end), 0.0f);
}

void cutOut(Floats& samples, int sampleRate, double from, double seconds)
{
    size_t first, end;
    sampleRange(samples, sampleRate, from, seconds, first, end);
    samples.erase(samples.begin() + static_cast<long>(first), samples.begin() + static_cast<long>(end));
}

void scaleLevel(Floats& samples, double gain)
{
    for (float& sample : samples) sample = static_cast<float>(sample * gain);
}

void invertPolarity(Floats& samples)
{
    for (float& sample : samples) sample = -sample;
}

void lowPass(Floats& samples, int sampleRate, double cutoffHertz)
{
    Section first = lowPassSection(sampleRate, cutoffHertz, 0.5411961001461970);
    Section second = lowPassSection(sampleRate, cutoffHertz, 1.3065629648763766);
    for (float& sample : samples) sample = static_cast<float>(filtered(second, filtered(first, sample)));
}

std::vector<uint8_t> toUnsigned8(const Floats& samples)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(samples.size());
    for (float sample : samples) bytes.push_back(clipped(128.0 + 128.0 * sample));
    return bytes;
}

Floats fromUnsigned8(const std::vector<uint8_t>& samples)
{
    Floats floats;
    floats.reserve(samples.size());
    for (uint8_t sample : samples) floats.push_back((sample - 128) / 128.0f);
    return floats;
}
