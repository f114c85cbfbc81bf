#include "cli/recording_probe.h"

#include <sndfile.h>
#include <sys/stat.h>

#include "signal/recording_file.h"

bool onlyRobustReads(const char* name)
{
    // A pipe or a device would be read a second time, or wait for more.
    struct stat status;
    if (stat(name, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    SF_INFO info = SF_INFO();
    SNDFILE* file = sf_open(name, SFM_READ, &info);
    if (!file) return false;
    sf_close(file);
    bool defaultFormat = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV &&
                         (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_U8 && info.channels == 1;
    return !defaultFormat && info.samplerate >= lowestRecordingRate &&
           info.samplerate <= highestRecordingRate;
}
