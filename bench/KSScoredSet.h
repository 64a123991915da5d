#pragma once

// The scored set that stands for what people bring: 3D-rendered people and
// products (scripts/fetch-scored-set.sh renders them with POV-Ray) and
// photographed subjects (tuxpaint-stamps-default), each with its exact alpha
// and its own colours, over plain studio, gradient and ID-photo backdrops
// (some with a soft contact shadow, which belongs to the backdrop) and over
// photographs (some with a salient thing of their own beside or behind the
// subject); strong gradients and vignettes; greyscale photos; drawn clip
// art as one small group. The same
// folder and seed always give the same set.

#include "KSArtworkSet.h"
#include "KSHybridCutoutEngine.h"
#include "KSLearnedModel.h"
#include "KSLocalService.h"

#include <QDir>
#include <QStandardPaths>

#include <opencv2/imgcodecs.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace KSScoredSet {

using KSArtworkSet::Rendered;

// A render's straight colours and alpha, cropped to the subject; `keepTop`
// of its height kept (a bust is the top of a standing figure).
inline std::optional<Rendered> loadRender(const QString &file, double keepTop = 1.0)
{
    const cv::Mat rgba = cv::imread(file.toStdString(), cv::IMREAD_UNCHANGED);
    if (rgba.empty() || rgba.channels() != 4)
        return std::nullopt;
    cv::Mat alpha;
    cv::extractChannel(rgba, alpha, 3);
    cv::Rect crop = cv::boundingRect(alpha > 0);
    if (crop.width < 16 || crop.height < 16)
        return std::nullopt;
    crop.height = std::max(16, int(crop.height * keepTop));
    Rendered r;
    r.alpha = alpha(crop).clone();
    cv::Mat bgr;
    cv::cvtColor(rgba(crop), bgr, cv::COLOR_BGRA2BGR);
    bgr.convertTo(r.colour, CV_32FC3);
    return r;
}

inline Rendered scaled(const Rendered &r, double scale)
{
    Rendered s;
    const int interpolation = scale < 1 ? cv::INTER_AREA : cv::INTER_CUBIC;
    cv::resize(r.alpha, s.alpha, cv::Size(), scale, scale, interpolation);
    cv::resize(r.colour, s.colour, cv::Size(), scale, scale, interpolation);
    return s;
}

// Scaled to fit `box`.
inline Rendered fitted(const Rendered &r, cv::Size box)
{
    return scaled(r, std::min(double(box.width) / r.alpha.cols, double(box.height) / r.alpha.rows));
}

// A studio backdrop: one colour with a gentle fall-off, or a vertical
// gradient between two related colours (float BGR).
inline cv::Mat studioBackdrop(cv::RNG &rng, cv::Size size)
{
    static const cv::Scalar colours[] = {{246, 246, 246}, {228, 230, 232}, {40, 40, 42},   {150, 150, 150},
                                         {200, 160, 90},  {235, 225, 210}, {90, 200, 240}, {205, 230, 210},
                                         {60, 110, 200},  {170, 120, 200}};
    const cv::Scalar top = colours[rng.uniform(0, int(std::size(colours)))];
    const bool gradient = rng.uniform(0, 3) == 0;
    const cv::Scalar bottom = gradient ? top * rng.uniform(0.45, 0.75) : top;
    cv::Mat backdrop(size, CV_32FC3);
    const cv::Point2f centre(size.width * 0.5f, size.height * 0.45f);
    const double radius = std::hypot(size.width, size.height) * 0.6;
    for (int y = 0; y < size.height; ++y) {
        const double t = double(y) / size.height;
        auto *row = backdrop.ptr<cv::Vec3f>(y);
        for (int x = 0; x < size.width; ++x) {
            const double vignette = 1.0 - 0.07 * std::pow(std::hypot(x - centre.x, y - centre.y) / radius, 2.0);
            const cv::Scalar c = (top * (1 - t) + bottom * t) * vignette;
            row[x] = cv::Vec3f(float(c[0]), float(c[1]), float(c[2]));
        }
    }
    return backdrop;
}

