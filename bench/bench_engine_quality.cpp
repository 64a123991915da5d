// Quality of the cut-out engines on the scored sets: IoU at alpha 128, mean
// absolute alpha error, SAD and boundary F per photo, by group and overall,
// for the classical engine and each learned model, next to the goals.
//   bench_engine_quality [--artwork DIR] [--per-group N] [--count N] [--seed S]
//                        [--model JSON]... [--no-classic] [--hybrid-only] [--only PREFIX] [--write DIR]
// --artwork: the folder scripts/fetch-artwork.sh prints (default: its cache);
//   without it only the procedural renders are scored.
// --model: a learned model's description, repeatable (default: the installed one).
// --hybrid-only: of each model, only the hybrid engine (the model on busy
//   backdrops, the classical engine on plain ones); per photo it shows the
//   engine that made the mask.
// --only: only the photos whose name starts with the given text (a group).
// --write: saves each photo, its true alpha and every engine's mask.
#include "KSArtworkSet.h"
#include "KSClassicCutoutEngine.h"
#include "KSHybridCutoutEngine.h"
#include "KSLearnedCutoutEngine.h"
#include "KSLearnedModel.h"
#include "KSLocalService.h"
#include "KSMaskScore.h"
#include "KSQualitySet.h"

#include <QGuiApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>

namespace {
struct Engine
{
    std::string label;
    std::unique_ptr<KSCutoutEngine> engine;
    std::shared_ptr<KSLearnedModel> model;
};

struct Tally
{
    std::vector<double> iou, mae, sad, boundaryF, seconds;
    void add(const KSMaskScore &s, double time)
    {
        iou.push_back(s.iou);
        mae.push_back(s.mae);
        sad.push_back(s.sad);
        boundaryF.push_back(s.boundaryF);
        seconds.push_back(time);
    }
};

double mean(const std::vector<double> &v)
{
    double sum = 0;
    for (double x : v)
        sum += x;
    return v.empty() ? 0.0 : sum / double(v.size());
}

double minimum(const std::vector<double> &v)
{
    return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end());
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

const char *verdict(bool met)
{
    return met ? "met" : "NOT met";
}

// Plain backdrops: studio and ID photos, and the plain procedural renders.
bool isPlain(const std::string &group)
{
    return group == "studio" || group == "id-photo" || group == "plain" || group == "photo-studio";
}
} // namespace

