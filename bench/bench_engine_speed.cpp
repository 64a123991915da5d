// Time the cut-out engine takes per photo, at the sizes the application
// uploads (reduced to at most 2000 x 2000).
//   bench_engine_speed [--runs N]
#include "KSClassicCutoutEngine.h"
#include "KSQualitySet.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--runs"))
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    KSClassicCutoutEngine engine;
    std::printf("engine %s, median of %d runs, %d thread(s) available to OpenCV\n\n", engine.name().c_str(), runs,
                cv::getNumThreads());
    // CPU seconds too: on a shared machine the wall clock also counts waiting.
    std::printf("%-12s %-8s %10s %10s %10s\n", "size", "type", "median s", "min s", "cpu s");
    const cv::Size sizes[] = {{2000, 1500}, {1500, 2000}, {2000, 1333}, {1200, 800}, {800, 600}};
    int index = 0;
    for (const cv::Size size : sizes) {
        for (const char *group : {"plain"}) {
            const KSQualitySample sample = KSQualitySet::makeSample(index++, group, size, 99);
            std::vector<double> seconds;
            const std::clock_t cpuStart = std::clock();
            for (int run = 0; run < runs; ++run) {
                const auto start = std::chrono::steady_clock::now();
                const cv::Mat mask = engine.mask(sample.bgr, sample.type, nullptr);
                seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            }
            const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC / runs;
            std::sort(seconds.begin(), seconds.end());
            std::printf("%5dx%-6d %-8s %10.3f %10.3f %10.3f\n", size.width, size.height,
                        KSCutoutTypeRawValue(sample.type).toStdString().c_str(), seconds[seconds.size() / 2], seconds.front(),
                        cpu);
        }
    }
    return 0;
}
