#include "signal/robust_decoder.h"

#include <cmath>
#include <vector>

#include "signal/decoder_state.h"

// The working-rate samples pass through the tone detector into a ring of levels; the
// frame tracker reads the ring a few frames behind the newest sample. A byte is a start
// cell (low), eight data cells from the lowest bit, then three high cells; the tracker
// finds the first start after a run of high cells ("hunting"), then expects each next
// frame twelve cells on and searches only a quarter cell about that place ("locked"),
// following the tape's speed. Every decision compares how well the cells fit: a frame
// is a byte when its start cell is low, or when its data could not be high cells of a
// gap, or when the next frame starts where it should. Where the signal is lost, frames
// go on being counted while one starts in place within eight frames, so a dropout
// costs the bytes under it and never shifts the rest of the image; a longer loss is
// reported with the frames the clock would have counted through it, once frames
// clear in every cell are found again inside the data. Framing that fails where the
// tape sounds is a splice when frames follow from another place within half a frame.
namespace {

// Working samples whose levels enter the ring before the tracker runs: small beside
// what the ring holds beyond the tracker's reach.
const size_t levelsPiece = 256;

// The low tone's level over the high one's as the encoder writes it.
const double encoderRatio = 1.32;
const double largestSample = 1e6;  // samples beyond it are clipped there

// Runs the tracker as far as the levels at hand allow: a frame needs its own cells, the
// starts of the frames that may follow a dropout and the search's reach. Until the
// levels reach as far as the tracker waits for, it is not called again.
void track(DecoderState& d)
{
    const double produced = static_cast<double>(d.produced);
    double reach;
    for (;;) {
        if (d.locked) {
            reach = d.start + (frameCells * coastFrames + 1.5) * d.cell + 2;
            if (!d.finished && reach > produced) break;
            // At the end a frame whose data cells the recording does not hold is none.
            if (d.finished && d.start + firstStopEnds * d.cell > produced) {
                // A start cell that sounds there: the recording stops inside a byte.
                d.endsInside = d.start + firstBitEnds * d.cell <= produced && startsFrame(d, d.start, d.cell);
                d.locked = false;
                d.scan = d.produced;
                return;
            }
            trackFrame(d);
        } else {
            reach = static_cast<double>(d.scan) +
                    (frameCells * (framesCompared + 1) + 2) * longestCell * d.nominalCell + 2;
            if (d.scan >= d.produced) return;
            if (!d.finished && reach > produced) break;
            huntAt(d, d.scan);
            ++d.scan;
        }
    }
    d.waitUntil = reach > 0 ? static_cast<uint64_t>(std::ceil(reach)) : 0;
}

// The levels of the working samples enter the ring a piece at a time; the tracker
// goes on whenever they reach as far as it waits for.
void takeWorkingSamples(DecoderState& d, const double* samples, size_t count)
{
    for (size_t at = 0; at < count; at += levelsPiece) {
        size_t size = count - at < levelsPiece ? count - at : levelsPiece;
        detectTones(d.detector, samples + at, size, d.levels.data());
        for (size_t n = 0; n < size; ++n) d.ring[(d.produced + n) % ringSize] = d.levels[n];
        d.produced += size;
        if (d.produced >= d.waitUntil) track(d);
    }
}

// A sample that is no number counts as silence; an infinite one is clipped, so that
// no filter is ever poisoned.
double safeSample(double x)
{
    if (x != x) return 0.0;
    return x < 0 ? -largestSample : largestSample;
}

}  // namespace

RobustDecoder::RobustDecoder(double sampleRate) : state_(new DecoderState())
{
    DecoderState& d = *state_;
    d.sampleRate = sampleRate > 0 ? sampleRate : 1;
    setUpDecimator(d.decimator, d.sampleRate);
    double workingRate = d.sampleRate / d.decimator.factor;
    setUpToneDetector(d.detector, workingRate);
    d.nominalCell = workingRate / 1200.0;
    d.ring.assign(ringSize, ToneLevels{0.0f, 0.0f, 0.0f, 0.0f});
    d.levels.assign(levelsPiece, ToneLevels{0.0f, 0.0f, 0.0f, 0.0f});
    d.produced = 0;
    d.waitUntil = 0;
    d.finished = false;
    d.locked = false;
    d.start = 0;
    d.cell = d.nominalCell;
    d.scan = 0;
    d.lockLostAt = -1e300;
    d.ratio = encoderRatio;
    d.highLevel = d.lowLevel = 0.0;
    d.channel = Channel{{0.0, 0.0, 0.0, 0.0}, {{0.0, 0.0, 0.0, 0.0}, {0.0, 0.0, 0.0, 0.0}}};
    d.equalised = false;
    d.tilt = encoderRatio;
    d.discriminant = d.after[0] = d.after[1] = Discriminant{0.0, 0.0, 0.0};
    d.runFrom = d.runTo = d.toneTo = -1;
    d.missedFrames = 0;
    d.foundInData = d.lockedAfterTone = false;
    d.framesToPullIn = 0;
    d.lockFirstByte = 0;
    d.runLength = 0;
    d.everLocked = d.startsInside = d.endsInside = false;
    d.lossPending = false;
    d.lostAt = d.heardTo = 0;
    d.lostCell = d.nominalCell;
    d.backAt = -1;
    setEnergyLevel(d, 0.0);
    startConfidenceModel(d.confidence);
    d.openingJudged = false;
}

RobustDecoder::~RobustDecoder() = default;

void RobustDecoder::feed(const float* samples, size_t count)
{
    DecoderState& d = *state_;
    if (d.finished) return;
    for (size_t at = 0; at < count; at += decimatorPiece) {
        size_t size = count - at < decimatorPiece ? count - at : decimatorPiece;
        d.inputs.resize(size);
        for (size_t k = 0; k < size; ++k) {
            double x = samples[at + k];
            d.inputs[k] = std::fabs(x) <= largestSample ? x : safeSample(x);
        }
        d.working.clear();
        decimate(d.decimator, d.inputs.data(), size, d.working);
        takeWorkingSamples(d, d.working.data(), d.working.size());
    }
}

void RobustDecoder::finish()
{
    DecoderState& d = *state_;
    if (d.finished) return;
    // The decimator's filter holds the last inputs back by its delay: silence after
    // them brings them out.
    const std::vector<float> silence(static_cast<size_t>(d.decimator.delay) + d.decimator.factor, 0.0f);
    feed(silence.data(), silence.size());
    d.finished = true;
    track(d);
    // The signal came back but no frames followed before the end.
    if (d.lossPending && d.backAt >= 0) endLoss(d, d.heardTo, d.heardTo, false);
    if (!d.openingJudged) judgeOpeningAgain(d);
}

const std::vector<uint8_t>& RobustDecoder::bytes() const { return state_->bytes; }

const std::vector<SuspectRange>& RobustDecoder::suspects() const { return state_->suspects; }

const std::vector<float>& RobustDecoder::confidences() const { return state_->confidences; }

const std::vector<double>& RobustDecoder::byteSeconds() const { return state_->byteSeconds; }

const std::vector<SignalLoss>& RobustDecoder::losses() const { return state_->losses; }

bool RobustDecoder::startsInsideData() const { return state_->startsInside; }

bool RobustDecoder::endsInsideData() const { return state_->endsInside; }
