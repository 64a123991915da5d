// Whether the network runs a photo and its mirror image faster as one batch
// of two than as two passes of one, on oneDNN at the model's input size: the
// median wall clock and CPU time of (a) two batch-1 passes in a row and (b)
// one batch-2 pass, run in turns so that the machine's load falls on both
// alike; the memory each network takes (weights, activations, and the rise
// of the peak during its first pass); and the largest difference between
// the pair's outputs and the two single outputs. The engine runs the mirror
// image only where the first map is unsure, so the pair also has to beat
// one pass plus that share of a second.
//   bench_network_batch [--runs N] [--model JSON]
#include "KSBenchClock.h"
#include "KSBenchMemory.h"
#include "KSDnnlNetwork.h"
#include "KSLearnedModel.h"
#include "KSLocalService.h"
#include "KSModelDescription.h"
#include "KSQualitySet.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
using Timing = KSBenchTiming;

// Wall and CPU medians apart: one slow run should not pick both.
Timing median(std::vector<Timing> runs)
{
    const auto middle = [&](double Timing::*field) {
        std::vector<double> v;
        for (const Timing &t : runs)
            v.push_back(t.*field);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    return {middle(&Timing::wall), middle(&Timing::cpu)};
}

double megabytes(qint64 kilobytes)
{
    return double(kilobytes) / 1024.0;
}

double largestDifference(const cv::Mat &a, const cv::Mat &b)
{
    return cv::norm(cv::Mat(1, int(a.total()), CV_32F, const_cast<float *>(a.ptr<float>())),
                    cv::Mat(1, int(b.total()), CV_32F, const_cast<float *>(b.ptr<float>())), cv::NORM_INF);
}

// Picture n of an N x C x H x W blob, as a 1 x C x H x W blob sharing its data.
cv::Mat picture(const cv::Mat &blob, int n)
{
    const int sizes[] = {1, blob.size[1], blob.size[2], blob.size[3]};
    return cv::Mat(4, sizes, CV_32F, const_cast<float *>(blob.ptr<float>(n)));
}

struct Loaded
{
    std::unique_ptr<KSDnnlNetwork> network;
    double loadMB = 0; // resident growth while loading
    double firstPassMB = 0; // peak over the resident size before the first pass
};
} // namespace

int main(int argc, char *argv[])
{
    int runs = 7;
    QString description = KSLocalService::defaultModelDescription();
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs"))
            runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--model"))
            description = QString::fromLocal8Bit(argv[++i]);
    }
    QString error;
    const std::optional<KSModelDescription> d = KSModelDescription::load(description, &error);
    if (!d) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    const cv::Mat photo = KSQualitySet::makeSample(0, "busy", {2000, 1500}, 99).bgr;
    cv::Mat mirror;
    cv::flip(photo, mirror, 1);
    const cv::Mat single[] = {KSLearnedModel::inputBlob(photo, *d), KSLearnedModel::inputBlob(mirror, *d)};
    const int pairSizes[] = {2, single[0].size[1], single[0].size[2], single[0].size[3]};
    cv::Mat pair(4, pairSizes, CV_32F);
    for (int n = 0; n < 2; ++n)
        single[n].copyTo(picture(pair, n));

    const auto load = [&](int batch, const cv::Mat &blob, cv::Mat *output) {
        Loaded l;
        const qint64 before = procStatusKilobytes("VmRSS");
        l.network = KSDnnlNetwork::load(d->modelPath, d->inputName.toStdString(), d->outputName.toStdString(), d->width,
                                        d->height, &error, batch);
        if (!l.network)
            return l;
        const qint64 loaded = procStatusKilobytes("VmRSS");
        l.loadMB = megabytes(loaded - before);
        if (!resetPeakMemory())
            std::fprintf(stderr, "cannot reset the peak; the first-pass figure includes the load\n");
        std::string why;
        *output = l.network->forward(blob, &why);
        l.firstPassMB = megabytes(procStatusKilobytes("VmHWM") - loaded);
        if (output->empty()) {
            error = QString::fromStdString(why);
            l.network.reset();
        }
        return l;
    };
    cv::Mat pairOutput, firstOutput;
    Loaded one = load(1, single[0], &firstOutput);
    if (!one.network) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    Loaded two = load(2, pair, &pairOutput);
    if (!two.network) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::string why;
    const cv::Mat secondOutput = one.network->forward(single[1], &why);
    if (secondOutput.empty()) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    const double difference = std::max(largestDifference(picture(pairOutput, 0), firstOutput),
                                       largestDifference(picture(pairOutput, 1), secondOutput));

    std::printf("%s at %d x %d on %s, median of %d runs; seconds (cpu: all threads together)\n\n",
                qPrintable(d->name), d->width, d->height, qPrintable(one.network->runtimeName()), runs);
    std::vector<Timing> singles, pairs;
    for (int run = 0; run < runs; ++run) {
        // Each goes first in every other run.
        const auto twoPasses = [&] {
            singles.push_back(benchTimed([&] {
                (void)one.network->forward(single[0], nullptr);
                (void)one.network->forward(single[1], nullptr);
            }));
        };
        const auto onePass = [&] { pairs.push_back(benchTimed([&] { (void)two.network->forward(pair, nullptr); })); };
        if (run % 2 == 0) {
            twoPasses();
            onePass();
        } else {
            onePass();
            twoPasses();
        }
    }
    const Timing a = median(singles), b = median(pairs);
    std::printf("%-28s %8s %8s %12s %12s %14s\n", "", "wall", "cpu", "weights MB", "arena MB", "1st pass MB");
    std::printf("%-28s %8.3f %8.3f %12.1f %12.1f %14.1f\n", "(a) two passes of batch 1", a.wall, a.cpu,
                double(one.network->weightBytes()) / 1048576.0, double(one.network->activationBytes()) / 1048576.0,
                one.firstPassMB);
    std::printf("%-28s %8.3f %8.3f %12.1f %12.1f %14.1f\n", "(b) one pass of batch 2", b.wall, b.cpu,
                double(two.network->weightBytes()) / 1048576.0, double(two.network->activationBytes()) / 1048576.0,
                two.firstPassMB);
    std::printf("\nbatch 2 against two passes: wall %+.1f%%, cpu %+.1f%%\n", 100.0 * (b.wall / a.wall - 1.0),
                100.0 * (b.cpu / a.cpu - 1.0));
    // The engine runs the mirror image only when the first map is unsure,
    // which a pair must decide before it knows the map.
    const double share = 2.0 * b.wall / a.wall - 1.0;
    std::printf("a pair for every photo beats a mirrored pass where needed only if more than %.0f%% of photos "
                "need it\n",
                100.0 * share);
    std::printf("resident growth while loading: batch 1 %.1f MB, batch 2 %.1f MB\n", one.loadMB, two.loadMB);
    std::printf("largest difference between the pair's outputs and the single ones: %.3g\n", difference);
    return 0;
}
