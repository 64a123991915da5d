// Subjects that fill or cross the frame: the scored set's photos cropped so
// that the subject crosses every side ("fill-") or one side ("cross-"),
// scored with their true alpha, and photos given by name (share of the
// picture kept, no truth). For each: the network alone, the default engine
// without and with the frame-fill rule, the network alone on the photo
// padded with grey and with its mirrored border (what the rule could have
// chosen), and what the rule looked at.
//   bench_engine_framefill [--per-group N] [--seed S] [--only PREFIX] [--originals]
//                          [--photos A.jpg,B.jpg:person] [--write DIR]
// --originals: the scored set's photos as they are, every group (the padded
//   passes the rule did not ask for are made for the framefill groups alone).
// The network's maps, the padded passes' too, are kept in the cache.
#include "KSClassicCutoutEngine.h"
#include "KSFrameFill.h"
#include "KSHybridCutoutEngine.h"
#include "KSLearnedModel.h"
#include "KSMaskScore.h"
#include "KSScoredSet.h"

#include <QFileInfo>
#include <QGuiApplication>

#include <opencv2/imgcodecs.hpp>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>

namespace {
using KSMaskScoring::mean;

// The photo cropped to the subject's box, shrunk on every side or cut on one.
KSQualitySample cropped(const KSQualitySample &sample, bool fill, int side)
{
    const cv::Rect box = cv::boundingRect(sample.alpha >= 128);
    cv::Rect crop;
    if (fill) {
        const int dx = box.width * 12 / 100, dy = box.height * 12 / 100;
        crop = cv::Rect(box.x + dx, box.y + dy, box.width - 2 * dx, box.height - 2 * dy);
    } else {
        const int mx = box.width * 15 / 100, my = box.height * 15 / 100;
        crop = cv::Rect(box.x - mx, box.y - my, box.width + 2 * mx, box.height + 2 * my);
        const int cx = box.width / 4, cy = box.height / 4;
        switch (side % 3) {
        case 0: crop.width = box.x + box.width - cx - crop.x; break; // right side cut
        case 1: crop.x = box.x + cx; crop.width = box.x + box.width + mx - crop.x; break; // left
        default: crop.y = box.y + cy; crop.height = box.y + box.height + my - crop.y; break; // top
        }
    }
    crop &= cv::Rect(cv::Point(), sample.bgr.size());
    KSQualitySample out;
    out.name = std::string(fill ? "fill-" : "cross-") + sample.name;
    out.group = std::string(fill ? "fill-" : "cross-")
                + (sample.group.find("busy") != std::string::npos || sample.group == "grey" ? "busy" : "studio");
    out.type = sample.type;
    out.bgr = sample.bgr(crop).clone();
    out.alpha = sample.alpha(crop).clone();
    if (!sample.colour.empty())
        out.colour = sample.colour(crop).clone();
    return out;
}

cv::Mat stretched(const cv::Mat &map, cv::Size size)
{
    cv::Mat s, mask;
    cv::resize(map, s, size, 0, 0, cv::INTER_LINEAR);
    s.convertTo(mask, CV_8U, 255.0);
    return mask;
}

using KSMaskScoring::keptShare;
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    KSScoredSet::Options options;
    options.perGroup = 4;
    std::string writeDir, photos;
    bool originals = false;
    for (int i = 1; i < argc; ++i) {
        if (options.take(argc, argv, i))
            continue;
        if (i + 1 < argc && !std::strcmp(argv[i], "--write"))
            writeDir = argv[++i];
        else if (!std::strcmp(argv[i], "--originals"))
            originals = true;
        else if (i + 1 < argc && !std::strcmp(argv[i], "--photos"))
            photos = argv[++i];
    }
    const std::shared_ptr<KSLearnedModel> learned = options.loadModel();
    if (!learned)
        return 1;
    std::vector<KSQualitySample> set;
    if (photos.empty()) {
        const std::vector<KSQualitySample> scored = options.load();
        int index = 0;
        for (const KSQualitySample &s : scored) {
            if (originals) {
                set.push_back(s);
                continue;
            }
            if (s.group == "clipart")
                continue;
            set.push_back(cropped(s, true, index));
            set.push_back(cropped(s, false, index));
            ++index;
        }
    } else {
        for (const QString &path : QString::fromStdString(photos).split(u',')) {
            KSQualitySample s;
            // "photo.jpg:person" for a person.
            const QString file = path.section(u':', 0, 0);
            if (path.section(u':', 1) == QLatin1String("person"))
                s.type = KSEraserType::person;
            s.name = "photo-" + QFileInfo(file).completeBaseName().toStdString();
            s.group = "photos";
            s.bgr = cv::imread(file.toStdString(), cv::IMREAD_COLOR);
            if (!s.bgr.empty())
                set.push_back(std::move(s));
        }
    }

