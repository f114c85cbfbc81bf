#pragma once

// The sine that both conversions use. The platforms' own sin differ in their last bits
// (the i686 Windows runtime computes it on the x87 unit), and a last bit can move a
// written sample or a decoded decision; this one is plain double arithmetic, so every
// build of the program gives the same bytes.
double portableSine(double x);
// The cosine, as the sine a quarter turn on.
inline double portableCosine(double x) { return portableSine(x + 3.141592653589793 / 2); }
