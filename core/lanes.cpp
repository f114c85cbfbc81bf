#include "core/lanes.h"

#include "core/sine.h"
#include "core/sine_parts.h"

#ifdef HIBARION_AVX2
#include "core/lanes_avx2.h"
#endif
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

const double pi = 3.141592653589793;

// 128.5 - a * v truncated toward zero. A ratio setting can push the wave past what a
// byte holds; such samples are clipped, and one that is not a number rests at 128.
uint8_t sampleFor(double level)
{
    if (level != level) return 128;
    if (level < 0) return 0;
    if (level >= 255) return 255;
    return static_cast<uint8_t>(static_cast<int>(level));
}

// ---- One lane: the definitions ------------------------------------------------------

void portableSinesOne(const double* x, double* sines, size_t count)
{
    for (size_t k = 0; k < count; ++k) sines[k] = portableSine(x[k]);
}

void correlationsOne(const uint8_t* x, double level, double f, int period,
                     double* correlation1200, double* correlation2400)
{
    double sum1200 = 0.0, sum2400 = 0.0;
    for (int j = 0; j < period; ++j) {
        // (j + f) * pi * 4 / P is exactly twice (j + f) * pi * 2 / P: scaling by two
        // commutes with rounding, so one division serves both angles.
        double angle = (j + f) * pi * 2 / period;
        double deviation = x[j] - level;
        sum1200 = sum1200 - portableSine(angle) * deviation;
        sum2400 = sum2400 - portableSine(angle * 2) * deviation;
    }
    *correlation1200 = sum1200;
    *correlation2400 = sum2400;
}

int findCrossingsOne(const uint8_t* x, int64_t from, int64_t end, int level, int64_t* at,
                     int most, int64_t* next)
{
    int found = 0;
    int64_t i = from;
    for (; i < end && found < most; ++i)
        if (x[i - 1] > level && x[i] <= level) at[found++] = i;
    *next = i;
    return found;
}

void estimateSumsOne(const uint8_t* x, double level, int period, const double* const* tables,
                     double* sums)
{
    for (int k = 0; k < 5; ++k) sums[k] = 0;
    for (int j = 0; j < period; ++j) {
        double d = x[j] - level;
        for (int k = 0; k < 4; ++k) sums[k] += d * tables[k][j];
        sums[4] += d < 0 ? -d : d;
    }
}

void waveSamplesOne(const double* t, size_t count, double frequency, double amplitude,
                    uint8_t* samples)
{
    for (size_t k = 0; k < count; ++k)
        samples[k] = sampleFor(128.5 - amplitude * portableSine(t[k] * pi * frequency));
}


uint32_t estimatedSamplesOne(const double* cosines, const double* sines, size_t count, double a1,
                             double a2, double low, double high, uint8_t* samples)
{
    uint32_t undecided = 0;
    for (size_t k = 0; k < count; ++k) {
        double w = a1 * cosines[k] + a2 * sines[k];
        int byte = static_cast<int>(low - w);
        if (byte != static_cast<int>(high - w)) undecided |= 1u << (k / 16);
        samples[k] = static_cast<uint8_t>(byte < 0 ? 0 : byte > 255 ? 255 : byte);
    }
    return undecided;
}

#ifdef __SSE2__
// ---- Two lanes ----------------------------------------------------------------------

__m128d select(__m128d mask, __m128d whereSet, __m128d whereClear)
{
    return _mm_or_pd(_mm_and_pd(mask, whereSet), _mm_andnot_pd(mask, whereClear));
}