int main(int argc, char *argv[])
{
    // Drawings with text need fonts, and fonts a GUI application.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int count = 12, perGroup = 12;
    std::uint64_t seed = 2024;
    std::string writeDir;
    QString artwork = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
                      + QStringLiteral("/Cutora/artwork");
    QStringList models;
    bool classic = true, hybridOnly = false;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--no-classic"))
            classic = false;
        else if (!std::strcmp(argv[i], "--hybrid-only"))
            hybridOnly = true;
        else if (hasValue && !std::strcmp(argv[i], "--count"))
            count = std::max(0, std::atoi(argv[++i]));
        else if (hasValue && !std::strcmp(argv[i], "--per-group"))
            perGroup = std::max(0, std::atoi(argv[++i]));
        else if (hasValue && !std::strcmp(argv[i], "--seed"))
            seed = std::strtoull(argv[++i], nullptr, 10);
        else if (hasValue && !std::strcmp(argv[i], "--write"))
            writeDir = argv[++i];
        else if (hasValue && !std::strcmp(argv[i], "--artwork"))
            artwork = QString::fromLocal8Bit(argv[++i]);
        else if (hasValue && !std::strcmp(argv[i], "--only"))
            only = argv[++i];
        else if (hasValue && !std::strcmp(argv[i], "--model"))
            models << QString::fromLocal8Bit(argv[++i]);
    }
    if (models.isEmpty() && QFileInfo::exists(KSLocalService::defaultModelDescription()))
        models << KSLocalService::defaultModelDescription();

    std::vector<Engine> engines;
    if (classic)
        engines.push_back({"classic", std::make_unique<KSClassicCutoutEngine>(), nullptr});
    for (const QString &description : models) {
        auto model = std::make_shared<KSLearnedModel>(description);
        if (!model->waitUntilLoaded()) {
            std::fprintf(stderr, "%s\n", qPrintable(model->errorString()));
            return 1;
        }
        if (!hybridOnly)
            engines.push_back({model->name().toStdString(), std::make_unique<KSLearnedCutoutEngine>(model), model});
        engines.push_back({"hybrid", std::make_unique<KSHybridCutoutEngine>(model), model});
    }

    std::vector<KSQualitySample> set = KSArtworkSet::make(artwork, perGroup, seed);
    if (set.empty() && perGroup > 0)
        std::printf("no artwork in %s (scripts/fetch-artwork.sh fetches it): procedural renders only\n",
                    qPrintable(artwork));
    for (KSQualitySample &sample : KSArtworkSet::makePhotoSubjects(artwork, perGroup, seed))
        set.push_back(std::move(sample));
    for (KSQualitySample &sample : KSQualitySet::make(count, seed))
        set.push_back(std::move(sample));

    if (!only.empty())
        set.erase(std::remove_if(set.begin(), set.end(),
                                 [&](const KSQualitySample &s) { return s.name.rfind(only, 0) != 0; }),
                  set.end());
    std::printf("%zu photos, seed %llu; boundary F within %.1f %% of the diagonal; times in seconds\n\n", set.size(),
                (unsigned long long)seed, KSMaskScoring::boundaryTolerance * 100);
    std::printf("%-34s %-27s %7s %7s %8s %7s %7s %7s\n", "photo", "engine", "IoU", "MAE", "SAD", "BF", "wall", "cpu");

    // engine -> group -> tally; the group "all" holds every photo.
    std::map<std::string, std::map<std::string, Tally>> tallies;
    for (const KSQualitySample &sample : set) {
        if (!writeDir.empty()) {
            cv::imwrite(writeDir + "/" + sample.name + ".jpg", sample.bgr, {cv::IMWRITE_JPEG_QUALITY, 92});
            cv::imwrite(writeDir + "/" + sample.name + "-alpha.png", sample.alpha);
        }
        for (Engine &engine : engines) {
            std::string error;
            const std::clock_t cpuStart = std::clock();
            const auto start = std::chrono::steady_clock::now();
            const cv::Mat mask = engine.engine->mask(sample.bgr, sample.type, &error);
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
            const KSMaskScore s = KSMaskScoring::score(mask, sample.alpha);
            tallies[engine.label][sample.group].add(s, wall);
            tallies[engine.label]["all"].add(s, wall);
            if (isPlain(sample.group))
                tallies[engine.label]["all plain"].add(s, wall);
            std::printf("%-34.34s %-27.27s %7.3f %7.4f %8.2f %7.3f %7.2f %7.2f%s%s\n", sample.name.c_str(),
                        (engine.label == "hybrid" ? "hybrid>" + engine.engine->name() : engine.label).c_str(), s.iou, s.mae, s.sad, s.boundaryF, wall, cpu, error.empty() ? "" : "  ",
                        error.c_str());
            if (!writeDir.empty() && !mask.empty())
                cv::imwrite(writeDir + "/" + sample.name + "-" + engine.label + ".png", mask);
            std::fflush(stdout);
        }
    }

    std::printf("\n%-16s %-12s %6s %8s %8s %8s %8s %8s %9s\n", "engine", "group", "photos", "IoU", "min IoU", "MAE",
                "SAD", "BF", "median s");
    for (auto &[engine, groups] : tallies) {
        for (auto &[group, t] : groups)
            std::printf("%-16.16s %-12s %6zu %8.3f %8.3f %8.4f %8.2f %8.3f %9.2f\n", engine.c_str(), group.c_str(),
                        t.iou.size(), mean(t.iou), minimum(t.iou), mean(t.mae), mean(t.sad), mean(t.boundaryF),
                        median(t.seconds));
    }

    std::printf("\nGoals (means over the photos)\n");
    for (auto &[engine, groups] : tallies) {
        const Tally &all = groups["all"], &plain = groups["all plain"];
        if (engine == "classic") {
            std::printf("  %-16s IoU on plain backdrops %.3f (goal >= 0.90: %s)\n", engine.c_str(), mean(plain.iou),
                        verdict(mean(plain.iou) >= 0.90));
            continue;
        }
        std::printf("  %-16s IoU %.3f (goal >= 0.96: %s), on plain backdrops %.3f (goal >= 0.985: %s),\n"
                    "  %-16s boundary F %.3f (goal >= 0.93: %s), MAE %.4f (goal <= 0.012: %s)\n",
                    engine.c_str(), mean(all.iou), verdict(mean(all.iou) >= 0.96), mean(plain.iou),
                    verdict(mean(plain.iou) >= 0.985), "", mean(all.boundaryF), verdict(mean(all.boundaryF) >= 0.93),
                    mean(all.mae), verdict(mean(all.mae) <= 0.012));
    }
    return 0;
}
