#include "core/cell_times.h"

#include <cmath>
#include <cstdint>
#include <cstring>

// Why a run of additions has a closed form. Let t lie in [2^k, 2^(k+1)), where the
// doubles are the multiples of u = 2^(k-52), 2^(k+1) included. While t + step stays
// below 2^(k+1), t + step rounds to the multiple of u nearest to it, and as t is one,
// that is t + D with D = step rounded to a multiple of u; only when step / u lies
// exactly halfway between two integers does the tie go to the even neighbour, which
// depends on t. Away from ties, then, the additions from t give t + n * D exactly for
// as long as each t + n * D + step < 2^(k+1). In units of u: T = t / u, an integer in
// [2^52, 2^53), and s = step / u; T + n * m + s < 2^53 holds exactly when
// T + n * m <= 2^53 - floor(s) - 1, with m = D / u. Every quantity here is an integer
// below 2^53 or an exact scaling by a power of two, so nothing below is rounded except
// the quotients, which are corrected. Binades with fewer than eight steps, or more
// than 2^49, and those with a tie go by plain additions.
namespace {

// What the additions of `step` do to a time in one binade, by its exponent field.
struct Binade {
    double step;  // the step this entry was worked out for
    bool closed;  // the closed form holds
    double scale, m, inverse, d, stepLimit;  // 1 / u, D / u, 1 / m, D, 2^53 - floor(s) - 1
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
    if (exponent <= 100 || exponent >= 2000) return binade;
    binade.scale = fromBits(uint64_t(2098 - exponent) << 52);
    double s = step * binade.scale;
    if (!(s > 7.5 && s < 0x1p49)) return binade;
    double whole = wholePart(s);
    if (s - whole == 0.5) return binade;
    binade.closed = true;
    binade.m = s - whole < 0.5 ? whole : whole + 1;
    binade.inverse = 1 / binade.m;
    binade.d = binade.m * fromBits(uint64_t(exponent - 52) << 52);
    binade.stepLimit = 0x1p53 - whole - 1;
    return binade;
}

// floor(x / m) for integers 0 <= x <= 2^52 and 8 <= m <= 2^49: the quotient by the
// rounded reciprocal is within 2^50 * 2^-52 of x / m, so its integer part is at most one
// off, and the remainder, computed exactly, shows which way.
double wholeQuotient(double x, const Binade& binade)
{
    double q = wholePart(x * binade.inverse);
    double r = x - q * binade.m;
    return r < 0 ? q - 1 : r >= binade.m ? q + 1 : q;
}

}  // namespace

size_t nextCellTimes(double& time, double end, double step, double* times, size_t most)
{
    double t = time;
    size_t n = 0;
    while (n < most && t < end) {
        uint64_t bits;
        std::memcpy(&bits, &t, sizeof bits);
        // Negative times, whose sign bit lands here, go by plain additions.
        const Binade* binade = bits >> 63 ? nullptr : &binadeFor(static_cast<int>(bits >> 52), step);
        if (!binade || !binade->closed) {
            times[n++] = t;
            t = t + step;
            continue;
        }
        double first = t * binade->scale;
        // t + j * D is exact for j up to `exact`; the times below `end` are j < `below`.
        double exact =
            first > binade->stepLimit ? 0 : wholeQuotient(binade->stepLimit - first, *binade) + 1;
        double ends = end * binade->scale;
        double below = 0x1p60;
        if (ends <= 0x1p53) {
            double ceiling = wholePart(ends);
            if (ceiling < ends) ceiling = ceiling + 1;
            below = wholeQuotient(ceiling - 1 - first, *binade) + 1;
        }
        double count = exact + 1 < below ? exact + 1 : below;
        if (count > static_cast<double>(most - n)) count = static_cast<double>(most - n);
        size_t length = static_cast<size_t>(count);
        const double d = binade->d;
        double* run = times + n;
        for (size_t j = 0; j < length; ++j) run[j] = t + static_cast<double>(static_cast<int>(j)) * d;
        n += length;
        t = count <= exact ? t + count * d : (t + exact * d) + step;
    }
    time = t;
    return n;
}
