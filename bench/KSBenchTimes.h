#pragma once

#include <algorithm>
#include <vector>

// The mean and the worst of a run of timed steps, in milliseconds.
struct KSBenchTimes
{
    double meanMs = 0;
    double maxMs = 0;

    [[nodiscard]] static KSBenchTimes of(const std::vector<double> &times)
    {
        KSBenchTimes figures;
        for (double t : times)
            figures.meanMs += t / double(times.size());
        figures.maxMs = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
        return figures;
    }
};
