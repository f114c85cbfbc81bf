// Writes the seed corpus of fuzz_recording, each seed a channel byte and a file that
// libsndfile wrote itself:
//   make_recording_corpus tests/fuzz/corpus/fuzz_recording
// Two short tapes (the tape signal of two bytes, at 4000 samples a second in 8 bits and
// at 8000 in the second channel of a stereo FLAC file), then 64 samples of a 1200 Hz tone
// in each of the other formats and sample encodings people record in.
#include <cmath>
#include <cstdio>
#include <sndfile.h>
#include <string>
#include <vector>

#include "tools/signal_synthesis.h"

namespace {

std::string folder;
bool failed = false;

// One seed: the channel byte, then `samples` (interleaved) written as `format`.
void seed(const char* name, int channelByte, int format, int rate, int channels,
          const std::vector<float>& samples)
{
    std::string temporary = folder + "/seed.tmp";
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* sound = sf_open(temporary.c_str(), SFM_WRITE, &info);
    if (!sound) {
        std::fprintf(stderr, "%s: %s\n", name, sf_strerror(nullptr));
        failed = true;
        return;
    }
    sf_writef_float(sound, samples.data(), static_cast<sf_count_t>(samples.size()) / channels);
    sf_close(sound);

    FILE* in = std::fopen(temporary.c_str(), "rb");
    FILE* out = std::fopen((folder + "/" + name).c_str(), "wb");
    if (!in || !out) {
        failed = true;
    } else {
        std::fputc(channelByte, out);
        int c;
        while ((c = std::fgetc(in)) != EOF) std::fputc(c, out);
    }
    if (in) std::fclose(in);
    if (out) std::fclose(out);
    std::remove(temporary.c_str());
}

std::vector<float> tape(int rate)
{
    std::vector<float> samples;
    for (uint8_t x : synthesizeTapeSignal({0x3C, 0xA5}, rate)) samples.push_back((x - 128) / 128.0f);
    return samples;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_recording_corpus FOLDER\n", stderr);
        return 2;
    }
    folder = argv[1];

    seed("tape-4000-u8.wav", 0, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 4000, 1, tape(4000));
    std::vector<float> stereo;
    for (float x : tape(8000)) stereo.insert(stereo.end(), {0.0f, x});
    seed("tape-8000-stereo.flac", 0, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 8000, 2, stereo);

    std::vector<float> tone;
    for (int n = 0; n < 64; ++n) tone.push_back(0.5f * std::sin(2 * 3.14159265f * 1200 * n / 44100));
    const struct {
        const char* name;
        int format;
    } formats[] = {
        {"16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {"24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {"32.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {"double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE},
        {"ima-adpcm.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM},
        {"extensible.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16},
        {"rf64.wav", SF_FORMAT_RF64 | SF_FORMAT_PCM_24},
        {"w64.wav", SF_FORMAT_W64 | SF_FORMAT_FLOAT},
        {"16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        {"float.aifc", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        {"24.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        {"16.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16},
        {"16.au", SF_FORMAT_AU | SF_FORMAT_PCM_16},
    };
    for (const auto& f : formats) seed(f.name, 0, f.format, 44100, 1, tone);
    // A forced channel, and the edges of the rates decoded.
    seed("channel-2-of-2.wav", 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, tone);
    seed("rate-768000.wav", 0, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 768000, 1, tone);
    seed("rate-3999.wav", 0, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3999, 1, tone);
    return failed ? 1 : 0;
}
