#include "signal/decoder_state.h"

#include <algorithm>
#include <cmath>

// Bytes judged a second time once the decoder knows more: the opening's, by the
// confidence model that has heard more of the recording, and the byte of a lock that
// held for its frame alone; and the suspect ranges such judgements draw.
namespace {

// A level ratio (or a tilt) within this share of the one the decoder holds now reads
// contrasts alike.
const double settledScale = 0.05;

}  // namespace

void markSuspect(DecoderState& d, uint32_t index, double seconds, SuspectReason reason)
{
    if (!d.suspects.empty() && d.suspects.back().lastByte + 1 == index) {
        d.suspects.back().lastByte = index;
        return;
    }
    d.suspects.push_back(SuspectRange{index, index, seconds, reason});
}

// The last byte came from a lock that held for its frame alone: it is suspect, and what
// the lock taught is undone, or hiss taken for the low tone would set the levels by
// which the tape's own frames are sought.
void doubtLoneFrame(DecoderState& d)
{
    static_cast<Learnt&>(d) = d.beforeLock;
    const uint32_t index = static_cast<uint32_t>(d.bytes.size() - 1);
    if (d.confidences[index] < suspectConfidence) return;
    d.confidences[index] = std::min(d.confidences[index], placedConfidence);
    if (!d.opening.empty() && d.opening.back().index == index) d.opening.pop_back();
    markSuspect(d, index, d.byteSeconds[index], SuspectReason::Framing);
}

// The opening's bytes were judged by a model that had heard little of the recording:
// those the model alone judged are judged again by what it has learnt since, unless
// their contrasts were read otherwise than the decoder reads cells now (the level ratio
// or the templates moved on since), and the suspect ranges so far are drawn anew.
void judgeOpeningAgain(DecoderState& d)
{
    d.openingJudged = true;
    std::vector<bool> doubted(d.bytes.size(), false);
    std::vector<SuspectReason> reasons(d.bytes.size());
    for (const SuspectRange& range : d.suspects)
        for (uint32_t k = range.firstByte; k <= range.lastByte && k < reasons.size(); ++k) {
            doubted[k] = true;
            reasons[k] = range.reason;
        }
    for (const OpeningFrame& opening : d.opening) {
        if (opening.equalised != d.equalised || std::fabs(opening.scale / readingScale(d) - 1) > settledScale)
            continue;
        FrameJudgement judgement = judgeFrame(d.confidence, opening.frame);
        float confidence = confidenceOf(judgement);
        d.confidences[opening.index] = confidence;
        doubted[opening.index] = confidence < suspectConfidence;
        reasons[opening.index] = judgement.framing < judgement.bits ? SuspectReason::Framing : SuspectReason::WeakBit;
    }
    d.opening.clear();
    d.suspects.clear();
    for (uint32_t k = 0; k < reasons.size(); ++k)
        if (doubted[k]) markSuspect(d, k, d.byteSeconds[k], reasons[k]);
}
