// What each rule of the default engine earns on the scored set: the
// network's two maps (the photo and its mirror image) are computed once per
// photo and kept in the cache, then the engine runs with every rule, with
// each rule left out in turn, and with none; IoU by group and the overall
// MAE and boundary F for each.
//   bench_engine_rules [--artwork DIR] [--per-group N] [--seed S] [--model JSON] [--only PREFIX]
// BENCH_VARIANTS="one pass,no hole rule" runs those beside all rules only.
#include "KSClassicCutoutEngine.h"
#include "KSHybridCutoutEngine.h"
#include "KSLearnedModel.h"
#include "KSMaskScore.h"
#include "KSMatteRefine.h"
#include "KSScoredSet.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <opencv2/imgcodecs.hpp>

#include <cstdio>
#include <cstring>
#include <map>

namespace {
using KSMaskScoring::mean;
using KSMaskScoring::median;
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    KSScoredSet::Options options;
    for (int i = 1; i < argc; ++i)
        options.take(argc, argv, i);
    const std::shared_ptr<KSLearnedModel> learned = options.loadModel();
    if (!learned)
        return 1;
    const std::vector<KSQualitySample> set = options.load();
    if (set.empty())
        return 1;
    using Rules = KSHybridCutoutEngine::Rules;
    std::vector<std::pair<std::string, Rules>> variants;
    variants.push_back({"all rules", Rules{}});
    variants.push_back({"one pass", [] { Rules r; r.mirroredPass = false; return r; }()});
    variants.push_back({"mirrored always", [] { Rules r; r.mirroredFromUnsure = 0; return r; }()});
    for (double unsure : {0.05, 0.2})
        variants.push_back({"mirrored from " + std::to_string(int(unsure * 100)) + " % unsure", [unsure] { Rules r; r.mirroredFromUnsure = unsure; return r; }()});
    variants.push_back({"larger of two", [] { Rules r; r.keepTheLarger = true; return r; }()});
    variants.push_back({"no blob drop", [] { Rules r; r.dropBlobs = false; return r; }()});
    variants.push_back({"no scenery drop", [] { Rules r; r.dropScenery = false; return r; }()});
    variants.push_back({"no shadow rule", [] { Rules r; r.shadows = false; return r; }()});
    variants.push_back({"no hole rule", [] { Rules r; r.holes = false; return r; }()});
    variants.push_back({"no classical", [] { Rules r; r.classicOnPlain = false; return r; }()});
    variants.push_back({"no frame fill", [] { Rules r; r.frameFill = false; return r; }()});
    variants.push_back({"no second look", [] { Rules r; r.secondLook = false; return r; }()});
    variants.push_back({"no further passes", [] { Rules r; r.frameFill = r.secondLook = false; return r; }()});
    variants.push_back({"no neck rule", [] { Rules r; r.neckedParts = false; return r; }()});
    variants.push_back({"blurred parts", [] { Rules r; r.blurredParts = true; return r; }()});
    variants.push_back({"backdrop matte", [] { Rules r; r.backdropMatte = true; return r; }()});
    variants.push_back({"no referee", [] { Rules r; r.refereeFrom = 0; return r; }()});
    variants.push_back({"no second-look guard", [] { Rules r; r.secondLookKeepsSure = 0; return r; }()});
    const auto noRules = [](bool mirrored) {
        Rules r{mirrored, 0.0, false, false, false, false, false, false};
        r.frameFill = r.secondLook = r.neckedParts = false;
        return r;
    };
    variants.push_back({"mirrored, no rules", noRules(true)});
    variants.push_back({"network alone", noRules(false)});