    KSClassicCutoutEngine classic;
    KSHybridCutoutEngine::Rules off, on;
    off.frameFill = false;
    on.frameFill = true;
    std::printf("%-44s %6s %6s %6s %6s %6s  %5s %5s %5s %5s  %s %5s\n", "photo", "net", "off", "on", "grey",
                "mirror", "kept", "unsur", "tex", "bdet", "fired", "s");
    std::map<std::string, std::map<std::string, std::vector<double>>> tallies;
    std::vector<std::string> groups;
    std::vector<double> lookSeconds;
    for (const KSQualitySample &sample : set) {
        if (std::find(groups.begin(), groups.end(), sample.group) == groups.end())
            groups.push_back(sample.group);
        const auto [map, mirrored] = options.networkMaps(sample, *learned);
        if (map.empty())
            continue;
        const auto passes = options.passesOf(sample, *learned);
        std::map<std::string, cv::Mat> masks;
        masks["net"] = stretched(map, sample.bgr.size());
        masks["off"] = KSHybridCutoutEngine::fromMaps(sample.bgr, map, mirrored, sample.type, off, &classic, nullptr, passes);
        const auto start = std::chrono::steady_clock::now();
        masks["on"] = KSHybridCutoutEngine::fromMaps(sample.bgr, map, mirrored, sample.type, on, &classic, nullptr, passes);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        masks["grey"] = masks["mirror"] = masks["net"];
        for (const auto &[key, padding] : {std::pair{"grey", KSFrameFill::Padding::grey},
                                           std::pair{"mirror", KSFrameFill::Padding::mirror}}) {
            if (originals && sample.group.rfind("framefill", 0) != 0)
                break; // what the rule chose alone
            const cv::Mat padded = KSFrameFill::paddedPass(sample.bgr, padding, passes, sample.bgr.size());
            if (!padded.empty())
                masks[key] = stretched(padded, sample.bgr.size());
        }
        // What the rule looked at, as it does.
        const double scale = std::min(1.0, double(std::max(map.cols, map.rows)) / std::max(sample.bgr.cols, sample.bgr.rows));
        const cv::Size work(int(std::lround(sample.bgr.cols * scale)), int(std::lround(sample.bgr.rows * scale)));
        cv::Mat soft, small;
        const bool both = KSHybridCutoutEngine::wantsMirroredPass(map, on) && !mirrored.empty();
        cv::Mat combined = both ? cv::Mat(0.5 * (map + mirrored)) : map;
        cv::resize(combined, soft, work, 0, 0, cv::INTER_LINEAR);
        cv::resize(sample.bgr, small, work, 0, 0, cv::INTER_AREA);
        const auto lookStart = std::chrono::steady_clock::now();
        const KSFrameFill::Look look = KSFrameFill::look(small, soft, KSClassicCutoutEngine::plainBackdrop(small));
        lookSeconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - lookStart).count());
        const KSFrameFill::Padding chosen = KSFrameFill::choose(look);
        const char *fired = chosen == KSFrameFill::Padding::grey ? "grey" : chosen == KSFrameFill::Padding::mirror ? "mirror" : "-";

        std::printf("%-44.44s", sample.name.c_str());
        for (const char *e : {"net", "off", "on", "grey", "mirror"}) {
            const double v = sample.alpha.empty() ? keptShare(masks[e]) : KSMaskScoring::score(masks[e], sample.alpha).iou;
            tallies[sample.group][e].push_back(v);
            std::printf(" %6.3f", v);
            if (!writeDir.empty())
                cv::imwrite(writeDir + "/" + sample.name + "-" + e + ".png", masks[e]);
        }
        tallies[sample.group]["fired"].push_back(chosen == KSFrameFill::Padding::none ? 0 : 1);
        std::printf("  %5.2f %5.2f %5.2f %5.1f  %-6s %5.2f\n", look.kept, look.unsure, look.texture, look.borderDetail,
                    fired, seconds);
        if (!writeDir.empty())
            cv::imwrite(writeDir + "/" + sample.name + ".jpg", sample.bgr);
        std::fflush(stdout);
    }
    std::printf("\n%-16s %6s %6s %6s %6s %6s %6s %6s\n", "group", "photos", "net", "off", "on", "grey", "mirror", "fired");
    for (const std::string &g : groups) {
        auto &t = tallies[g];
        std::printf("%-16s %6zu %6.3f %6.3f %6.3f %6.3f %6.3f %6.0f\n", g.c_str(), t["net"].size(), mean(t["net"]),
                    mean(t["off"]), mean(t["on"]), mean(t["grey"]), mean(t["mirror"]),
                    mean(t["fired"]) * double(t["fired"].size()));
    }
    std::sort(lookSeconds.begin(), lookSeconds.end());
    if (!lookSeconds.empty())
        std::printf("\nthe rule's look at the first map: median %.1f ms, worst %.1f ms (a padded pass, when it fires, "
                    "is one forward pass more)\n",
                    KSMaskScoring::median(lookSeconds) * 1000, lookSeconds.back() * 1000);
    return 0;
}
