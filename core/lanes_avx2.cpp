// Four values at a time in the 256-bit registers. This file alone is compiled with
// -mavx2 (never -mfma: a fused multiply-add rounds once where the scalar code rounds
// twice) and runs only after the processor was asked, so it uses no inline function or
// template from a header, whose AVX copy the linker could pick for the whole program.
// Loads and stores are all unaligned: a Windows stack is not aligned for 256 bits.
#include "core/lanes_avx2.h"

#include <cstring>
#include <immintrin.h>

#include "core/sine.h"
#include "core/sine_parts.h"

namespace {

const double pi = 3.141592653589793;
// Values whose sines are computed together; a multiple of four, so that the arrays of
// a chunk end with a whole group of four lanes.
const int chunk = 64;
// Values in the registers of one sineLanes<3>.
const int group = 12;

inline bool allInRange(__m256d a)
{
    __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), a);
    __m256d below = _mm256_cmp_pd(magnitude, _mm256_set1_pd(reductionLimit), _CMP_LT_OQ);
    return _mm256_movemask_pd(below) == 15;
}

// portableSine step by step in every lane of `groups` registers at once, their steps
// interleaved so that the chains of multiplications overlap: both kernels are evaluated
// and each lane keeps the one its quadrant asks for. A register with a lane outside the
// reduction range (or NaN) is computed one lane at a time.
template <int groups>
inline void sineLanes(const double* x, double* sines)
{
    const __m256d signBit = _mm256_set1_pd(-0.0);
    __m256d a[groups], r[groups], z[groups], p[groups], q[groups];
    __m128i quadrant[groups];
    bool inRange = true;
    for (int g = 0; g < groups; ++g) {
        a[g] = _mm256_loadu_pd(x + 4 * g);
        inRange = inRange && allInRange(a[g]);
    }
    if (!inRange) {
        for (int k = 0; k < 4 * groups; ++k) sines[k] = portableSine(x[k]);
        return;
    }
    for (int g = 0; g < groups; ++g) {
        // scaled - 0.5 below zero, scaled + 0.5 otherwise: at -0 both truncate to 0.
        __m256d scaled = _mm256_mul_pd(a[g], _mm256_set1_pd(twoOverPi));
        __m256d half = _mm256_or_pd(_mm256_and_pd(signBit, scaled), _mm256_set1_pd(0.5));
        quadrant[g] = _mm256_cvttpd_epi32(_mm256_add_pd(scaled, half));
        __m256d n = _mm256_cvtepi32_pd(quadrant[g]);
        r[g] = _mm256_sub_pd(
            _mm256_sub_pd(_mm256_sub_pd(a[g], _mm256_mul_pd(n, _mm256_set1_pd(halfPi1))),
                          _mm256_mul_pd(n, _mm256_set1_pd(halfPi2))),
            _mm256_mul_pd(n, _mm256_set1_pd(halfPi3)));
        z[g] = _mm256_mul_pd(r[g], r[g]);
        p[g] = _mm256_set1_pd(sineCoefficients[0]);
        q[g] = _mm256_set1_pd(cosineCoefficients[0]);
    }
    for (int k = 1; k < sineTerms; ++k) {
        __m256d sineTerm = _mm256_set1_pd(sineCoefficients[k]);
        __m256d cosineTerm = _mm256_set1_pd(cosineCoefficients[k]);
        for (int g = 0; g < groups; ++g) {
            p[g] = _mm256_add_pd(sineTerm, _mm256_mul_pd(z[g], p[g]));
            q[g] = _mm256_add_pd(cosineTerm, _mm256_mul_pd(z[g], q[g]));
        }
    }
    for (int g = 0; g < groups; ++g) {
        q[g] = _mm256_add_pd(_mm256_set1_pd(cosineCoefficients[sineTerms]),
                             _mm256_mul_pd(z[g], q[g]));
        __m256d sine = _mm256_add_pd(r[g], _mm256_mul_pd(_mm256_mul_pd(r[g], z[g]), p[g]));
        __m256d cosine = _mm256_add_pd(_mm256_set1_pd(1.0), _mm256_mul_pd(z[g], q[g]));
        // Bit 0 of the quadrant, moved to the top of its lane, picks the cosine; bit 1
        // there is the negation.
        __m256i lanes = _mm256_cvtepi32_epi64(quadrant[g]);
        __m256d odd = _mm256_castsi256_pd(_mm256_slli_epi64(lanes, 63));
        __m256d negate =
            _mm256_and_pd(_mm256_castsi256_pd(_mm256_slli_epi64(lanes, 62)), signBit);
        _mm256_storeu_pd(sines + 4 * g,
                         _mm256_xor_pd(_mm256_blendv_pd(sine, cosine, odd), negate));
    }
}

}  // namespace