    if (const QByteArray only = qgetenv("BENCH_VARIANTS"); !only.isEmpty()) {
        const QList<QByteArray> wanted = only.split(',');
        std::erase_if(variants, [&](const auto &v) { return v.first != "all rules" && !wanted.contains(QByteArray::fromStdString(v.first)); });
    }
    const std::vector<std::pair<std::string, KSMatteRefine::Steps>> refinements = {
        {"colours estimated", {false, true}}, {"edges steepened", {true, false}}, {"both", {true, true}}};
    std::map<std::string, std::vector<double>> edges;
    std::map<std::string, std::vector<KSMaskScore>> refinedScores;
    // The classical engine's mask depends on the photo alone: made once per
    // photo, not once per variant.
    struct OncePerPhoto : KSCutoutEngine
    {
        KSClassicCutoutEngine engine;
        const uchar *photo = nullptr;
        cv::Mat last;
        std::string lastError;
        cv::Mat mask(const cv::Mat &bgr, KSEraserType type, std::string *error) override
        {
            if (bgr.data != photo) {
                photo = bgr.data;
                lastError.clear();
                last = engine.mask(bgr, type, &lastError);
            }
            if (error)
                *error = lastError;
            return last.clone();
        }
        std::string name() const override { return engine.name(); }
    } classic;
    std::map<std::string, std::map<std::string, std::vector<double>>> iou; // variant -> group -> IoU
    std::map<std::string, std::vector<KSMaskScore>> overall;
    std::vector<std::string> groups;
    for (const KSQualitySample &sample : set) {
        if (std::find(groups.begin(), groups.end(), sample.group) == groups.end())
            groups.push_back(sample.group);
        const auto [map, mirrored] = options.networkMaps(sample, *learned);
        std::printf("%-40.40s", sample.name.c_str());
        for (const auto &[label, rules] : variants) {
            const cv::Mat mask = KSHybridCutoutEngine::fromMaps(sample.bgr, map, mirrored, sample.type, rules, &classic,
                                                                nullptr, options.passesOf(sample, *learned));
            if (label == variants.front().first) {
                // The refinement's steps on the default's mask.
                edges["the photo's colours"].push_back(
                    KSMaskScoring::edgeColourError(sample.bgr, mask, sample.colour, sample.alpha));
                // The estimator alone: under the true alpha.
                cv::Mat bgra, colour;
                cv::cvtColor(sample.bgr, bgra, cv::COLOR_BGR2BGRA);
                (void)KSMatteRefine::refine(bgra, sample.alpha, {false, true});
                cv::cvtColor(bgra, colour, cv::COLOR_BGRA2BGR);
                edges["true alpha, photo"].push_back(
                    KSMaskScoring::edgeColourError(sample.bgr, sample.alpha, sample.colour, sample.alpha));
                edges["true alpha, estimated"].push_back(
                    KSMaskScoring::edgeColourError(colour, sample.alpha, sample.colour, sample.alpha));
                for (const auto &[stepsLabel, steps] : refinements) {
                    cv::Mat bgra, colour;
                    cv::cvtColor(sample.bgr, bgra, cv::COLOR_BGR2BGRA);
                    const cv::Mat alpha = KSMatteRefine::refine(bgra, mask, steps);
                    cv::cvtColor(bgra, colour, cv::COLOR_BGRA2BGR);
                    edges[stepsLabel].push_back(KSMaskScoring::edgeColourError(colour, alpha, sample.colour, sample.alpha));
                    refinedScores[stepsLabel].push_back(KSMaskScoring::score(alpha, sample.alpha));
                }
            }
            const KSMaskScore s = KSMaskScoring::score(mask, sample.alpha);
            iou[label][sample.group].push_back(s.iou);
            iou[label]["all"].push_back(s.iou);
            overall[label].push_back(s);
            std::printf(" %6.3f", s.iou);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    groups.push_back("all");
    std::printf("\nIoU by group\n%-22s", "");
    for (const auto &v : variants)
        std::printf(" %12.12s", v.first.c_str());
    std::printf("\n");
    for (const std::string &g : groups) {
        std::printf("%-22s", g.c_str());
        for (const auto &v : variants)
            std::printf(" %12.4f", mean(iou[v.first][g]));
        std::printf("\n");
    }
    std::printf("%-22s", "MAE");
    for (const auto &v : variants) {
        std::vector<double> mae;
        for (const KSMaskScore &s : overall[v.first])
            mae.push_back(s.mae);
        std::printf(" %12.4f", mean(mae));
    }
    std::printf("\n%-22s", "boundary F");
    for (const auto &v : variants) {
        std::vector<double> f;
        for (const KSMaskScore &s : overall[v.first])
            f.push_back(s.boundaryF);
        std::printf(" %12.4f", mean(f));
    }
    std::printf("\n\nRefinement of the default's mask: edge colour (0-255) and the refined mask's IoU / MAE / BF\n");
    for (const char *label : {"true alpha, photo", "true alpha, estimated", "the photo's colours"})
        std::printf("  %-22s %6.1f\n", label, mean(edges[label]));
    for (const auto &[label, steps] : refinements) {
        std::vector<double> i, m, f;
        for (const KSMaskScore &s : refinedScores[label]) {
            i.push_back(s.iou);
            m.push_back(s.mae);
            f.push_back(s.boundaryF);
        }
        std::printf("  %-22s %6.1f   %.4f / %.4f / %.4f\n", label.c_str(), mean(edges[label]), mean(i), mean(m), mean(f));
    }
    return 0;
}
