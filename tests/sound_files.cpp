#include "tests/sound_files.h"

#include <sndfile.h>
#include <stdexcept>

#include "tools/signal_synthesis.h"

std::vector<float> tapeSignal(const Bytes& image, int rate, double gain)
{
    std::vector<float> out;
    for (uint8_t x : synthesizeTapeSignal(image, rate))
        out.push_back(static_cast<float>((x - 128) / 128.0 * gain));
    return out;
}

void writeSoundFile(const std::string& path, int format, int rate, int channels,
                    const std::vector<float>& samples)
{
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) throw std::runtime_error(path + ": " + sf_strerror(nullptr));
    sf_count_t frames = static_cast<sf_count_t>(samples.size() / static_cast<size_t>(channels));
    bool written = sf_writef_float(file, samples.data(), frames) == frames;
    if (sf_close(file) != 0 || !written) throw std::runtime_error(path + ": not written");
}
