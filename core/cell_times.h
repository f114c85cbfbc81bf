#pragma once
#include <cstddef>

// The sample times of a bit cell, each the one before plus `step` (t = t + step, rounded
// as every addition is), from t while t < end: up to `most` of them go into `times`, and
// t becomes the first time not written. Returns how many were written.
size_t nextCellTimes(double& t, double end, double step, double* times, size_t most);
