#pragma once
// The words of --robust's and --merge's lines, in English or in the user's language
// where the message catalogue has them: the problems that follow "hibarion: FILE: ",
// the summaries inside the parentheses after "NAME -> IMAGE ".
#include <cstddef>
#include <cstdint>
#include <string>

#include "signal/damaged_stretches.h"
#include "signal/recording_file.h"
#include "signal/robust_decoder.h"

// `channels`: those of the file, for a channel it lacks.
std::string recordingProblemText(const RecordingProblem& problem, int channels);
std::string stretchText(const SuspectStretch& stretch);
std::string lossText(const SignalLoss& loss);
std::string repairedText(uint32_t byte);
std::string startsInsideText();
// --quiet: the bytes repaired, suspect and missing, in one line.
std::string doubtCountsText(unsigned long long repaired, unsigned long long suspect, unsigned long long missing);
std::string noSignalText();
std::string endsInsideText(double seconds);
// `endings`: those --robust reads, ".wav, .w64, ...".
std::string notRecordingText(const std::string& endings);
std::string anotherTapeText(const char* firstTake);

// One recording decoded; the channel is named when the file has several.
std::string decodedSummary(size_t bytes, unsigned long long suspect, unsigned long long missing, int channel,
                           int channels, double peakDecibels);
// Takes merged; `given` names each take with the bytes it gave: "a.wav 120, b.wav 30".
std::string mergedSummary(size_t bytes, unsigned long long suspect, unsigned long long missing,
                          const std::string& given);
