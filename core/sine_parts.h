#pragma once
// The pieces of portableSine, shared by the one-at-a-time sine and the vector lanes
// (core/lanes.h), so that every path computes each sine with the same constants in the
// same order.

// pi/2 split into pieces whose products with a quadrant number below 2^20 are exact, so
// that the reduced argument keeps its precision (Cody and Waite's method).
constexpr double twoOverPi = 6.36619772367581382433e-01;
constexpr double halfPi1 = 1.57079632673412561417e+00;  // first 33 bits of pi/2
constexpr double halfPi2 = 6.07710050630396597660e-11;  // next 33 bits
constexpr double halfPi3 = 2.02226624879595063154e-21;  // the rest
constexpr double reductionLimit = 823549.0;             // about 2^19 * pi/2

// Taylor series on [-pi/4, pi/4], highest order first, each kernel evaluated as
// p = c[0]; p = c[k] + z * p for the rest; the first omitted terms lie below 1e-19.
// sin r = r + r * z * p, cos r = 1 + z * p, with z = r * r.
constexpr int sineTerms = 8;
constexpr double sineCoefficients[sineTerms] = {
    1.0 / 355687428096000.0, -1.0 / 1307674368000.0, 1.0 / 6227020800.0, -1.0 / 39916800.0,
    1.0 / 362880.0,          -1.0 / 5040.0,          1.0 / 120.0,        -1.0 / 6.0};
constexpr int cosineTerms = 9;
constexpr double cosineCoefficients[cosineTerms] = {
    -1.0 / 6402373705728000.0, 1.0 / 20922789888000.0, -1.0 / 87178291200.0,
    1.0 / 479001600.0,         -1.0 / 3628800.0,       1.0 / 40320.0,
    -1.0 / 720.0,              1.0 / 24.0,             -0.5};