// Twelve at a time, then four; the last few go through a padded group of four.
void portableSinesAvx2(const double* x, double* sines, size_t count)
{
    size_t k = 0;
    for (; k + group <= count; k += group) sineLanes<3>(x + k, sines + k);
    for (; k + 4 <= count; k += 4) sineLanes<1>(x + k, sines + k);
    if (k < count) {
        double padded[4] = {0, 0, 0, 0}, paddedSines[4];
        for (size_t j = k; j < count; ++j) padded[j - k] = x[j];
        sineLanes<1>(padded, paddedSines);
        for (size_t j = k; j < count; ++j) sines[j] = paddedSines[j - k];
    }
}

void correlationsAvx2(const uint8_t* x, double level, double f, int period,
                      double* correlation1200, double* correlation2400)
{
    const __m256d steps = _mm256_set_pd(3, 2, 1, 0);
    // The angles of a chunk, then the same doubled, then zeros up to a whole group;
    // their sines in one pass.
    double angles[2 * chunk + group], sines[2 * chunk + group];
    double sum1200 = 0.0, sum2400 = 0.0;
    for (int first = 0; first < period; first += chunk) {
        int length = period - first < chunk ? period - first : chunk;
        for (int k = 0; k < length; k += 4) {
            __m256d js = _mm256_add_pd(_mm256_set1_pd(first + k), steps);
            __m256d angle = _mm256_div_pd(
                _mm256_mul_pd(_mm256_mul_pd(_mm256_add_pd(js, _mm256_set1_pd(f)),
                                            _mm256_set1_pd(pi)),
                              _mm256_set1_pd(2)),
                _mm256_set1_pd(period));
            _mm256_storeu_pd(angles + k, angle);
        }
        for (int k = 0; k < length; ++k) angles[length + k] = angles[k] * 2;
        for (int k = 2 * length; k % group != 0; ++k) angles[k] = 0;
        for (int k = 0; k < 2 * length; k += group) sineLanes<3>(angles + k, sines + k);
        for (int k = 0; k < length; ++k) {
            double deviation = x[first + k] - level;
            sum1200 = sum1200 - sines[k] * deviation;
            sum2400 = sum2400 - sines[length + k] * deviation;
        }
    }
    *correlation1200 = sum1200;
    *correlation2400 = sum2400;
}

void estimateSumsAvx2(const uint8_t* x, double level, int period, const double* const* tables,
                      double* sums)
{
    __m256d total[5];
    for (int k = 0; k < 5; ++k) total[k] = _mm256_setzero_pd();
    for (int j = 0; j < period; j += 4) {
        int lanes = period - j < 4 ? period - j : 4;
        int bytes = 0;
        if (lanes == 4)
            std::memcpy(&bytes, x + j, 4);
        else
            for (int b = 0; b < lanes; ++b) bytes |= x[j + b] << (8 * b);
        __m256d samples = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes)));
        __m256d d = _mm256_sub_pd(samples, _mm256_set1_pd(level));
        // Lanes past the period weigh nothing: their table entries are zero, and their
        // deviations are cleared here.
        if (lanes < 4) {
            __m256i inPeriod =
                _mm256_cmpgt_epi64(_mm256_set1_epi64x(lanes), _mm256_set_epi64x(3, 2, 1, 0));
            d = _mm256_and_pd(d, _mm256_castsi256_pd(inPeriod));
        }
        for (int k = 0; k < 4; ++k)
            total[k] = _mm256_add_pd(total[k], _mm256_mul_pd(d, _mm256_loadu_pd(tables[k] + j)));
        total[4] = _mm256_add_pd(total[4], _mm256_andnot_pd(_mm256_set1_pd(-0.0), d));
    }
    for (int k = 0; k < 5; ++k) {
        double lane[4];
        _mm256_storeu_pd(lane, total[k]);
        sums[k] = (lane[0] + lane[1]) + (lane[2] + lane[3]);
    }
}

