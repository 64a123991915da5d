// Quality of the cut-out engines on the scored set (scripts/fetch-scored-set.sh):
// IoU at alpha 128, mean absolute alpha error, SAD and boundary F per photo,
// by group and overall, for the network alone (one pass at its input size,
// its map stretched back, no clean-up), the default engine and the classical
// engine side by side, next to the goals; and the colour of the edges: each
// cut-out laid on black, white and a saturated colour against the true
// subject on the same colour, over the true edge band.
//   bench_engine_quality [--artwork DIR] [--per-group N] [--seed S] [--model JSON]
//                        [--no-classic | --classic-only] [--only PREFIX] [--write DIR]
//                        [--grid FILE.png [--grid-only]]
// --classic-only: no network; the classical engine with and without its
//   smooth backdrop, next to the simplest baseline (the border's median
//   colour keyed out).
// --artwork: the folder scripts/fetch-scored-set.sh prints (default: its cache).
// --model: the learned model's description (default: the installed one).
// --only: only the photos whose name starts with the given text (a group;
//   several separated by commas).
// --write: saves each photo, its true alpha and every engine's mask.
// --grid: after scoring, each engine's cut-out of the sample photos (real
//   photographs with no truth, from scripts/fetch-artwork.sh) on a
//   checkerboard, one row a photo, and the share of the frame each keeps;
//   with --grid-only, nothing is scored.
#include "KSClassicCutoutEngine.h"
#include "KSHybridCutoutEngine.h"
#include "KSLearnedModel.h"
#include "KSMaskScore.h"
#include "KSMatteRefine.h"
#include "KSSampleGrid.h"
#include "KSScoredSet.h"

