// The learned model's two inference paths in one run: oneDNN (the fast
// path) and OpenCV's DNN (the fallback), passes interleaved so that a busy
// machine slows both alike, with the ratio and the goals; then the masks
// of the default engine with each path on the scored set (or, without it,
// on generated photos), and each path's memory in a process of its own.
//   bench_runtime [--passes N] [--model JSON] [--artwork DIR] [--per-group N] [--seed S] [--only PREFIX]
//                 [--no-masks] [--no-memory] [--threads N]
// --threads: both paths on N threads (default: every core). One thread
// compares the kernels alone, which a machine busy with other work blurs
// less than two.
// The goals: a forward pass at 768 in at most 0.9 s on 2 cores, at most
// 0.55 x OpenCV's in the same run; the masks of both paths alike (IoU at
// least 0.999, mean absolute difference at most 1/255 on every photo); the
// memory with the model loaded at most 1.3 x OpenCV's.
#include "KSHybridCutoutEngine.h"
#include "KSLearnedModel.h"
#include "KSQualitySet.h"
#include "KSScoredSet.h"

#include <QGuiApplication>
#include <QFile>
#include <QProcess>

#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {
using Runtime = KSLearnedModel::Runtime;

double seconds(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

const char *verdict(bool met)
{
    return met ? "met" : "NOT met";
}

// The process's resident memory now and at its peak, in MiB.
std::pair<double, double> residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    double now = 0, peak = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                now = line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
            else if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
        }
    }
    return {now, peak};
}

// Child process: loads the model with one runtime, cuts two photos out
// and prints "memory NOW PEAK".
int measureMemory(const QString &model, Runtime runtime)
{
    auto learned = std::make_shared<KSLearnedModel>(model, runtime);
    if (!learned->waitUntilLoaded()) {
        std::fprintf(stderr, "%s\n", qPrintable(learned->errorString()));
        return 1;
    }
    KSHybridCutoutEngine engine(learned);
    for (int i = 0; i < 2; ++i) {
        const KSQualitySample photo = KSQualitySet::makeSample(i, "busy", {2000, 1500}, 7);
        (void)engine.mask(photo.bgr, photo.type, nullptr);
    }
    const auto [now, peak] = residentMiB();
    std::printf("memory %.0f %.0f\n", now, peak);
    return 0;
}

std::pair<double, double> memoryOf(const char *runtime, const QString &model)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--memory-of"), QString::fromLatin1(runtime), QStringLiteral("--model"), model});
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        return {0, 0};
    const QList<QByteArray> words = child.readAllStandardOutput().trimmed().split(' ');
    return words.size() == 3 ? std::pair(words[1].toDouble(), words[2].toDouble()) : std::pair(0.0, 0.0);
}

// How alike two masks are: IoU at 128 and the mean absolute difference (0..1).
std::pair<double, double> likeness(const cv::Mat &a, const cv::Mat &b)
{
    const cv::Mat inA = a >= 128, inB = b >= 128;
    const int either = cv::countNonZero(inA | inB);
    const double iou = either == 0 ? 1.0 : double(cv::countNonZero(inA & inB)) / either;
    cv::Mat difference;
    cv::absdiff(a, b, difference);
    return {iou, cv::mean(difference)[0] / 255.0};
}
} // namespace

