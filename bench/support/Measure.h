#pragma once

#include <vector>

// What the benchmarks measure the same way.
namespace bench {

struct Stats
{
    double median = 0;
    double p99 = 0;
};

// Median and 99th percentile of samples (at least one).
Stats stats(std::vector<double> samples);
// Resident memory of this process (VmRSS), -1 if unknown.
long residentKiB();

} // namespace bench