#include <QFileInfo>
#include <QGuiApplication>

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace {
using KSMaskScoring::mean;
using KSMaskScoring::median;
struct Tally
{
    std::vector<double> iou, mae, sad, boundaryF, seconds, edgeBefore, edgeAfter;
    void add(const KSMaskScore &s, double time)
    {
        iou.push_back(s.iou);
        mae.push_back(s.mae);
        sad.push_back(s.sad);
        boundaryF.push_back(s.boundaryF);
        seconds.push_back(time);
    }
};



const char *verdict(bool met)
{
    return met ? "met" : "NOT met";
}

bool isPlain(const std::string &group)
{
    return group.find("studio") != std::string::npos || group.rfind("id-", 0) == 0;
}

bool isBusy(const std::string &group)
{
    return group.find("busy") != std::string::npos;
}

// The simplest cut-out of a plain backdrop: every pixel far from the
// border's median colour is subject.
cv::Mat oneColourKey(const cv::Mat &bgr)
{
    constexpr int side = 480;
    constexpr double reach = 12.0; // Lab units
    const double scale = std::min(1.0, double(side) / std::max(bgr.cols, bgr.rows));
    cv::Mat small, lab;
    cv::resize(bgr, small, cv::Size(), scale, scale, cv::INTER_AREA);
    small.convertTo(lab, CV_32F, 1.0 / 255.0);
    cv::cvtColor(lab, lab, cv::COLOR_BGR2Lab);
    const int band = std::max(2, std::min(lab.rows, lab.cols) / 50);
    std::array<std::vector<float>, 3> border;
    for (int y = 0; y < lab.rows; ++y)
        for (int x = 0; x < lab.cols; ++x)
            if (y < band || y >= lab.rows - band || x < band || x >= lab.cols - band)
                for (int c = 0; c < 3; ++c)
                    border[size_t(c)].push_back(lab.at<cv::Vec3f>(y, x)[c]);
    cv::Vec3f median;
    for (int c = 0; c < 3; ++c) {
        auto &values = border[size_t(c)];
        std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
        median[c] = values[values.size() / 2];
    }
    cv::Mat subject(lab.size(), CV_8U);
    for (int y = 0; y < lab.rows; ++y)
        for (int x = 0; x < lab.cols; ++x)
            subject.at<uchar>(y, x) = cv::norm(lab.at<cv::Vec3f>(y, x) - median) > reach ? 255 : 0;
    cv::Mat mask;
    cv::resize(subject, mask, bgr.size(), 0, 0, cv::INTER_LINEAR);
    return mask;
}

// The photo's colours where the refinement left them, the subject's own
// where it estimated them, and the refined mask.
cv::Mat refined(const cv::Mat &bgr, const cv::Mat &mask, cv::Mat *colour)
{
    cv::Mat bgra;
    cv::cvtColor(bgr, bgra, cv::COLOR_BGR2BGRA);
    const cv::Mat alpha = KSMatteRefine::refine(bgra, mask);
    cv::cvtColor(bgra, *colour, cv::COLOR_BGRA2BGR);
    return alpha;
}

struct Engines
{
    KSClassicCutoutEngine classic;
    KSClassicCutoutEngine oneColour{KSClassicCutoutEngine::Rules{.smoothBackdrop = false}};

    // One engine's mask of a photo; the network's and the default need the
    // network's maps (of the photo and of its mirror image), and the default
    // the further passes its rules ask for.
    cv::Mat mask(const std::string &engine, const cv::Mat &bgr, KSEraserType type, const cv::Mat &map,
                 const cv::Mat &mirrored, std::string *error, const KSHybridCutoutEngine::NetworkPass &pass)
    {
        if (engine == "classic")
            return classic.mask(bgr, type, error);
        if (engine == "classic-old")
            return oneColour.mask(bgr, type, error);
        if (engine == "baseline")
            return oneColourKey(bgr);
        if (engine == "default")
            return KSHybridCutoutEngine::fromMaps(bgr, map, mirrored, type, KSHybridCutoutEngine::Rules(), &classic,
                                                  nullptr, pass);
        cv::Mat stretched, mask;
        if (map.empty())
            return mask;
        cv::resize(map, stretched, bgr.size(), 0, 0, cv::INTER_LINEAR);
        stretched.convertTo(mask, CV_8U, 255.0);
        return mask;
    }
};

// Every engine's cut-out of each sample photo, drawn into `file`, with the
// share of the frame each keeps printed.
bool writeGrid(const std::string &file, const KSScoredSet::Options &options, const std::vector<std::string> &engines,
               Engines &cutters, KSLearnedModel *learned)
{
    const std::vector<KSSampleGrid::Photo> photos = KSSampleGrid::load(options.artwork);
    if (photos.empty()) {
        std::fprintf(stderr, "no sample photos in %s/samples: run scripts/fetch-artwork.sh\n", qPrintable(options.artwork));
        return false;
    }
    std::printf("\nSample photos: share of the frame kept\n");
    std::vector<KSSampleGrid::Row> rows;
    for (const KSSampleGrid::Photo &photo : photos) {
        // Named apart from the scored photos, whose maps share the cache.
        KSQualitySample sample;
        sample.name = "sample-" + photo.name;
        sample.bgr = photo.bgr;
        const auto [map, mirrored] = learned ? options.networkMaps(sample, *learned) : std::pair<cv::Mat, cv::Mat>();
        KSSampleGrid::Row row{photo.name, photo.bgr, {}};
        std::printf("  %-18s %-7s", photo.name.c_str(), qPrintable(KSEraserTypeRawValue(photo.type)));
        for (const std::string &engine : engines) {
            std::string error;
            cv::Mat mask = cutters.mask(engine, photo.bgr, photo.type, map, mirrored, &error,
                                        learned ? options.passesOf(sample, *learned) : KSHybridCutoutEngine::NetworkPass());
            std::printf("  %s %.3f", engine.c_str(), KSSampleGrid::kept(mask));
            row.masks.emplace_back(engine, std::move(mask));
        }
        std::printf("\n");
        std::fflush(stdout);
        rows.push_back(std::move(row));
    }
    if (!KSSampleGrid::draw(rows).save(QString::fromStdString(file))) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return false;
    }
    std::printf("grid written to %s\n", file.c_str());
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    // Drawings with text need fonts, and fonts a GUI application.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    KSScoredSet::Options options;
    std::string writeDir, gridFile;
    bool classic = true, classicOnly = false, gridOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (options.take(argc, argv, i))
            continue;
        if (!std::strcmp(argv[i], "--no-classic"))
            classic = false;
        else if (!std::strcmp(argv[i], "--classic-only"))
            classicOnly = true;
        else if (!std::strcmp(argv[i], "--grid-only"))
            gridOnly = true;
        else if (i + 1 < argc && !std::strcmp(argv[i], "--write"))
            writeDir = argv[++i];
        else if (i + 1 < argc && !std::strcmp(argv[i], "--grid"))
            gridFile = argv[++i];
    }
    if (gridOnly && gridFile.empty()) {
        std::fprintf(stderr, "--grid-only needs --grid FILE.png\n");
        return 1;
    }
    const std::shared_ptr<KSLearnedModel> learned = classicOnly ? nullptr : options.loadModel();
    if (!learned && !classicOnly)
        return 1;
    // The network alone: its map stretched to the photo's size, nothing
    // else. The default: the service's engine from the same maps (the
    // network's passes are kept in the cache; bench_engine_speed times them).
    // Without the network: the baseline, the classical engine without its
    // smooth backdrop ("classic-old"), and as it is. The last column
    // compares the last engine with the one it builds on.
    const std::vector<std::string> engines = classicOnly ? std::vector<std::string>{"baseline", "classic-old", "classic"}
        : classic                                        ? std::vector<std::string>{"network", "default", "classic"}
                                                         : std::vector<std::string>{"network", "default"};
    const std::string reference = classicOnly ? "classic-old" : "network",
                      compared = classicOnly ? "classic" : "default";
    Engines cutters;
    if (gridOnly)
        return writeGrid(gridFile, options, engines, cutters, learned.get()) ? 0 : 1;
    const std::vector<KSQualitySample> set = options.load();
    if (set.empty())
        return 1;
    std::printf("%zu photos, seed %llu; boundary F within %.1f %% of the diagonal; edge colour 0-255 over the "
                "true edge band on black, white and magenta\n\n",
                set.size(), (unsigned long long)options.seed, KSMaskScoring::boundaryTolerance * 100);
    std::printf("%-40s %-10s %7s %7s %8s %7s %7s %7s\n", "photo", "engine", "IoU", "MAE", "SAD", "BF", "wall",
                "edge");

    // engine -> group -> tally; "all" holds every photo, "all plain" the plain backdrops.
    std::map<std::string, std::map<std::string, Tally>> tallies;
    std::vector<std::string> groups;
    for (const KSQualitySample &sample : set) {
        if (std::find(groups.begin(), groups.end(), sample.group) == groups.end())
            groups.push_back(sample.group);
        if (!writeDir.empty()) {
            cv::imwrite(writeDir + "/" + sample.name + ".jpg", sample.bgr, {cv::IMWRITE_JPEG_QUALITY, 92});
            cv::imwrite(writeDir + "/" + sample.name + "-alpha.png", sample.alpha);
        }
        const auto [map, mirrored] = learned ? options.networkMaps(sample, *learned) : std::pair<cv::Mat, cv::Mat>();
        for (const std::string &engine : engines) {
            std::string error;
            const auto start = std::chrono::steady_clock::now();
            const cv::Mat mask = cutters.mask(engine, sample.bgr, sample.type, map, mirrored, &error,
                                              learned ? options.passesOf(sample, *learned)
                                                      : KSHybridCutoutEngine::NetworkPass());
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const KSMaskScore s = KSMaskScoring::score(mask, sample.alpha);
            // Edge colour: the photo's own colours under the engine's mask,
            // and, for the default, the refined mask with estimated colours.
            const double before = mask.empty() ? 255.0
                                               : KSMaskScoring::edgeColourError(sample.bgr, mask, sample.colour,
                                                                                sample.alpha);
            double after = before;
            if (engine == "default" && !mask.empty()) {
                cv::Mat colour;
                const cv::Mat alpha = refined(sample.bgr, mask, &colour);
                after = KSMaskScoring::edgeColourError(colour, alpha, sample.colour, sample.alpha);
            }
            std::vector<std::string> into{sample.group, "all"};
            if (isPlain(sample.group))
                into.emplace_back("all plain");
            if (isBusy(sample.group))
                into.emplace_back("all busy");
            for (const std::string &g : into) {
                Tally &t = tallies[engine][g];
                t.add(s, wall);
                t.edgeBefore.push_back(before);
                t.edgeAfter.push_back(after);
            }
            std::printf("%-40.40s %-10.10s %7.3f %7.4f %8.2f %7.3f %7.2f %7.1f%s%s\n", sample.name.c_str(),
                        engine.c_str(), s.iou, s.mae, s.sad, s.boundaryF, wall, after, error.empty() ? "" : "  ",
                        error.c_str());
            if (!writeDir.empty() && !mask.empty())
                cv::imwrite(writeDir + "/" + sample.name + "-" + engine + ".png", mask);
            std::fflush(stdout);
        }
    }

    groups.push_back("all plain");
    groups.push_back("all busy");
    groups.push_back("all");
    std::printf("\n%-22s %6s", "group", "photos");
    for (const std::string &e : engines)
        std::printf("  %-22s", (e + " IoU/MAE/BF").c_str());
    std::printf("  %s - %s IoU\n", compared.c_str(), reference.c_str());
    bool neverBelow = true;
    for (const std::string &g : groups) {
        std::printf("%-22s %6zu", g.c_str(), tallies[reference][g].iou.size());
        for (const std::string &e : engines) {
            const Tally &t = tallies[e][g];
            std::printf("  %6.3f / %.4f / %5.3f", mean(t.iou), mean(t.mae), mean(t.boundaryF));
        }
        const double gain = mean(tallies[compared][g].iou) - mean(tallies[reference][g].iou);
        neverBelow = neverBelow && gain >= -0.005;
        std::printf("  %+.3f\n", gain);
    }
    auto finish = [&] { return gridFile.empty() || writeGrid(gridFile, options, engines, cutters, learned.get()) ? 0 : 1; };
    std::printf("\nmedian wall s per photo without the network's passes:");
    for (const std::string &e : engines)
        std::printf("  %s %.2f", e.c_str(), median(tallies[e]["all"].seconds));
    if (classicOnly) {
        std::printf("\n\nclassical engine on plain backdrops %.3f (goal >= 0.90: %s), before %.3f; "
                    "no group below before by more than 0.005 IoU: %s\n",
                    mean(tallies["classic"]["all plain"].iou), verdict(mean(tallies["classic"]["all plain"].iou) >= 0.90),
                    mean(tallies["classic-old"]["all plain"].iou), verdict(neverBelow));
        return finish();
    }

    std::printf("\n\nEdge colour (mean absolute difference, 0-255)\n");
    std::printf("  network alone, the photo's colours     %6.1f\n", mean(tallies["network"]["all"].edgeBefore));
    std::printf("  default, the photo's colours           %6.1f\n", mean(tallies["default"]["all"].edgeBefore));
    std::printf("  default, refined with its own colours  %6.1f  (goal <= 13: %s)\n",
                mean(tallies["default"]["all"].edgeAfter), verdict(mean(tallies["default"]["all"].edgeAfter) <= 13));
    for (const std::string &g : groups)
        std::printf("    %-22s before %6.1f  after %6.1f\n", g.c_str(), mean(tallies["default"][g].edgeBefore),
                    mean(tallies["default"][g].edgeAfter));

    const Tally &all = tallies["default"]["all"], &plain = tallies["default"]["all plain"],
                &busy = tallies["default"]["all busy"];
    std::printf("\nGoals for the default engine (means over the photos)\n");
    std::printf("  IoU %.3f (goal >= 0.965: %s), on plain backdrops %.3f (goal >= 0.98: %s), on busy ones %.3f "
                "(goal >= 0.95: %s)\n",
                mean(all.iou), verdict(mean(all.iou) >= 0.965), mean(plain.iou), verdict(mean(plain.iou) >= 0.98),
                mean(busy.iou), verdict(mean(busy.iou) >= 0.95));
    std::printf("  boundary F %.3f (goal >= 0.95: %s); MAE %.4f\n", mean(all.boundaryF),
                verdict(mean(all.boundaryF) >= 0.95), mean(all.mae));
    std::printf("  edge colour, refined %.1f (goal <= 13: %s)\n", mean(all.edgeAfter), verdict(mean(all.edgeAfter) <= 13));
    std::printf("  no group below the network alone by more than 0.005 IoU: %s; better overall: %s\n",
                verdict(neverBelow), verdict(mean(all.iou) > mean(tallies["network"]["all"].iou)));
    if (classic)
        std::printf("  classical engine on plain backdrops %.3f (goal >= 0.90: %s)\n",
                    mean(tallies["classic"]["all plain"].iou), verdict(mean(tallies["classic"]["all plain"].iou) >= 0.90));
    return finish();
}
