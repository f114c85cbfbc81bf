#include "core/sine.h"

#include <cmath>

#include "core/sine_parts.h"

namespace {

double sineKernel(double r)
{
    double z = r * r;
    double p = sineCoefficients[0];
    for (int k = 1; k < sineTerms; ++k) p = sineCoefficients[k] + z * p;
    return r + r * z * p;
}

double cosineKernel(double r)
{
    double z = r * r;
    double p = cosineCoefficients[0];
    for (int k = 1; k < cosineTerms; ++k) p = cosineCoefficients[k] + z * p;
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
