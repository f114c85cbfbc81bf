#pragma once
// The memory benchmarks run each step in a fresh process of its own (the benchmark
// started again with a task), so that nothing the step does not need is resident.
#include <chrono>
#include <string>
#include <vector>

// Runs this program with `arguments` and waits for it; the child's peak resident set
// in KiB as the kernel accounts it, or -1 when it failed.
long runTask(const std::vector<std::string>& arguments);

// This process's peak resident set in KiB, from /proc/self/status.
long peakResidentKiB();

double secondsSince(std::chrono::steady_clock::time_point start);
