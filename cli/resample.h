#pragma once
// The command-line front end's --resample: a recording is brought to 11025 samples a
// second, mono, 8 bits, through libsoxr's band-limiting resampler before the unchanged
// decoder runs on it. The decoder has no hysteresis about its centre line, so the hiss
// of a fast recording makes every crossing chatter; at 11025 the low-pass of the
// resampler has removed most of that hiss, and each period holds the fewest samples.
// Only the front end has this: the Windows program decodes every recording as recorded.

enum ResampleResult {
    ResampleDone,            // the slot now holds the recording at 11025
    ResampleNotNeeded,       // already at 11025: the slot is untouched
    ResampleRateOutOfRange,  // the rest keep the recording as loaded
    ResampleTooLong,
    ResampleOutOfMemory,
    ResampleFailed,
};

// The rates that are resampled; any other rate is left to the decoder as it is.
const unsigned lowestResampledRate = 4000;
const unsigned highestResampledRate = 768000;

// Replaces the recording in the slot (just loaded by readWaveFile) with the same
// recording at 11025 samples a second, releasing the old block. On any failure the slot
// keeps the recording as loaded.
ResampleResult resampleLoadedRecording();

// Handles one name as dispatchDroppedName does, except that a recording the reader
// accepted is resampled before it is decoded. When it cannot be resampled, a message
// says why and the recording is decoded as recorded.
void dispatchResampledName(const char* name);