// portableSine step by step in both lanes: both kernels are evaluated and each lane
// keeps the one its quadrant asks for. Lanes outside the reduction range (or NaN) are
// computed one by one.
__m128d sineLanes(__m128d a)
{
    const __m128d signBit = _mm_set1_pd(-0.0);
    __m128d magnitude = _mm_andnot_pd(signBit, a);
    if (_mm_movemask_pd(_mm_cmplt_pd(magnitude, _mm_set1_pd(reductionLimit))) != 3)
        return _mm_set_pd(portableSine(_mm_cvtsd_f64(_mm_unpackhi_pd(a, a))),
                          portableSine(_mm_cvtsd_f64(a)));

    // scaled - 0.5 below zero, scaled + 0.5 otherwise: at -0 both truncate to 0.
    __m128d scaled = _mm_mul_pd(a, _mm_set1_pd(twoOverPi));
    __m128d half = _mm_or_pd(_mm_and_pd(signBit, scaled), _mm_set1_pd(0.5));
    __m128i quadrant = _mm_cvttpd_epi32(_mm_add_pd(scaled, half));
    __m128d n = _mm_cvtepi32_pd(quadrant);
    __m128d r = _mm_sub_pd(_mm_sub_pd(_mm_sub_pd(a, _mm_mul_pd(n, _mm_set1_pd(halfPi1))),
                                      _mm_mul_pd(n, _mm_set1_pd(halfPi2))),
                           _mm_mul_pd(n, _mm_set1_pd(halfPi3)));

    __m128d z = _mm_mul_pd(r, r);
    __m128d p = _mm_set1_pd(sineCoefficients[0]);
    __m128d q = _mm_set1_pd(cosineCoefficients[0]);
    for (int k = 1; k < sineTerms; ++k) {
        p = _mm_add_pd(_mm_set1_pd(sineCoefficients[k]), _mm_mul_pd(z, p));
        q = _mm_add_pd(_mm_set1_pd(cosineCoefficients[k]), _mm_mul_pd(z, q));
    }
    q = _mm_add_pd(_mm_set1_pd(cosineCoefficients[sineTerms]), _mm_mul_pd(z, q));
    __m128d sine = _mm_add_pd(r, _mm_mul_pd(_mm_mul_pd(r, z), p));
    __m128d cosine = _mm_add_pd(_mm_set1_pd(1.0), _mm_mul_pd(z, q));

    // Each lane's quadrant in both halves of its 64 bits: bit 0 picks the cosine, bit 1
    // moved to the top is the negation.
    __m128i lanes = _mm_unpacklo_epi32(quadrant, quadrant);
    __m128i one = _mm_set1_epi32(1);
    __m128d odd = _mm_castsi128_pd(_mm_cmpeq_epi32(_mm_and_si128(lanes, one), one));
    __m128d negate = _mm_and_pd(_mm_castsi128_pd(_mm_slli_epi64(lanes, 62)), signBit);
    return _mm_xor_pd(select(odd, cosine, sine), negate);
}

void portableSinesTwo(const double* x, double* sines, size_t count)
{
    size_t k = 0;
    for (; k + 2 <= count; k += 2) _mm_storeu_pd(sines + k, sineLanes(_mm_loadu_pd(x + k)));
    if (k < count) _mm_store_sd(sines + k, sineLanes(_mm_load_sd(x + k)));
}

void correlationsTwo(const uint8_t* x, double level, double f, int period,
                     double* correlation1200, double* correlation2400)
{
    double sum1200 = 0.0, sum2400 = 0.0;
    for (int j = 0; j < period; j += 2) {
        bool pair = period - j >= 2;
        __m128d js = _mm_set_pd(j + 1, j);
        __m128d angle = _mm_div_pd(
            _mm_mul_pd(_mm_mul_pd(_mm_add_pd(js, _mm_set1_pd(f)), _mm_set1_pd(pi)), _mm_set1_pd(2)),
            _mm_set1_pd(period));
        __m128d deviation =
            _mm_sub_pd(_mm_set_pd(pair ? x[j + 1] : 0, x[j]), _mm_set1_pd(level));
        __m128d terms1200 = _mm_mul_pd(sineLanes(angle), deviation);
        __m128d terms2400 = _mm_mul_pd(sineLanes(_mm_add_pd(angle, angle)), deviation);
        sum1200 = sum1200 - _mm_cvtsd_f64(terms1200);
        sum2400 = sum2400 - _mm_cvtsd_f64(terms2400);
        if (pair) {
            sum1200 = sum1200 - _mm_cvtsd_f64(_mm_unpackhi_pd(terms1200, terms1200));
            sum2400 = sum2400 - _mm_cvtsd_f64(_mm_unpackhi_pd(terms2400, terms2400));
        }
    }
    *correlation1200 = sum1200;
    *correlation2400 = sum2400;
}

