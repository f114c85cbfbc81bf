#include "core/sine.h"

#include <cmath>

namespace {

// pi/2 split into pieces whose products with a quadrant number below 2^20 are exact, so
// that the reduced argument keeps its precision (Cody and Waite's method).
const double twoOverPi = 6.36619772367581382433e-01;
const double halfPi1 = 1.57079632673412561417e+00;  // first 33 bits of pi/2
const double halfPi2 = 6.07710050630396597660e-11;  // next 33 bits
const double halfPi3 = 2.02226624879595063154e-21;  // the rest
const double reductionLimit = 823549.0;             // about 2^19 * pi/2

// Taylor series on [-pi/4, pi/4]; the first omitted terms lie below 1e-19.
double sineKernel(double r)
{
    double z = r * r;
    double p = 1.0 / 355687428096000.0;
    p = -1.0 / 1307674368000.0 + z * p;
    p = 1.0 / 6227020800.0 + z * p;
    p = -1.0 / 39916800.0 + z * p;
    p = 1.0 / 362880.0 + z * p;
    p = -1.0 / 5040.0 + z * p;
    p = 1.0 / 120.0 + z * p;
    p = -1.0 / 6.0 + z * p;
    return r + r * z * p;
}

double cosineKernel(double r)
{
    double z = r * r;
    double p = -1.0 / 6402373705728000.0;
    p = 1.0 / 20922789888000.0 + z * p;
    p = -1.0 / 87178291200.0 + z * p;
    p = 1.0 / 479001600.0 + z * p;
    p = -1.0 / 3628800.0 + z * p;
    p = 1.0 / 40320.0 + z * p;
    p = -1.0 / 720.0 + z * p;
    p = 1.0 / 24.0 + z * p;
    p = -0.5 + z * p;
    return 1.0 + z * p;
}

}  // namespace

double portableSine(double x)
{
    // Arguments this large never arise from sensible settings (they mean bit cells of
    // several minutes); they and NaN go to the runtime.
    if (!(std::fabs(x) < reductionLimit)) return std::sin(x);

    double scaled = x * twoOverPi;
    int quadrant = static_cast<int>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
    double n = quadrant;
    double r = ((x - n * halfPi1) - n * halfPi2) - n * halfPi3;

    switch (quadrant & 3) {
    case 0: return sineKernel(r);
    case 1: return cosineKernel(r);
    case 2: return -sineKernel(r);
    default: return -cosineKernel(r);
    }
}