void waveSamplesAvx2(const double* t, size_t count, double frequency, double amplitude,
                     uint8_t* samples)
{
    double angles[chunk], sines[chunk];
    for (size_t start = 0; start < count; start += chunk) {
        size_t length = count - start < chunk ? count - start : chunk;
        size_t k = 0;
        for (; k + 4 <= length; k += 4)
            _mm256_storeu_pd(angles + k, _mm256_mul_pd(_mm256_mul_pd(_mm256_loadu_pd(t + start + k),
                                                                     _mm256_set1_pd(pi)),
                                                       _mm256_set1_pd(frequency)));
        for (; k < length; ++k) angles[k] = t[start + k] * pi * frequency;
        portableSinesAvx2(angles, sines, length);
        for (size_t k = length; k % 4 != 0; ++k) sines[k] = 0;
        for (size_t k = 0; k < length; k += 4) {
            __m256d level = _mm256_sub_pd(
                _mm256_set1_pd(128.5),
                _mm256_mul_pd(_mm256_set1_pd(amplitude), _mm256_loadu_pd(sines + k)));
            // Clipped as sampleFor clips, then truncated toward zero.
            level = _mm256_blendv_pd(level, _mm256_setzero_pd(),
                                     _mm256_cmp_pd(level, _mm256_setzero_pd(), _CMP_LT_OQ));
            level = _mm256_blendv_pd(level, _mm256_set1_pd(255),
                                     _mm256_cmp_pd(level, _mm256_set1_pd(255), _CMP_GE_OQ));
            level = _mm256_blendv_pd(level, _mm256_set1_pd(128),
                                     _mm256_cmp_pd(level, level, _CMP_UNORD_Q));
            __m128i words = _mm_packus_epi32(_mm256_cvttpd_epi32(level), _mm_setzero_si128());
            int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, _mm_setzero_si128()));
            if (length - k >= 4)
                std::memcpy(samples + start + k, &bytes, 4);
            else
                for (size_t b = 0; b < length - k; ++b)
                    samples[start + k + b] = static_cast<uint8_t>(bytes >> (8 * b));
        }
    }
}

uint32_t estimatedSamplesAvx2(const double* cosines, const double* sines, size_t count,
                              double a1, double a2, double low, double high, uint8_t* samples)
{
    uint32_t undecided = 0;
    for (size_t from = 0; from < count; from += 16) {
        __m128i lows[4], same = _mm_set1_epi32(-1);
        for (int r = 0; r < 4; ++r) {
            size_t k = from + 4 * r;
            __m256d w =
                _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(a1), _mm256_loadu_pd(cosines + k)),
                              _mm256_mul_pd(_mm256_set1_pd(a2), _mm256_loadu_pd(sines + k)));
            lows[r] = _mm256_cvttpd_epi32(_mm256_sub_pd(_mm256_set1_pd(low), w));
            __m128i highs = _mm256_cvttpd_epi32(_mm256_sub_pd(_mm256_set1_pd(high), w));
            same = _mm_and_si128(same, _mm_cmpeq_epi32(lows[r], highs));
        }
        if (_mm_movemask_epi8(same) != 0xFFFF) undecided |= 1u << (from / 16);
        // The integers saturate to bytes as sampleFor clips.
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
