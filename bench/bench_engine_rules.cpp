// What each rule of the default engine earns on the scored set: the
// network's two maps (the photo and its mirror image) are computed once per
// photo and kept in the cache, then the engine runs with every rule, with
// each rule left out in turn, and with none; IoU by group and the overall
// MAE and boundary F for each.
//   bench_engine_rules [--artwork DIR] [--per-group N] [--seed S] [--model JSON] [--only PREFIX]
#include "KSClassicCutoutEngine.h"
#include "KSHybridCutoutEngine.h"
#include "KSLearnedModel.h"
#include "KSMaskScore.h"
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
// The map kept as a 16-bit PNG.
cv::Mat cachedMap(const QString &path, const std::function<cv::Mat()> &compute)
{
    const cv::Mat stored = QFileInfo::exists(path) ? cv::imread(path.toStdString(), cv::IMREAD_UNCHANGED) : cv::Mat();
    if (!stored.empty() && stored.depth() == CV_16U) {
        cv::Mat map;
        stored.convertTo(map, CV_32F, 1.0 / 65535.0);
        return map;
    }
    const cv::Mat map = compute();
    if (!map.empty()) {
        cv::Mat levels;
        map.convertTo(levels, CV_16U, 65535.0);
        cv::imwrite(path.toStdString(), levels);
    }
    return map;
}

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
    const QString maps = options.cache + QStringLiteral("/maps/") + learned->name() + u'-' + QString::number(options.seed);
    QDir().mkpath(maps);

    using Rules = KSHybridCutoutEngine::Rules;
    std::vector<std::pair<std::string, Rules>> variants;
    variants.push_back({"all rules", Rules{}});
    variants.push_back({"one pass", [] { Rules r; r.mirroredPass = false; return r; }()});
    variants.push_back({"no blob drop", [] { Rules r; r.dropBlobs = false; return r; }()});
    variants.push_back({"no scenery drop", [] { Rules r; r.dropScenery = false; return r; }()});
    variants.push_back({"no shadow rule", [] { Rules r; r.shadows = false; return r; }()});
    variants.push_back({"no hole rule", [] { Rules r; r.holes = false; return r; }()});
    variants.push_back({"no classical", [] { Rules r; r.classicOnPlain = false; return r; }()});
    variants.push_back({"mirrored, no rules", Rules{true, false, false, false, false, false}});
    variants.push_back({"network alone", Rules{false, false, false, false, false, false}});

    KSClassicCutoutEngine classic;
    std::map<std::string, std::map<std::string, std::vector<double>>> iou; // variant -> group -> IoU
    std::map<std::string, std::vector<KSMaskScore>> overall;
    std::vector<std::string> groups;
    for (const KSQualitySample &sample : set) {
        if (std::find(groups.begin(), groups.end(), sample.group) == groups.end())
            groups.push_back(sample.group);
        const QString stem = maps + u'/' + QString::fromStdString(sample.name);
        const cv::Mat map = cachedMap(stem + QStringLiteral("-map.png"), [&] { return learned->predict(sample.bgr, nullptr); });
        const cv::Mat mirrored = cachedMap(stem + QStringLiteral("-mirrored.png"), [&] {
            cv::Mat flipped, result;
            cv::flip(sample.bgr, flipped, 1);
            result = learned->predict(flipped, nullptr);
            if (!result.empty())
                cv::flip(result, result, 1);
            return result;
        });
        std::printf("%-40.40s", sample.name.c_str());
        for (const auto &[label, rules] : variants) {
            const cv::Mat mask = KSHybridCutoutEngine::fromMaps(sample.bgr, map, mirrored, sample.type, rules, &classic);
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
    std::printf("\n");
    return 0;
}
