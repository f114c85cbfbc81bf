#pragma once
// The second-order sections of the robust decoder's filters.

// One section, direct form I: its coefficients, then its last two inputs and outputs.
struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1, x2, y1, y2;
};

// The Q of the two sections of a fourth-order Butterworth filter.
const double butterworthQ[2] = {0.5411961001461970, 1.3065629648763766};

// A Butterworth section by the bilinear transform, as a high-pass or a low-pass at
// `cutoff` Hz, at rest.
Biquad butterworthSection(double cutoff, double sampleRate, double q, bool highPass);
