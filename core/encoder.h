#pragma once
#include <cstdint>
#include <string>

#include "core/output_file.h"
#include "core/platform.h"

// The recording name for a tape image: its last three bytes (".p6") replaced by "_.wav"
// (GAME.p6 gives GAME_.wav), placed by placeOutput.
std::string recordingNameFor(const char* tapeImagePath);

// The output file seen through a buffer: samples are written one at a time and reach
// the file in large blocks.
struct RecordingOutput {
    OutputFile* file;
    uint64_t handed;  // bytes handed to the file so far
    size_t used;
    uint8_t buffer[1 << 16];
};

// The rate of the recordings written: 11025 samples a second, as the machine's tools
// expect. Only the command line changes it (8000 ... 192000); the cells keep their
// length in time, so a recording at another rate holds the same tones and framing.
extern uint32_t outputSampleRate;

// Write one bit cell of length factor x (x/1200 seconds): a high cell is 2400 Hz and
// stands for a 1 bit, a low cell 1200 Hz for a 0 bit. cellPhase carries the time by
// which the first unwritten sample lies past the cell's end into the next cell.
void writeHighCell(double& cellPhase, RecordingOutput* output, double x);
void writeLowCell(double& cellPhase, RecordingOutput* output, double x);

// The WAV header holds the sample count N in 32 bits, and N + 36 beside it.
const uint64_t largestSampleCount = 4294967259u;

// The counting pass: the number of samples the recording of an image of `imageBytes`
// bytes at `slowness` holds, silences included. Counting stops once the count passes
// largestSampleCount, so any result above it only says "too large".
uint64_t countRecordingSamples(uint32_t imageBytes, double slowness);

// Writes the tape image in the slot as a recording beside it. Returns 1 when the
// recording was written, 0 after a failure shown to the user.
int encodeTapeImage(WindowHandle window, const char* tapeImagePath);