// Sixteen samples at a time: x > level is max(x, level + 1) == x, x <= level is
// min(x, level) == x.
int findCrossingsSixteen(const uint8_t* x, int64_t from, int64_t end, int level, int64_t* at,
                         int most, int64_t* next)
{
    if (level > 254) return findCrossingsOne(x, from, end, level, at, most, next);
    const __m128i above = _mm_set1_epi8(static_cast<char>(level + 1));
    const __m128i atMost = _mm_set1_epi8(static_cast<char>(level));
    int found = 0;
    int64_t i = from;
    for (; end - i >= 16 && found < most; i += 16) {
        __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + i - 1));
        __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + i));
        __m128i wasAbove = _mm_cmpeq_epi8(_mm_max_epu8(before, above), before);
        __m128i isAtMost = _mm_cmpeq_epi8(_mm_min_epu8(here, atMost), here);
        unsigned crossings = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(wasAbove, isAtMost)));
        for (; crossings != 0; crossings &= crossings - 1) {
            at[found++] = i + __builtin_ctz(crossings);
            if (found == most) {
                *next = at[found - 1] + 1;
                return found;
            }
        }
    }
    int64_t rest;
    found += findCrossingsOne(x, i, end, level, at + found, most - found, &rest);
    *next = rest;
    return found;
}

void estimateSumsTwo(const uint8_t* x, double level, int period, const double* const* tables,
                     double* sums)
{
    __m128d total[5];
    for (int k = 0; k < 5; ++k) total[k] = _mm_setzero_pd();
    for (int j = 0; j < period; j += 2) {
        // A lane past the period weighs nothing: its table entries are zero.
        __m128d samples = _mm_set_pd(period - j >= 2 ? x[j + 1] : level, x[j]);
        __m128d d = _mm_sub_pd(samples, _mm_set1_pd(level));
        for (int k = 0; k < 4; ++k)
            total[k] = _mm_add_pd(total[k], _mm_mul_pd(d, _mm_loadu_pd(tables[k] + j)));
        total[4] = _mm_add_pd(total[4], _mm_andnot_pd(_mm_set1_pd(-0.0), d));
    }
    for (int k = 0; k < 5; ++k)
        sums[k] = _mm_cvtsd_f64(total[k]) + _mm_cvtsd_f64(_mm_unpackhi_pd(total[k], total[k]));
}

void waveSamplesTwo(const double* t, size_t count, double frequency, double amplitude,
                    uint8_t* samples)
{
    for (size_t k = 0; k < count; k += 2) {
        bool pair = count - k >= 2;
        __m128d times = pair ? _mm_loadu_pd(t + k) : _mm_load_sd(t + k);
        __m128d angle = _mm_mul_pd(_mm_mul_pd(times, _mm_set1_pd(pi)), _mm_set1_pd(frequency));
        __m128d level =
            _mm_sub_pd(_mm_set1_pd(128.5), _mm_mul_pd(_mm_set1_pd(amplitude), sineLanes(angle)));
        // Clipped as sampleFor clips, then truncated toward zero.
        level = select(_mm_cmplt_pd(level, _mm_setzero_pd()), _mm_setzero_pd(), level);
        level = select(_mm_cmpge_pd(level, _mm_set1_pd(255)), _mm_set1_pd(255), level);
        level = select(_mm_cmpunord_pd(level, level), _mm_set1_pd(128), level);
        __m128i words = _mm_packs_epi32(_mm_cvttpd_epi32(level), _mm_setzero_si128());
        int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, _mm_setzero_si128()));
        samples[k] = static_cast<uint8_t>(bytes);
        if (pair) samples[k + 1] = static_cast<uint8_t>(bytes >> 8);
    }
}