// A plain backdrop that is not one colour, as studios and sweeps are lit:
// `kind` 0 a vertical sweep falling off strongly to the bottom, 1 light
// from one side, 2 a strong vignette, 3 an off-centre pool of light (float
// BGR). Greys mostly, a few colours.
inline cv::Mat gradientBackdrop(cv::RNG &rng, cv::Size size, int kind)
{
    static const cv::Scalar colours[] = {{235, 235, 235}, {200, 200, 200}, {160, 160, 162}, {120, 120, 120},
                                         {250, 250, 250}, {215, 225, 235}, {225, 200, 170}, {95, 95, 100}};
    const cv::Scalar lit = colours[rng.uniform(0, int(std::size(colours)))];
    const double depth = rng.uniform(0.3, 0.5); // how far the light falls off
    const double angle = rng.uniform(0.0, 2 * CV_PI);
    const cv::Point2d spot(size.width * rng.uniform(0.25, 0.75), size.height * rng.uniform(0.2, 0.6));
    const double diagonal = std::hypot(size.width, size.height);
    cv::Mat backdrop(size, CV_32FC3);
    for (int y = 0; y < size.height; ++y) {
        auto *row = backdrop.ptr<cv::Vec3f>(y);
        for (int x = 0; x < size.width; ++x) {
            const double u = double(x) / size.width, v = double(y) / size.height;
            double light = 1.0;
            switch (kind) {
            case 0: light = 1.0 - depth * std::pow(v, 1.3); break;
            case 1: light = 1.0 - depth * (0.5 + 0.5 * ((u - 0.5) * std::cos(angle) + (v - 0.5) * std::sin(angle)) * 1.4); break;
            case 2: light = 1.0 - depth * std::pow(std::hypot(u - 0.5, v - 0.5) / std::hypot(0.5, 0.5), 2.0); break;
            default: light = 1.0 - depth * (1.0 - std::exp(-std::pow(std::hypot(x - spot.x, y - spot.y) / (0.45 * diagonal), 2.0))); break;
            }
            const cv::Scalar c = lit * std::clamp(light, 0.3, 1.0);
            row[x] = cv::Vec3f(float(c[0]), float(c[1]), float(c[2]));
        }
    }
    return backdrop;
}

// A soft contact shadow on the backdrop under a subject standing at `at`:
// a dark, blurred ellipse under its base and a flattened cast shadow.
inline void addContactShadow(cv::Mat &backdrop, const cv::Mat &alpha, cv::Point at, cv::RNG &rng)
{
    const cv::Size size = backdrop.size();
    cv::Mat footprint = cv::Mat::zeros(size, CV_32F);
    const cv::Rect box = cv::Rect(at, alpha.size()) & cv::Rect(0, 0, size.width, size.height);
    if (box.empty())
        return;
    // The base: the lowest tenth of the subject.
    const cv::Rect base(0, alpha.rows * 9 / 10, alpha.cols, alpha.rows - alpha.rows * 9 / 10);
    const cv::Rect baseInk = cv::boundingRect(alpha(base) > 64);
    const int baseY = at.y + alpha.rows;
    if (baseInk.width > 0) {
        const cv::Point centre(at.x + baseInk.x + baseInk.width / 2, baseY);
        cv::ellipse(footprint, centre, {int(baseInk.width * 0.62), std::max(3, int(alpha.rows * 0.035))}, 0, 0, 360,
                    1.0, cv::FILLED, cv::LINE_AA);
    }
    // The cast shadow: the subject squashed onto the floor, leaning aside.
    cv::Mat cast;
    alpha.convertTo(cast, CV_32F, 0.55 / 255.0);
    const double squash = rng.uniform(0.12, 0.3), lean = rng.uniform(-0.8, 0.8);
    const cv::Mat warp = (cv::Mat_<double>(2, 3) << 1, lean * squash, at.x - lean * squash * alpha.rows, 0, squash,
                          baseY - squash * alpha.rows);
    cv::Mat projected;
    cv::warpAffine(cast, projected, warp, size);
    footprint = cv::max(footprint, projected);
    cv::GaussianBlur(footprint, footprint, cv::Size(), std::max(2.0, size.width * rng.uniform(0.008, 0.02)));
    const double strength = rng.uniform(0.3, 0.55);
    cv::Mat darkening;
    cv::merge(std::vector<cv::Mat>(3, 1.0 - strength * footprint), darkening);
    backdrop = backdrop.mul(darkening);
}

