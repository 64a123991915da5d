// Quality of the cut-out engine on a generated scored set: IoU at alpha 128
// per photo and by group (goal: at least 0.90 on plain backdrops).
//   bench_engine_quality [--count N] [--seed S] [--write DIR]
// --write also saves each photo, its true alpha and the engine's mask.
#include "KSClassicCutoutEngine.h"
#include "KSQualitySet.h"

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <map>
#include <numeric>

int main(int argc, char *argv[])
{
    int count = 12;
    std::uint64_t seed = 2024;
    std::string writeDir;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--count"))
            count = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--seed"))
            seed = std::strtoull(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--write"))
            writeDir = argv[i + 1];
    }

    const std::vector<KSQualitySample> set = KSQualitySet::make(count, seed);
    KSClassicCutoutEngine engine;
    std::printf("engine %s, %zu photos, seed %llu\n\n", engine.name().c_str(), set.size(), (unsigned long long)seed);
    std::printf("%-22s %11s %8s %9s\n", "photo", "size", "IoU@128", "cpu s");

    std::map<std::string, std::vector<double>> scores;
    for (const KSQualitySample &sample : set) {
        const std::clock_t start = std::clock();
        std::string error;
        const cv::Mat mask = engine.mask(sample.bgr, sample.type, &error);
        const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
        const double iou = mask.empty() ? 0.0 : KSQualitySet::iouAt128(mask, sample.alpha);
        scores[sample.group].push_back(iou);
        std::printf("%-22s %5dx%-5d %8.3f %9.2f%s%s\n", sample.name.c_str(), sample.bgr.cols, sample.bgr.rows, iou, seconds,
                    error.empty() ? "" : "  ", error.c_str());
        if (!writeDir.empty()) {
            cv::imwrite(writeDir + "/" + sample.name + ".jpg", sample.bgr, {cv::IMWRITE_JPEG_QUALITY, 92});
            cv::imwrite(writeDir + "/" + sample.name + "-alpha.png", sample.alpha);
            if (!mask.empty())
                cv::imwrite(writeDir + "/" + sample.name + "-mask.png", mask);
        }
    }

    std::printf("\n%-8s %6s %8s %8s %8s\n", "group", "photos", "mean", "median", "min");
    for (auto &[group, values] : scores) {
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const double mean = std::accumulate(sorted.begin(), sorted.end(), 0.0) / double(sorted.size());
        std::printf("%-8s %6zu %8.3f %8.3f %8.3f%s\n", group.c_str(), sorted.size(), mean, sorted[sorted.size() / 2],
                    sorted.front(), group == "plain" ? (mean >= 0.90 ? "   goal >= 0.90 met" : "   goal >= 0.90 NOT met") : "");
    }
    return 0;
}