// Sixteen bytes at a time, four values in two registers at each step; the integers
// saturate to bytes as sampleFor clips.
uint32_t estimatedSamplesTwo(const double* cosines, const double* sines, size_t count, double a1,
                             double a2, double low, double high, uint8_t* samples)
{
    uint32_t undecided = 0;
    for (size_t from = 0; from < count; from += 16) {
        __m128i lows[4], same = _mm_set1_epi32(-1);
        for (int r = 0; r < 4; ++r) {
            __m128i pair[2][2];
            for (int h = 0; h < 2; ++h) {
                size_t k = from + 4 * r + 2 * h;
                __m128d w = _mm_add_pd(_mm_mul_pd(_mm_set1_pd(a1), _mm_loadu_pd(cosines + k)),
                                       _mm_mul_pd(_mm_set1_pd(a2), _mm_loadu_pd(sines + k)));
                pair[0][h] = _mm_cvttpd_epi32(_mm_sub_pd(_mm_set1_pd(low), w));
                pair[1][h] = _mm_cvttpd_epi32(_mm_sub_pd(_mm_set1_pd(high), w));
            }
            lows[r] = _mm_unpacklo_epi64(pair[0][0], pair[0][1]);
            __m128i highs = _mm_unpacklo_epi64(pair[1][0], pair[1][1]);
            same = _mm_and_si128(same, _mm_cmpeq_epi32(lows[r], highs));
        }
        if (_mm_movemask_epi8(same) != 0xFFFF) undecided |= 1u << (from / 16);
        __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(lows[0], lows[1]),
                                         _mm_packs_epi32(lows[2], lows[3]));
        if (count - from >= 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + from), bytes);
        } else {
            uint8_t last[16];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(last), bytes);
            for (size_t k = from; k < count; ++k) samples[k] = last[k - from];
        }
    }
    return undecided;
}
#endif

LaneWidth widestLanes()
{
#ifdef HIBARION_AVX2
    // Asked before main: the processor and the system both keep the 256-bit registers.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return FourLanes;
#endif
#ifdef __SSE2__
    return TwoLanes;
#else
    return OneLane;
#endif
}

// Each width's routines, indexed by LaneWidth; a width this build has no code for runs
// the next narrower one.
struct LaneRoutines {
    void (*portableSines)(const double*, double*, size_t);
    void (*correlations)(const uint8_t*, double, double, int, double*, double*);
    int (*findCrossings)(const uint8_t*, int64_t, int64_t, int, int64_t*, int, int64_t*);
    void (*estimateSums)(const uint8_t*, double, int, const double* const*, double*);
    void (*waveSamples)(const double*, size_t, double, double, uint8_t*);
    uint32_t (*estimatedSamples)(const double*, const double*, size_t, double, double, double,
                                 double, uint8_t*);
};

const LaneRoutines oneLane = {portableSinesOne, correlationsOne,  findCrossingsOne,
                              estimateSumsOne,  waveSamplesOne,   estimatedSamplesOne};
#ifdef __SSE2__
const LaneRoutines twoLanes = {portableSinesTwo, correlationsTwo, findCrossingsSixteen,
                               estimateSumsTwo,  waveSamplesTwo,  estimatedSamplesTwo};
#else
const LaneRoutines& twoLanes = oneLane;
#endif
#ifdef HIBARION_AVX2
const LaneRoutines fourLanes = {portableSinesAvx2, correlationsAvx2, findCrossingsSixteen,
                                estimateSumsAvx2,  waveSamplesAvx2,  estimatedSamplesAvx2};
#else
const LaneRoutines& fourLanes = twoLanes;
#endif
const LaneRoutines* const routinesOf[] = {&oneLane, &twoLanes, &fourLanes};

const LaneRoutines& routines() { return *routinesOf[laneWidth]; }

}  // namespace

LaneWidth laneWidth = widestLanes();

bool laneWidthRuns(LaneWidth width) { return width <= widestLanes(); }

void portableSines(const double* x, double* sines, size_t count)
{
    routines().portableSines(x, sines, count);
}

void correlations(const uint8_t* x, double level, double f, int period,
                  double* correlation1200, double* correlation2400)
{
    routines().correlations(x, level, f, period, correlation1200, correlation2400);
}

int findCrossings(const uint8_t* x, int64_t from, int64_t end, int level, int64_t* at,
                  int most, int64_t* next)
{
    return routines().findCrossings(x, from, end, level, at, most, next);
}

void estimateSums(const uint8_t* x, double level, int period, const double* const* tables,
                  double* sums)
{
    routines().estimateSums(x, level, period, tables, sums);
}

void waveSamples(const double* t, size_t count, double frequency, double amplitude,
                 uint8_t* samples)
{
    routines().waveSamples(t, count, frequency, amplitude, samples);
}

uint32_t estimatedSamples(const double* cosines, const double* sines, size_t count, double a1,
                          double a2, double low, double high, uint8_t* samples)
{
    return routines().estimatedSamples(cosines, sines, count, a1, a2, low, high, samples);
}