// A photograph of the package, zoomed, shifted and mirrored by chance.
inline cv::Mat busyBackdrop(const QString &root, int index, cv::Size size, cv::RNG &rng)
{
    const double zoom = rng.uniform(1.0, 1.6);
    const cv::Size larger(int(size.width * zoom), int(size.height * zoom));
    cv::Mat photo = KSArtworkSet::photoBackdrop(root, index, larger);
    if (photo.empty())
        return {};
    const cv::Rect crop(rng.uniform(0, larger.width - size.width + 1), rng.uniform(0, larger.height - size.height + 1),
                        size.width, size.height);
    cv::Mat backdrop = photo(crop).clone();
    if (rng.uniform(0, 2))
        cv::flip(backdrop, backdrop, 1);
    return backdrop;
}

// A salient thing of the backdrop's own (a photographed plant, animal or
// object) pasted into it beside or behind the subject at `at`, touching it
// or standing at the frame's edge. It is backdrop: the truth leaves it out.
inline void addSalientThing(cv::Mat &backdrop, const Rendered &thing, const cv::Rect &subject, cv::RNG &rng)
{
    const cv::Size size = backdrop.size();
    cv::Point at;
    switch (rng.uniform(0, 3)) {
    case 0: // touching the subject's side, partly behind it
        at = {subject.x + subject.width - thing.alpha.cols / 4, subject.y + subject.height / 3};
        break;
    case 1: // behind the subject's other side
        at = {subject.x - thing.alpha.cols * 3 / 4, subject.y + subject.height / 5};
        break;
    default: // cut by the frame, beside the subject
        at = {rng.uniform(0, 2) ? size.width - thing.alpha.cols * 2 / 3 : -thing.alpha.cols / 3,
              rng.uniform(0, std::max(1, size.height - thing.alpha.rows))};
        break;
    }
    const cv::Rect frame(0, 0, size.width, size.height);
    const cv::Rect placed = cv::Rect(at, thing.alpha.size()) & frame;
    if (placed.empty())
        return;
    const cv::Rect source(placed.tl() - at, placed.size());
    cv::Mat a, a3;
    thing.alpha(source).convertTo(a, CV_32F, 1.0 / 255.0);
    cv::merge(std::vector<cv::Mat>(3, a), a3);
    cv::Mat region = backdrop(placed);
    region = thing.colour(source).mul(a3) + region.mul(cv::Scalar::all(1.0) - a3);
}

inline QStringList rendersIn(const QString &root, const QString &prefix)
{
    QStringList files = QDir(root + QStringLiteral("/renders"))
                            .entryList({prefix + QStringLiteral("-*.png")}, QDir::Files, QDir::Name);
    for (QString &file : files)
        file = root + QStringLiteral("/renders/") + file;
    return files;
}

inline void toGrey(KSQualitySample &sample)
{
    for (cv::Mat *picture : {&sample.bgr, &sample.colour}) {
        cv::Mat grey;
        cv::cvtColor(*picture, grey, cv::COLOR_BGR2GRAY);
        cv::cvtColor(grey, *picture, cv::COLOR_GRAY2BGR);
    }
}

