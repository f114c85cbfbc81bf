#pragma once
// How sure the robust decoder is of a byte, from the contrasts of its frame's cells
// measured against the spread the recording itself shows. Each data cell's margin (its
// distance from the undecided middle) counts in units of the spread of the cells that
// sound as it does between the same neighbours, so that a head out of line, whose
// filtered tones blur one cell into the next, costs nothing while hiss does; the start
// and stop cells count likewise by their distance from the middle, in units of the
// spread of such cells.

// The contrasts of one frame's cells, about -1 where a cell is typically low and +1 where
// it is high: the tones' difference over the frame's mean level, or as the templates
// tell the cells.
struct FrameContrasts {
    double start;     // the start cell, low where the frame is in place
    double data[8];   // the data cells from the lowest bit
    double stops;     // the weakest of the stop cells, high where the frame is in place
    // The first frame after a leader or a gap, its data cells all high: only its start
    // cell tells it from the tone before it, which hiss can make sound low.
    bool startAlone;
};

// A running mean and variance.
struct ContrastSpread {
    double mean;
    double variance;
    double weight;  // cells taken in, and a prior's worth before them
};

// What the recording has shown so far.
struct ConfidenceModel {
    // Data cells by their own tone and their neighbours' (own * 4 + before * 2 + after).
    ContrastSpread bits[8];
    ContrastSpread start, stops;
};

// How a frame stands: each 1 at the line below which its byte is suspect, 0 where its
// cells say nothing, and higher the surer.
struct FrameJudgement {
    double bits;     // the weakest data cell
    double framing;  // the start and stop cells
};

void startConfidenceModel(ConfidenceModel& model);
FrameJudgement judgeFrame(const ConfidenceModel& model, const FrameContrasts& frame);
// Takes a frame that is in place into the model.
void learnFrame(ConfidenceModel& model, const FrameContrasts& frame);
// The confidence of a byte so judged: 0 ... 1, below suspectConfidence exactly where
// either part of the judgement lies below 1.
float confidenceOf(const FrameJudgement& judgement);
