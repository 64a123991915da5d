// Time the cut-out engines take per photo at the sizes the application
// uploads (reduced to at most 2000 x 2000), on plain and busy backdrops: the
// classical engine, each learned model alone and the hybrid engine the
// service uses with it (one or two passes of the network, and on a plain backdrop
// the classical engine too), with the model loaded, median of several runs, wall clock
// and CPU time (on a shared machine the wall clock also counts waiting for
// the cores). The first task, which includes loading the model, is reported
// on its own, as is the model's forward pass alone.
//   bench_engine_speed [--runs N] [--model JSON]... [--threads N] [--runtime opencv|fastest]
// --runtime opencv runs the model on OpenCV's DNN instead of the fast path.
#include "KSBenchClock.h"
#include "KSClassicCutoutEngine.h"
#include "KSHybridCutoutEngine.h"
#include "KSLearnedCutoutEngine.h"
#include "KSLearnedModel.h"
#include "KSLocalService.h"
#include "KSQualitySet.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
using Timing = KSBenchTiming;

Timing median(std::vector<Timing> runs)
{
    std::sort(runs.begin(), runs.end(), [](const Timing &a, const Timing &b) { return a.wall < b.wall; });
    return runs.empty() ? Timing() : runs[runs.size() / 2];
}
} // namespace

int main(int argc, char *argv[])
{
    int runs = 3;
    QStringList models;
    KSLearnedModel::Runtime runtime = KSLearnedModel::Runtime::fastest;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs"))
            runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--model"))
            models << QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--runtime"))
            runtime = std::strcmp(argv[++i], "opencv") ? KSLearnedModel::Runtime::fastest : KSLearnedModel::Runtime::opencv;
        else if (!std::strcmp(argv[i], "--threads"))
            cv::setNumThreads(std::max(1, std::atoi(argv[++i])));
    }
    if (models.isEmpty() && QFileInfo::exists(KSLocalService::defaultModelDescription()))
        models << KSLocalService::defaultModelDescription();

    std::printf("median of %d runs, %d thread(s) for OpenCV; seconds (cpu: all threads together)\n\n", runs,
                cv::getNumThreads());
    const cv::Size sizes[] = {{2000, 1500}, {1500, 2000}, {2000, 1333}, {1200, 800}};
    std::vector<KSQualitySample> photos;
    for (const char *group : {"busy", "plain"})
        for (const cv::Size size : sizes)
            photos.push_back(KSQualitySet::makeSample(int(photos.size()), group, size, 99));

    struct Candidate
    {
        std::unique_ptr<KSCutoutEngine> engine;
        std::shared_ptr<KSLearnedModel> model;
    };
    std::vector<Candidate> candidates;
    candidates.push_back({std::make_unique<KSClassicCutoutEngine>(), nullptr});
    for (const QString &description : models) {
        Candidate c;
        // The first task: loading the model, then one photo.
        const Timing first = benchTimed([&] {
            c.model = std::make_shared<KSLearnedModel>(description, runtime);
            c.engine = std::make_unique<KSLearnedCutoutEngine>(c.model);
            (void)c.engine->mask(photos.front().bgr, photos.front().type, nullptr);
        });
        if (c.model->state() != KSLearnedModel::State::ready) {
            std::fprintf(stderr, "%s\n", qPrintable(c.model->errorString()));
            return 1;
        }
        std::printf("%-16s first task with the model load: wall %.2f, cpu %.2f (load alone %.2f), run by %s\n",
                    c.model->name().toStdString().c_str(), first.wall, first.cpu, c.model->loadSeconds(),
                    qPrintable(c.model->runtimeName()));
        std::shared_ptr<KSLearnedModel> model = c.model;
        candidates.push_back(std::move(c));
        candidates.push_back({std::make_unique<KSHybridCutoutEngine>(model), model});
    }

    std::printf("\n%-28s %-5s %-11s %10s %10s %14s %14s\n", "engine", "", "size", "wall", "cpu", "forward wall",
                "forward cpu");
    for (Candidate &c : candidates) {
        std::vector<Timing> all;
        for (const KSQualitySample &photo : photos) {
            std::vector<Timing> whole, forward;
            for (int run = 0; run < runs; ++run) {
                whole.push_back(benchTimed([&] { (void)c.engine->mask(photo.bgr, photo.type, nullptr); }));
                if (c.model && dynamic_cast<KSLearnedCutoutEngine *>(c.engine.get()))
                    forward.push_back(benchTimed([&] { (void)c.model->predict(photo.bgr, nullptr); }));
            }
            const Timing m = median(whole), f = median(forward);
            all.push_back(m);
            std::printf("%-28s %-5s %5dx%-5d %10.2f %10.2f", c.engine->name().c_str(), photo.group.c_str(),
                        photo.bgr.cols, photo.bgr.rows, m.wall, m.cpu);
            if (c.model && dynamic_cast<KSLearnedCutoutEngine *>(c.engine.get()))
                std::printf(" %14.2f %14.2f", f.wall, f.cpu);
            std::printf("\n");
        }
        const Timing typical = median(all);
        const bool hybrid = dynamic_cast<KSHybridCutoutEngine *>(c.engine.get()) != nullptr;
        std::printf("%-28s median per photo: wall %.2f, cpu %.2f%s\n\n",
                    hybrid ? "hybrid (the service's)" : c.engine->name().c_str(), typical.wall,
                    typical.cpu,
                    !hybrid ? "" : typical.wall <= 2.0 ? "  (goal <= 2.0 s on 2 cores: met)"
                                                       : "  (goal <= 2.0 s on 2 cores: NOT met)");
    }
    return 0;
}
