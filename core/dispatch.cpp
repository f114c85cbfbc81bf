#include "core/dispatch.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/conversion_settings.h"
#include "core/decoder.h"
#include "core/encoder.h"
#include "core/input_file.h"
#include "core/listing.h"
#include "core/loaded_data.h"
#include "core/tape_loader.h"
#include "core/wave_reader.h"

namespace {

bool isEither(char c, char lower) { return c == lower || c == lower - 'a' + 'A'; }

bool endsInWav(const char* name, size_t length)
{
    return name[length - 4] == '.' && isEither(name[length - 3], 'w') &&
           isEither(name[length - 2], 'a') && isEither(name[length - 1], 'v');
}

bool endsInP6(const char* name, size_t length)
{
    return name[length - 3] == '.' && isEither(name[length - 2], 'p') && name[length - 1] == '6';
}

}  // namespace

bool namesRecording(const char* name)
{
    size_t length = std::strlen(name);
    return length >= 4 && endsInWav(name, length);
}

bool namesTapeImage(const char* name)
{
    size_t length = std::strlen(name);
    return length >= 4 && endsInP6(name, length);
}

int dispatchDroppedName(WindowHandle window, const char* name)
{
    size_t length = std::strlen(name);
    if (length < 4) return 1;

    bool recording = endsInWav(name, length);
    if (!recording && !endsInP6(name, length)) {
        showMessage(window, {MessageId::WrongEnding, name, 0, nullptr});
        return 1;
    }

    int result;
    {
        InputFile file(name);
        if (!file.get()) {
            showMessage(window, {MessageId::CannotOpen, name, 0, nullptr});
            return 1;
        }
        result = recording ? readWaveFile(file.get()) : loadTapeImage(file.get());
    }
    if (result != -1) {
        showMessage(window, {MessageId::LoadProblem, name, result, nullptr});
        return 1;
    }

    if (recording) {
        decodeRecording(window, name);
    } else {
        encodeTapeImage(window, name);
        if (conversionSettings.basicListing != 0) writeBasicListing(window, name);
    }
    return 1;
}