// perGroup photos in each group (clip art: half as many); empty without the
// renders or the artwork.
inline std::vector<KSQualitySample> make(const QString &root, int perGroup, std::uint64_t seed = 2024)
{
    const QStringList people = rendersIn(root, QStringLiteral("person")),
                      products = rendersIn(root, QStringLiteral("product")),
                      stamps = KSArtworkSet::photoStampsIn(root);
    if (people.isEmpty() || products.isEmpty() || stamps.isEmpty()
        || KSArtworkSet::photoBackdrop(root, 0, {64, 64}).empty())
        return {};
    QStringList stampPeople, stampThings;
    for (const QString &file : stamps)
        (KSArtworkSet::isPersonStamp(file) ? stampPeople : stampThings) << file;

    static const cv::Size sizes[] = {{1200, 900}, {900, 1200}, {1600, 1067}, {1000, 1000}, {1333, 2000}, {2000, 1500}};
    cv::RNG rng(seed + 101);
    int nextPerson = 0, nextProduct = 0, nextStamp = 0, nextThing = 17;

    struct Subject
    {
        Rendered look;
        std::string name;
        KSEraserType type = KSEraserType::object;
    };
    // framing: 0 full length, 1 waist up, 2 head and shoulders (both cut by
    // the bottom edge).
    auto person = [&](int framing) -> Subject {
        static const double keep[] = {1.0, 0.56, 0.3};
        const QString file = people.at(nextPerson++ % people.size());
        auto r = loadRender(file, keep[framing]);
        return {r ? *r : Rendered{}, QFileInfo(file).completeBaseName().toStdString(), KSEraserType::person};
    };
    auto product = [&]() -> Subject {
        // A stride through the kinds, so that neighbours differ.
        const QString file = products.at((nextProduct++ * 9) % products.size());
        auto r = loadRender(file);
        return {r ? *r : Rendered{}, QFileInfo(file).completeBaseName().toStdString(), KSEraserType::object};
    };
    auto stamp = [&](bool personWanted, cv::Size box) -> Subject {
        const QStringList &list = personWanted && !stampPeople.isEmpty() ? stampPeople : stampThings;
        for (int tries = 0; tries < list.size(); ++tries) {
            const QString file = list.at((nextStamp += personWanted ? 1 : 29) % list.size());
            if (auto r = KSArtworkSet::loadPhotoStamp(file, box))
                return {*r, QFileInfo(file).completeBaseName().left(18).toStdString(),
                        personWanted ? KSEraserType::person : KSEraserType::object};
        }
        return {};
    };
    auto salientThing = [&](cv::Size box) -> Rendered {
        for (int tries = 0; tries < stampThings.size(); ++tries) {
            const QString file = stampThings.at((nextThing += 13) % stampThings.size());
            if (auto r = KSArtworkSet::loadPhotoStamp(file, box))
                return *r;
        }
        return {};
    };

    std::vector<KSQualitySample> set;
    // One photo of a group: the subject fitted and placed, the backdrop
    // made, the two composited.
    auto add = [&](const std::string &group, int index, Subject subject, bool busy, bool cutByBottom,
                   cv::Size size, bool grey) {
        if (subject.look.alpha.empty())
            return;
        const double fill = rng.uniform(0.5, 0.82);
        Rendered look;
        cv::Point at;
        if (cutByBottom) {
            // As wide as a bust is in a portrait, running off the bottom edge.
            look = scaled(subject.look, std::min(size.width * rng.uniform(0.55, 0.85) / subject.look.alpha.cols,
                                                 size.height * fill / subject.look.alpha.rows));
            at = {(size.width - look.alpha.cols) / 2 + int(size.width * rng.uniform(-0.08, 0.08)),
                  size.height - look.alpha.rows + look.alpha.rows / 20};
        } else {
            look = fitted(subject.look, {int(size.width * fill), int(size.height * fill)});
            at = KSArtworkSet::placement(rng, size, look.alpha.size(), !busy);
        }
        cv::Mat backdrop;
        if (busy) {
            backdrop = busyBackdrop(root, index + int(group.size()), size, rng);
            if (rng.uniform(0, 3) > 0) {
                const Rendered thing = salientThing({int(look.alpha.cols * 0.8), int(look.alpha.rows * 0.8)});
                if (!thing.alpha.empty())
                    addSalientThing(backdrop, thing, cv::Rect(at, look.alpha.size()), rng);
            }
        } else {
            backdrop = group.rfind("id-", 0) == 0  ? KSArtworkSet::idBackdrop(index, size)
                : group.rfind("gradient-", 0) == 0 ? gradientBackdrop(rng, size, index % 4)
                                                    : studioBackdrop(rng, size);
            if (!cutByBottom && rng.uniform(0, 2))
                addContactShadow(backdrop, look.alpha, at, rng);
        }
        KSQualitySample sample = KSArtworkSet::compose(KSArtworkSet::sampleName(group, index, subject.name), group,
                                                       subject.type, look, at, backdrop, rng);
        if (grey)
            toGrey(sample);
        set.push_back(std::move(sample));
    };

    for (int i = 0; i < perGroup; ++i) {
        const cv::Size size = sizes[i % std::size(sizes)];
        add("render-person-studio", i, person(i % 3 == 2 ? 1 : 0), false, i % 3 == 2, size, false);
        add("render-product-studio", i, product(), false, false, size, false);
        add("id-render", i, person(2), false, true, sizes[(i % 2) ? 1 : 4], false);
        add("render-busy", i, i % 2 ? product() : person(i % 4 == 0 ? 1 : 0), true, i % 4 == 0, size, false);
        add("photo-studio", i, stamp(i % 4 == 0, size), false, false, size, false);
        add("photo-busy", i, stamp(i % 4 == 0, size), true, false, size, false);
        // Greyscale: old photos and deliberate black-and-white shots alike.
        switch (i % 3) {
        case 0: add("grey", i, product(), false, false, size, true); break;
        case 1: add("grey", i, person(i % 2), i % 2 == 1, i % 2 == 1, size, true); break;
        default: add("grey", i, stamp(false, size), true, false, size, true); break;
        }
    }
    // Strong gradients and vignettes, plain but not one colour: people,
    // products and photographed things. Made after the groups above, so that
    // their photos stay as they were.
    for (int i = 0; i < perGroup; ++i) {
        const cv::Size size = sizes[(i + 1) % std::size(sizes)];
        switch (i % 4) {
        case 0: add("gradient-studio", i, person(0), false, false, size, false); break;
        case 1: add("gradient-studio", i, product(), false, false, size, false); break;
        case 2: add("gradient-studio", i, stamp(false, size), false, false, size, false); break;
        default: add("gradient-studio", i, person(1), false, true, size, false); break;
        }
    }
    // Drawn clip art: one small group, half over a studio backdrop, half over photographs.
    const std::vector<KSQualitySample> drawn = KSArtworkSet::make(root, std::max(1, perGroup / 2), seed);
    for (const KSQualitySample &sample : drawn) {
        if (sample.group == "id-photo" || int(std::count_if(set.begin(), set.end(), [](const KSQualitySample &s) {
                                              return s.group == "clipart";
                                          })) >= std::max(1, perGroup / 2))
            continue;
        KSQualitySample copy = sample;
        copy.name = "clipart-" + sample.name;
        copy.group = "clipart";
        set.push_back(std::move(copy));
    }
    return set;
}

