#pragma once

// A scored set made from Debian-packaged artwork (scripts/fetch-artwork.sh):
// clip-art people and objects with real alpha channels, rendered from their
// SVG at the photo's size, composited over plain studio backdrops, ID-photo
// backdrops and photographs. The alpha of the rendering is the exact truth.
// The same artwork folder and seed always give the same set.

#include "KSQualitySet.h"

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QImageReader>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace KSArtworkSet {

inline QStringList svgsIn(const QString &root, const QStringList &folders)
{
    QStringList files;
    for (const QString &folder : folders) {
        QDirIterator it(root + QStringLiteral("/usr/share/openclipart/svg/") + folder, {QStringLiteral("*.svg")},
                        QDir::Files);
        while (it.hasNext())
            files << it.next();
    }
    files.sort();
    return files;
}

// One subject, not a scatter of parts: the largest visible component holds
// nearly all of the visible pixels.
inline bool oneSubject(const cv::Mat &alpha)
{
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(alpha > 0, labels, stats, centroids, 8, CV_32S);
    int largest = 0, total = 0;
    for (int i = 1; i < count; ++i) {
        largest = std::max(largest, stats.at<int>(i, cv::CC_STAT_AREA));
        total += stats.at<int>(i, cv::CC_STAT_AREA);
    }
    return total > 0 && largest >= 0.97 * total;
}

// The artwork's straight-alpha colour (BGR, float) and alpha (8-bit) rendered
// to fit `box`; nothing for a drawing that makes no clean subject (a filled
// background rectangle, a scatter of small parts, too little to see).
struct Rendered
{
    cv::Mat colour;
    cv::Mat alpha;
};

inline std::optional<Rendered> renderAt(const QString &svg, QSize size)
{
    QImageReader reader(svg, "svg");
    reader.setScaledSize(size);
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    image = image.convertToFormat(QImage::Format_RGBA8888);
    const cv::Mat rgba(image.height(), image.width(), CV_8UC4, image.bits(), size_t(image.bytesPerLine()));
    Rendered r;
    cv::extractChannel(rgba, r.alpha, 3);
    cv::Mat bgr;
    cv::cvtColor(rgba, bgr, cv::COLOR_RGBA2BGR);
    bgr.convertTo(r.colour, CV_32FC3);
    return r;
}

inline std::optional<Rendered> render(const QString &svg, cv::Size box)
{
    const QSize natural = QImageReader(svg, "svg").size();
    if (!natural.isValid() || natural.isEmpty())
        return std::nullopt;
    // Drawn once to find the drawing inside its page, then again so that
    // the drawing itself fills the box.
    const QSize first = natural.scaled(box.width, box.height, Qt::KeepAspectRatio);
    auto probe = renderAt(svg, first);
    if (!probe)
        return std::nullopt;
    const cv::Rect inked = cv::boundingRect(probe->alpha > 0);
    if (inked.width < 8 || inked.height < 8)
        return std::nullopt;
    const double grow = std::min(double(box.width) / inked.width, double(box.height) / inked.height);
    auto r = renderAt(svg, QSize(int(first.width() * grow), int(first.height() * grow)));
    if (!r)
        return std::nullopt;
    const cv::Rect crop = cv::boundingRect(r->alpha > 0);
    if (crop.empty())
        return std::nullopt;
    r->alpha = r->alpha(crop).clone();
    r->colour = r->colour(crop).clone();

    if (!oneSubject(r->alpha))
        return std::nullopt;
    // A filled drawing, not line art: most of its outline's inside is inked.
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(r->alpha > 0, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    cv::Mat filled = cv::Mat::zeros(r->alpha.size(), CV_8U);
    cv::drawContours(filled, contours, -1, 255, cv::FILLED);
    const double inside = cv::countNonZero(filled);
    if (cv::countNonZero(r->alpha > 250) < 0.75 * inside)
        return std::nullopt;
    // Not a filled background rectangle either.
    if (inside > 0.9 * double(r->alpha.total()) && cv::countNonZero(r->alpha == 255) > 0.9 * double(r->alpha.total()))
        return std::nullopt;
    return r;
}

// A photograph of the package, cropped to the frame's proportions.
inline cv::Mat photoBackdrop(const QString &root, int index, cv::Size size)
{
    QStringList photos = QDir(root + QStringLiteral("/usr/share/backgrounds/mate/nature"))
                             .entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    if (photos.isEmpty())
        return {};
    const QString path = root + QStringLiteral("/usr/share/backgrounds/mate/nature/") + photos.at(index % photos.size());
    const cv::Mat photo = cv::imread(path.toStdString(), cv::IMREAD_COLOR);
    if (photo.empty())
        return {};
    const double scale = std::max(double(size.width) / photo.cols, double(size.height) / photo.rows);
    cv::Mat scaled;
    cv::resize(photo, scaled, cv::Size(), scale, scale, scale < 1 ? cv::INTER_AREA : cv::INTER_CUBIC);
    const cv::Rect crop((scaled.cols - size.width) / 2, (scaled.rows - size.height) / 2, size.width, size.height);
    cv::Mat backdrop;
    scaled(crop).convertTo(backdrop, CV_32FC3);
    return backdrop;
}

// ID photos: white, light blue, blue, red and grey backdrops, evenly lit.
inline cv::Mat idBackdrop(int index, cv::Size size)
{
    static const cv::Scalar colours[] = {{250, 250, 250}, {240, 222, 200}, {200, 140, 60}, {50, 40, 200}, {205, 205, 205}};
    const cv::Scalar colour = colours[index % int(std::size(colours))];
    cv::Mat backdrop(size, CV_32FC3);
    for (int y = 0; y < size.height; ++y)
        backdrop.row(y).setTo(colour * (1.0 - 0.04 * y / size.height));
    return backdrop;
}

// Where a subject of size `s` stands in the frame: anywhere, or on a
// studio's floor, a little above the bottom edge. Left to right, so that
// the random numbers are drawn in one order on every compiler.
inline cv::Point placement(cv::RNG &rng, cv::Size frame, cv::Size s, bool onTheFloor)
{
    const int x = int(rng.uniform(0.0, 1.0) * (frame.width - s.width));
    const int y = onTheFloor ? frame.height - s.height - int(frame.height * rng.uniform(0.03, 0.15))
                             : int(rng.uniform(0.0, 1.0) * (frame.height - s.height));
    return {x, y};
}

// A plain studio backdrop whose colour keeps clear of the subject at `at`.
inline cv::Mat studioBackdrop(cv::RNG &rng, cv::Size size, const cv::Mat &alpha, cv::Point at)
{
    cv::Mat footprint = cv::Mat::zeros(size, CV_8U);
    alpha.copyTo(footprint(cv::Rect(at, alpha.size())));
    cv::Scalar colour;
    return KSQualitySet::plainBackdrop(rng, size, footprint, &colour);
}

inline std::string sampleName(const std::string &group, int index, const std::string &subject)
{
    return group + "-" + (index < 10 ? "0" : "") + std::to_string(index) + "-" + subject;
}

inline KSQualitySample compose(const std::string &name, const std::string &group, KSEraserType type,
                               const Rendered &subject, cv::Point at, const cv::Mat &backdrop, cv::RNG &rng)
{
    const cv::Size size = backdrop.size();
    KSQualitySample sample;
    sample.name = name;
    sample.group = group;
    sample.type = type;
    sample.alpha = cv::Mat::zeros(size, CV_8U);
    cv::Mat colour(size, CV_32FC3, cv::Scalar::all(0));
    // The part of the rendering inside the frame (a bust runs off the bottom).
    const cv::Rect frame(0, 0, size.width, size.height);
    const cv::Rect placed = cv::Rect(at, subject.alpha.size()) & frame;
    const cv::Rect source(placed.tl() - at, placed.size());
    subject.alpha(source).copyTo(sample.alpha(placed));
    subject.colour(source).copyTo(colour(placed));

    sample.bgr = KSQualitySet::photograph(colour, backdrop, sample.alpha, rng);
    colour.convertTo(sample.colour, CV_8UC3);
    return sample;
}

// perGroup photos in each of "studio", "id-photo" and "busy-photo"; empty
// when the artwork folder lacks the packages.
inline std::vector<KSQualitySample> make(const QString &root, int perGroup, std::uint64_t seed = 2024)
{
    const QStringList people = svgsIn(root, {QStringLiteral("people")});
    const QStringList objects = svgsIn(root, {QStringLiteral("animals"), QStringLiteral("containers"),
                                              QStringLiteral("electronics"), QStringLiteral("food"),
                                              QStringLiteral("tools"), QStringLiteral("transportation"),
                                              QStringLiteral("plants"), QStringLiteral("recreation")});
    if (people.isEmpty() || objects.isEmpty() || photoBackdrop(root, 0, {64, 64}).empty())
        return {};
    static const cv::Size sizes[] = {{1600, 1200}, {1200, 1600}, {2000, 1333}, {1500, 1500}, {1333, 2000}, {1800, 1200}};
    cv::RNG rng(seed);
    int nextPerson = int(rng.uniform(0, int(people.size()))), nextObject = int(rng.uniform(0, int(objects.size())));
    // tallOnly: a standing figure, whose upper part makes a bust.
    auto pick = [&](KSEraserType type, cv::Size box, bool tallOnly = false) {
        const QStringList &list = type == KSEraserType::person ? people : objects;
        int &next = type == KSEraserType::person ? nextPerson : nextObject;
        for (int tries = 0; tries < list.size(); ++tries) {
            // A stride through the sorted list spreads the picks over authors and themes.
            next = (next + 37) % int(list.size());
            auto r = render(list.at(next), box);
            if (r && (!tallOnly || r->alpha.rows >= 2 * r->alpha.cols))
                return std::make_pair(*r, QFileInfo(list.at(next)).completeBaseName().left(18).toStdString());
        }
        return std::make_pair(Rendered{}, std::string());
    };

    std::vector<KSQualitySample> set;
    for (const char *group : {"studio", "id-photo", "busy-photo"}) {
        for (int i = 0; i < perGroup; ++i) {
            const std::string g = group;
            const cv::Size size = sizes[(i + set.size()) % std::size(sizes)];
            const KSEraserType type = g == "id-photo" || i % 2 == 0 ? KSEraserType::person : KSEraserType::object;
            cv::Mat backdrop;
            cv::Point at;
            std::pair<Rendered, std::string> subject;
            if (g == "id-photo") {
                // Head and shoulders: the figure drawn so large that its upper
                // part fills the frame and the rest runs off the bottom.
                subject = pick(type, {int(size.width * 1.3), int(size.height * 2.2)}, true);
                if (subject.second.empty())
                    continue;
                at = {(size.width - subject.first.alpha.cols) / 2, int(size.height * 0.1)};
                backdrop = idBackdrop(i, size);
            } else {
                const double fill = rng.uniform(0.55, 0.8);
                subject = pick(type, {int(size.width * fill), int(size.height * fill)});
                if (subject.second.empty())
                    continue;
                at = placement(rng, size, subject.first.alpha.size(), g == "studio");
                backdrop = g == "studio" ? studioBackdrop(rng, size, subject.first.alpha, at)
                                         : photoBackdrop(root, i, size);
            }
            set.push_back(compose(sampleName(g, i, subject.second), g, type, subject.first, at, backdrop, rng));
        }
    }
    return set;
}


// Photographs of real things with their own alpha (tuxpaint-stamps-default):
// fruit, animals, tools, vehicles and a few people, cut out by hand. Drawn
// stamps are left out: their folders say so, and their flat colours show it.
inline QStringList photoStampsIn(const QString &root)
{
    QStringList files;
    QDirIterator it(root + QStringLiteral("/usr/share/tuxpaint/stamps"), {QStringLiteral("*.png")}, QDir::Files,
                    QDirIterator::Subdirectories);
    static const QStringList drawn = {QStringLiteral("/cartoon"), QStringLiteral("/symbols/"),
                                      QStringLiteral("/roadsigns/"), QStringLiteral("/flags/"),
                                      QStringLiteral("/naturalforces/")};
    while (it.hasNext()) {
        const QString file = it.next();
        if (std::none_of(drawn.begin(), drawn.end(), [&](const QString &d) { return file.contains(d); }))
            files << file;
    }
    files.sort();
    return files;
}

inline bool isPersonStamp(const QString &file)
{
    return file.contains(QStringLiteral("/people/")) || file.contains(QStringLiteral("paratrooper"))
           || file.contains(QStringLiteral("/sports/"));
}

// The stamp scaled to fit `box` (at most 2.5 times its size: beyond that it
// looks like no photograph); nothing unless it is one photographed subject.
inline std::optional<Rendered> loadPhotoStamp(const QString &file, cv::Size box)
{
    const cv::Mat rgba = cv::imread(file.toStdString(), cv::IMREAD_UNCHANGED);
    if (rgba.empty() || rgba.channels() != 4 || rgba.depth() != CV_8U)
        return std::nullopt;
    cv::Mat alpha;
    cv::extractChannel(rgba, alpha, 3);
    const cv::Rect crop = cv::boundingRect(alpha > 0);
    if (std::max(crop.width, crop.height) < 250 || std::min(crop.width, crop.height) < 60)
        return std::nullopt;
    const cv::Mat a = alpha(crop), pixels = rgba(crop);

    if (!oneSubject(a))
        return std::nullopt;
    // A photograph has many colours; a drawing a few flat ones.
    std::vector<std::uint32_t> colours;
    for (int y = 0; y < a.rows; ++y)
        for (int x = 0; x < a.cols; ++x)
            if (a.at<uchar>(y, x) == 255) {
                const cv::Vec4b p = pixels.at<cv::Vec4b>(y, x);
                colours.push_back(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16);
            }
    if (colours.size() < 5000)
        return std::nullopt;
    std::sort(colours.begin(), colours.end());
    const double distinct = double(std::unique(colours.begin(), colours.end()) - colours.begin());
    if (distinct < 0.15 * double(colours.size()))
        return std::nullopt;

    const double scale = std::min({2.5, double(box.width) / crop.width, double(box.height) / crop.height});
    cv::Mat scaled;
    cv::resize(pixels, scaled, cv::Size(), scale, scale, scale < 1 ? cv::INTER_AREA : cv::INTER_CUBIC);
    Rendered r;
    cv::extractChannel(scaled, r.alpha, 3);
    cv::Mat bgr;
    cv::cvtColor(scaled, bgr, cv::COLOR_BGRA2BGR);
    bgr.convertTo(r.colour, CV_32FC3);
    return r;
}

// perGroup photos in each of "photo-studio" (a photographed subject on a
// plain backdrop) and "photo-busy" (on a photograph); empty without the stamps.
inline std::vector<KSQualitySample> makePhotoSubjects(const QString &root, int perGroup, std::uint64_t seed = 2024)
{
    const QStringList stamps = photoStampsIn(root);
    if (stamps.isEmpty() || photoBackdrop(root, 0, {64, 64}).empty())
        return {};
    QStringList people, objects;
    for (const QString &file : stamps)
        (isPersonStamp(file) ? people : objects) << file;
    static const cv::Size sizes[] = {{1200, 900}, {900, 1200}, {1200, 800}, {1000, 1000}, {800, 1200}};
    cv::RNG rng(seed + 7);
    int nextPerson = 0, nextObject = int(rng.uniform(0, int(objects.size())));
    auto pick = [&](bool person, cv::Size box) {
        const QStringList &list = person && !people.isEmpty() ? people : objects;
        int &next = person && !people.isEmpty() ? nextPerson : nextObject;
        for (int tries = 0; tries < list.size(); ++tries) {
            next = (next + (person ? 1 : 29)) % int(list.size());
            if (auto r = loadPhotoStamp(list.at(next), box))
                return std::make_pair(*r, QFileInfo(list.at(next)).completeBaseName().left(18).toStdString());
        }
        return std::make_pair(Rendered{}, std::string());
    };

    std::vector<KSQualitySample> set;
    for (const char *group : {"photo-studio", "photo-busy"}) {
        for (int i = 0; i < perGroup; ++i) {
            const std::string g = group;
            const cv::Size size = sizes[(i + set.size()) % std::size(sizes)];
            const bool person = i % 4 == 0;
            const double fill = rng.uniform(0.5, 0.8);
            auto subject = pick(person, {int(size.width * fill), int(size.height * fill)});
            if (subject.second.empty())
                continue;
            const bool studio = g == "photo-studio";
            const cv::Point at = placement(rng, size, subject.first.alpha.size(), studio);
            const cv::Mat backdrop = studio ? studioBackdrop(rng, size, subject.first.alpha, at)
                                            : photoBackdrop(root, i + 5, size);
            set.push_back(compose(sampleName(g, i, subject.second), g,
                                  person ? KSEraserType::person : KSEraserType::object, subject.first, at, backdrop,
                                  rng));
        }
    }
    return set;
}

} // namespace KSArtworkSet
