#include "core/cell_times.h"

#include <cstdint>
#include <cstring>

// Why a run of additions has a closed form. Let t lie in [2^k, 2^(k+1)), where the
// doubles are the multiples of u = 2^(k-52), 2^(k+1) included. While t + step stays
// below 2^(k+1), t + step rounds to the multiple of u nearest to it, and as t is one,
// that is t + D with D = step rounded to a multiple of u; only when step / u lies
// exactly halfway between two integers does the tie go to the even neighbour, which
// depends on t. Away from ties, then, the additions from t give t + n * D exactly for
// as long as each t + n * D + step < 2^(k+1). In units of u, with s = step / u and
// m = D / u: T + n * m + s < 2^53 holds for the integer T + n * m exactly when
// T + n * m <= 2^53 - floor(s) - 1, that is when t + n * D <= top = 2^(k+1) -
// (floor(s) + 1) * u. All these values are multiples of u below 2^(k+1), so their sums
// and differences here are exact; only the quotients are rounded, and corrected.
// Binades with a tie, with fewer than eight steps (where plain additions are as quick)
// or more than 2^30 go by plain additions.
namespace {

// What the additions of `step` do to a time in one binade, by its exponent field.
struct Binade {
    double step;        // the step this entry was worked out for
    bool closed;        // the closed form holds
    double plainUntil;  // otherwise plain additions go on up to here
    double unit, d, inverse, top, binadeEnd;  // u, D, 1 / D rounded, top, 2^(k+1)
};

Binade binades[2048];

double fromBits(uint64_t bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The integer part of 0 <= x < 2^53.
double wholePart(double x) { return static_cast<double>(static_cast<int64_t>(x)); }

const Binade& binadeFor(int exponent, double step)
{
    Binade& binade = binades[exponent];
    if (binade.step == step) return binade;
    binade.step = step;
    binade.closed = false;
    binade.plainUntil = fromBits(uint64_t(exponent + 1) << 52);  // 2^(k+1), or infinity
    if (exponent <= 100 || exponent >= 2000) return binade;
    double s = step * fromBits(uint64_t(2098 - exponent) << 52);  // step / u
    // A binade too short for the closed form: so are the ones above it while s / 2^j
    // stays at 2^49 or more.
    for (double above = s / 2; above >= 0x1p49 && binade.plainUntil < 0x1p1000; above /= 2)
        binade.plainUntil = binade.plainUntil * 2;
    if (!(s > 0x1p22 && s < 0x1p49)) return binade;
    double whole = wholePart(s);
    if (s - whole == 0.5) return binade;
    binade.closed = true;
    binade.unit = fromBits(uint64_t(exponent - 52) << 52);
    binade.d = (s - whole < 0.5 ? whole : whole + 1) * binade.unit;
    binade.inverse = 1 / binade.d;
    binade.binadeEnd = fromBits(uint64_t(exponent + 1) << 52);
    binade.top = binade.binadeEnd - (whole + 1) * binade.unit;
    return binade;
}

// floor(x / D) for a multiple x of u, 0 <= x < 2^k: the quotient by the rounded
// reciprocal is within 2^30 * 2^-52 of x / D, so its integer part is at most one off,
// and the remainder, exact, shows which way.
double wholeQuotient(double x, const Binade& binade)
{
    double q = wholePart(x * binade.inverse);
    double r = x - q * binade.d;
    return r < 0 ? q - 1 : r >= binade.d ? q + 1 : q;
}

}  // namespace

size_t nextCellTimes(double& time, double end, double step, double* times, size_t most)
{
    double t = time;
    size_t n = 0;
    // The exponent field of t where already known: a closed run ends in the binade above
    // its own, as t + step there lies in [2^(k+1), 2^(k+1) + step) and step < 2^(k-3).
    int known = -1;
    while (n < most && t < end) {
        int exponent = known;
        if (exponent < 0) {
            uint64_t bits;
            std::memcpy(&bits, &t, sizeof bits);
            if (bits >> 63) {  // a negative time
                if (times) times[n] = t;
                ++n;
                t = t + step;
                continue;
            }
            exponent = static_cast<int>(bits >> 52);
        }
        known = -1;
        const Binade& binade = binadeFor(exponent, step);
        if (!binade.closed) {
            do {
                if (times) times[n] = t;
                ++n;
                t = t + step;
            } while (n < most && t < end && t < binade.plainUntil);
            continue;
        }
        if (t > binade.top) {
            if (times) times[n] = t;
            ++n;
            t = t + step;
            continue;
        }
        const double d = binade.d;
        // t + j * D is exact for j up to `exact`; the times below `end` are j < `below`
        // (every exact one when end lies past the binade).
        double whole = wholeQuotient(binade.top - t, binade);
        double exact = whole + 1;
        double below = end <= binade.binadeEnd ? wholeQuotient(end - t - binade.unit, binade) + 1
                                               : 0x1p60;
        double count = exact + 1 < below ? exact + 1 : below;
        if (count > static_cast<double>(most - n)) count = static_cast<double>(most - n);
        size_t length = static_cast<size_t>(count);
        if (times)
            for (size_t j = 0; j < length; ++j)
                times[n + j] = t + static_cast<double>(static_cast<int>(j)) * d;
        n += length;
        if (count <= exact) {
            t = t + count * d;
        } else {
            t = ((t + d) + whole * d) + step;
            known = exponent + 1;
        }
    }
    time = t;
    return n;
}
