#pragma once

// Wall clock and CPU time of a piece of work.

#include <chrono>
#include <ctime>

struct KSBenchTiming
{
    double wall = 0; // seconds
    double cpu = 0; // seconds, all threads together
};

template<typename Work>
KSBenchTiming benchTimed(Work &&work)
{
    const std::clock_t cpu = std::clock();
    const auto start = std::chrono::steady_clock::now();
    work();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            double(std::clock() - cpu) / CLOCKS_PER_SEC};
}