// The options the scoring benches share.
struct Options
{
    int perGroup = 16;
    std::uint64_t seed = 2024;
    std::string only; // only the photos whose name starts with one of its comma-separated prefixes
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Cutora");
    QString artwork = cache + QStringLiteral("/artwork");
    QString model = KSLocalService::defaultModelDescription();

    // Takes the option at argv[i] and its value (advancing i) when it is
    // --per-group, --seed, --artwork, --model or --only.
    bool take(int argc, char *argv[], int &i)
    {
        if (i + 1 >= argc)
            return false;
        const std::string option = argv[i];
        const char *value = argv[i + 1];
        if (option == "--per-group")
            perGroup = std::max(1, std::atoi(value));
        else if (option == "--seed")
            seed = std::strtoull(value, nullptr, 10);
        else if (option == "--artwork")
            artwork = QString::fromLocal8Bit(value);
        else if (option == "--model")
            model = QString::fromLocal8Bit(value);
        else if (option == "--only")
            only = value;
        else
            return false;
        ++i;
        return true;
    }

    // The learned model, loaded; null, with the reason printed, when it cannot be.
    [[nodiscard]] std::shared_ptr<KSLearnedModel> loadModel() const
    {
        auto learned = std::make_shared<KSLearnedModel>(model);
        if (learned->waitUntilLoaded())
            return learned;
        std::fprintf(stderr, "%s\n", qPrintable(learned->errorString()));
        return nullptr;
    }

