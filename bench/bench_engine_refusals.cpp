// Which photos the classical engine refuses as "no subject found", and how
// small the subjects are that it must keep: over the quality set (plain and
// busy backdrops, in colour and in grey) and, when its artwork is there, the
// scored set (scripts/fetch-scored-set.sh). Per group: the photos, those
// refused, the smallest true subject and the smallest mask kept (shares of
// the picture), and the masks kept that miss their subject (IoU below 0.1).
//   bench_engine_refusals [--per-group N] [--seed S] [--artwork DIR] [--only PREFIX] [--list]
// --list: one line per photo.
#include "KSClassicCutoutEngine.h"
#include "KSMaskScore.h"
#include "KSQualitySet.h"
#include "KSScoredSet.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <map>

namespace {

struct GroupTally
{
    int photos = 0, refused = 0, missed = 0;
    double smallestTruth = 1.0, smallestKept = 1.0;
};

using KSMaskScoring::keptShare;

} // namespace

int main(int argc, char *argv[])
{
    // The scored set's drawings need fonts, and fonts a GUI application.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    KSScoredSet::Options options;
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        if (!options.take(argc, argv, i) && !std::strcmp(argv[i], "--list"))
            list = true;
    }

    std::vector<KSQualitySample> set = KSQualitySet::make(options.perGroup, options.seed);
    for (size_t i = 0, count = set.size(); i < count; ++i) {
        KSQualitySample grey = set[i];
        grey.bgr = grey.bgr.clone();
        grey.colour = grey.colour.clone();
        KSScoredSet::toGrey(grey);
        grey.group += "-grey";
        grey.name = grey.group + grey.name.substr(grey.name.find('-'));
        set.push_back(std::move(grey));
    }
    const std::vector<KSQualitySample> scored = KSScoredSet::make(options.artwork, options.perGroup, options.seed);
    if (scored.empty())
        std::printf("(no scored set in %s: the quality set alone)\n", qPrintable(options.artwork));
    set.insert(set.end(), scored.begin(), scored.end());
    set.erase(std::remove_if(set.begin(), set.end(), [&](const KSQualitySample &s) { return s.name.rfind(options.only, 0) != 0; }),
              set.end());

    std::map<std::string, GroupTally> groups;
    std::vector<std::string> order;
    KSClassicCutoutEngine engine;
    for (const KSQualitySample &sample : set) {
        if (!groups.count(sample.group))
            order.push_back(sample.group);
        GroupTally &tally = groups[sample.group];
        std::string error;
        const cv::Mat mask = engine.mask(sample.bgr, sample.type, &error);
        const double truth = keptShare(sample.alpha);
        ++tally.photos;
        tally.smallestTruth = std::min(tally.smallestTruth, truth);
        double iou = 0;
        if (mask.empty()) {
            ++tally.refused;
        } else {
            iou = KSMaskScoring::score(mask, sample.alpha).iou;
            tally.smallestKept = std::min(tally.smallestKept, keptShare(mask));
            tally.missed += iou < 0.1 ? 1 : 0;
        }
        if (list)
            std::printf("%-44s subject %6.2f %%  %s\n", sample.name.c_str(), truth * 100,
                        mask.empty() ? ("refused: " + error).c_str()
                                     : qPrintable(QStringLiteral("mask %1 %, IoU %2").arg(keptShare(mask) * 100, 6, 'f', 2).arg(iou, 0, 'f', 3)));
    }
    std::printf("\n%-24s %6s %8s %16s %16s %14s\n", "group", "photos", "refused", "smallest subject", "smallest mask", "masks missing");
    for (const std::string &name : order) {
        const GroupTally &t = groups[name];
        std::printf("%-24s %6d %8d %14.2f %% %14.2f %% %14d\n", name.c_str(), t.photos, t.refused, t.smallestTruth * 100,
                    t.smallestKept * 100, t.missed);
    }
    return 0;
}