int main(int argc, char *argv[])
{
    // The scored set draws its clip art with Qt's SVG renderer and fonts.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Each figure as soon as it is known: a long run may be cut short.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    KSScoredSet::Options options;
    int passes = 7;
    bool masks = true, memory = true;
    int threads = 0;
    for (int i = 1; i < argc; ++i) {
        if (options.take(argc, argv, i))
            continue;
        if (!std::strcmp(argv[i], "--passes") && i + 1 < argc)
            passes = std::max(2, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--no-masks"))
            masks = false;
        else if (!std::strcmp(argv[i], "--no-memory"))
            memory = false;
        else if (!std::strcmp(argv[i], "--threads") && i + 1 < argc)
            threads = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--memory-of") && i + 1 < argc)
            return measureMemory(options.model, std::strcmp(argv[++i], "opencv") ? Runtime::fastest : Runtime::opencv);
    }

    if (threads > 0) {
        cv::setNumThreads(threads);
        omp_set_num_threads(threads); // oneDNN's threads
    }
    std::printf("%d thread(s) for OpenCV, %d for oneDNN\n", cv::getNumThreads(), omp_get_max_threads());

    auto fast = std::make_shared<KSLearnedModel>(options.model, Runtime::fastest);
    auto fallback = std::make_shared<KSLearnedModel>(options.model, Runtime::opencv);
    if (!fast->waitUntilLoaded() || !fallback->waitUntilLoaded()) {
        std::fprintf(stderr, "%s\n", qPrintable(fallback->errorString()));
        return 1;
    }
    const QString fastName = fast->runtimeName(), fallbackName = fallback->runtimeName();
    std::printf("model %s; fast path: %s (loaded in %.2f s); fallback: %s (loaded in %.2f s)\n",
                qPrintable(fast->name()), qPrintable(fastName), fast->loadSeconds(), qPrintable(fallbackName),
                fallback->loadSeconds());
    if (fastName == fallbackName)
        std::printf("the fast path did not load (see the line above): both runs are OpenCV's\n");

    // Forward passes, interleaved; the first of each path is left out.
    const KSQualitySample photo = KSQualitySet::makeSample(0, "busy", {2000, 1500}, 99);
    std::vector<double> fastTimes, fallbackTimes;
    for (int pass = 0; pass <= passes; ++pass) {
        const double a = seconds([&] { (void)fast->predict(photo.bgr, nullptr); });
        const double b = seconds([&] { (void)fallback->predict(photo.bgr, nullptr); });
        if (pass > 0) {
            fastTimes.push_back(a);
            fallbackTimes.push_back(b);
        }
    }
    const double fastMedian = median(fastTimes), fallbackMedian = median(fallbackTimes);
    const double ratio = fastMedian / fallbackMedian;
    const cv::Size input = fast->inputSize();
    std::printf("\nforward pass at %dx%d, median of %d (min..max):\n", input.width, input.height, passes);
    std::printf("  %-34s %6.3f s (%.3f..%.3f)\n", qPrintable(fastName), fastMedian,
                *std::min_element(fastTimes.begin(), fastTimes.end()), *std::max_element(fastTimes.begin(), fastTimes.end()));
    std::printf("  %-34s %6.3f s (%.3f..%.3f)\n", qPrintable(fallbackName), fallbackMedian,
                *std::min_element(fallbackTimes.begin(), fallbackTimes.end()),
                *std::max_element(fallbackTimes.begin(), fallbackTimes.end()));
    std::printf("  ratio %.2f (%.2f x as fast)\n", ratio, 1.0 / ratio);
    std::printf("  goal: a pass at most 0.9 s on 2 cores: %s\n", verdict(fastMedian <= 0.9));
    std::printf("  goal: at most 0.55 x OpenCV's pass in the same run: %s\n", verdict(ratio <= 0.55));
    std::printf("  ONNX Runtime: not measured (its npm package is not installed here)\n");

    if (masks) {
        std::vector<KSQualitySample> set = options.load();
        const bool scored = !set.empty();
        if (!scored) {
            std::printf("\n(no scored set: the masks are compared on generated photos)\n");
            set = KSQualitySet::make(4, 2024);
        }
        KSHybridCutoutEngine withFast(fast), withFallback(fallback);
        double worstIou = 1, worstDifference = 0;
        std::string worstIouPhoto, worstDifferencePhoto;
        for (const KSQualitySample &sample : set) {
            const cv::Mat a = withFast.mask(sample.bgr, sample.type, nullptr);
            const cv::Mat b = withFallback.mask(sample.bgr, sample.type, nullptr);
            if (a.empty() || b.empty() || a.size() != b.size()) {
                std::printf("  %s: no mask from one path\n", sample.name.c_str());
                worstIou = 0;
                continue;
            }
            const auto [iou, difference] = likeness(a, b);
            if (iou < worstIou) {
                worstIou = iou;
                worstIouPhoto = sample.name;
            }
            if (difference > worstDifference) {
                worstDifference = difference;
                worstDifferencePhoto = sample.name;
            }
        }
        std::printf("\nmasks of the default engine, fast path against the fallback, %zu %s photos:\n", set.size(),
                    scored ? "scored" : "generated");
        std::printf("  lowest IoU %.5f (%s): goal >= 0.999 %s\n", worstIou, worstIouPhoto.c_str(),
                    verdict(worstIou >= 0.999));
        std::printf("  largest mean absolute difference %.5f = %.2f/255 (%s): goal <= 1/255 %s\n", worstDifference,
                    worstDifference * 255, worstDifferencePhoto.c_str(), verdict(worstDifference <= 1.0 / 255));
    }

    if (memory) {
        fast.reset();
        fallback.reset();
        const auto [fastNow, fastPeak] = memoryOf("fastest", options.model);
        const auto [cvNow, cvPeak] = memoryOf("opencv", options.model);
        std::printf("\nmemory of a process with the model loaded, after two 2000x1500 photos (MiB, now / peak):\n");
        std::printf("  %-34s %6.0f / %6.0f\n", qPrintable(fastName), fastNow, fastPeak);
        std::printf("  %-34s %6.0f / %6.0f\n", qPrintable(fallbackName), cvNow, cvPeak);
        if (cvNow > 0)
            std::printf("  ratio %.2f now, %.2f at the peak: goal <= 1.3 %s\n", fastNow / cvNow, fastPeak / cvPeak,
                        verdict(fastNow <= 1.3 * cvNow && fastPeak <= 1.3 * cvPeak));
    }
    return 0;
}