    // The network's map of `picture` (made from the sample's photo; the
    // photo itself for the first pass), kept in the cache as a 16-bit PNG
    // under the sample's name and `key`, so that scoring the rules again
    // needs no forward pass.
    [[nodiscard]] cv::Mat networkPass(const KSQualitySample &sample, KSLearnedModel &learned, const std::string &key,
                                      const cv::Mat &picture) const
    {
        // By runtime too: maps of one runtime must never stand in for another's.
        const QString runtime = learned.runtimeName().section(u' ', 0, 0).toLower();
        const QString folder = cache + QStringLiteral("/maps/") + learned.name() + u'-' + runtime + u'-' + QString::number(seed);
        QDir().mkpath(folder);
        const QString path = folder + u'/' + QString::fromStdString(sample.name + "-" + key) + QStringLiteral(".png");
        const cv::Mat stored = QFileInfo::exists(path) ? cv::imread(path.toStdString(), cv::IMREAD_UNCHANGED) : cv::Mat();
        cv::Mat map;
        if (!stored.empty() && stored.depth() == CV_16U) {
            stored.convertTo(map, CV_32F, 1.0 / 65535.0);
            return map;
        }
        map = learned.predict(picture, nullptr);
        if (map.empty())
            return map;
        cv::Mat levels;
        map.convertTo(levels, CV_16U, 65535.0);
        cv::imwrite(path.toStdString(), levels);
        return map;
    }

    // The further passes the engine's rules ask for, kept as above.
    [[nodiscard]] KSHybridCutoutEngine::NetworkPass passesOf(const KSQualitySample &sample, KSLearnedModel &learned) const
    {
        return [this, &sample, &learned](const std::string &key, const cv::Mat &picture) {
            return networkPass(sample, learned, key, picture);
        };
    }

    // The network's maps of a photo and of its mirror image (flipped back).
    // The mirror image's map is kept as the network gave it, under a name
    // of its own: maps kept flipped back under "mirrored" by earlier
    // versions must never be read as these.
    [[nodiscard]] std::pair<cv::Mat, cv::Mat> networkMaps(const KSQualitySample &sample, KSLearnedModel &learned) const
    {
        const cv::Mat map = networkPass(sample, learned, "map", sample.bgr);
        cv::Mat flipped;
        cv::flip(sample.bgr, flipped, 1);
        cv::Mat mirrored = networkPass(sample, learned, "mirror", flipped);
        if (!mirrored.empty())
            cv::flip(mirrored, mirrored, 1);
        return {map, mirrored};
    }

    // The set the options choose; empty, with the reason printed, without it.
    [[nodiscard]] std::vector<KSQualitySample> load() const
    {
        std::vector<KSQualitySample> set = make(artwork, perGroup, seed);
        if (set.empty())
            std::fprintf(stderr, "no scored set in %s: run scripts/fetch-scored-set.sh\n", qPrintable(artwork));
        // --only takes prefixes separated by commas.
        const QStringList prefixes = QString::fromStdString(only).split(u',');
        set.erase(std::remove_if(set.begin(), set.end(),
                                 [&](const KSQualitySample &s) {
                                     return std::none_of(prefixes.begin(), prefixes.end(), [&](const QString &p) {
                                         return QString::fromStdString(s.name).startsWith(p);
                                     });
                                 }),
                  set.end());
        return set;
    }
};

} // namespace KSScoredSet
