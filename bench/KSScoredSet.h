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

#include <QCryptographicHash>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>

#include <opencv2/imgcodecs.hpp>

#include <cstdio>
#include <functional>
#include <map>
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

// A thing laid into the backdrop by its alpha at `at`, cut by the frame.
inline void pasteThing(cv::Mat &backdrop, const Rendered &thing, cv::Point at)
{
    const cv::Rect frame(0, 0, backdrop.cols, backdrop.rows);
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
    pasteThing(backdrop, thing, at);
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

// Groups of hard photos. Each is made on its own: its own random numbers
// (from the seed and its name) and its own turns through the subjects, so
// that adding or dropping any group never changes its photos (the
// network's maps are kept per photo).

inline const cv::Size photoSizes[] = {{1200, 900}, {900, 1200}, {1600, 1067}, {1000, 1000}, {1333, 2000}, {2000, 1500}};

// A stable number for a name (FNV-1a): std::hash differs between libraries.
inline std::uint64_t nameHash(const std::string &name)
{
    std::uint64_t h = 1469598103934665603ULL;
    for (const unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

// An anti-aliased polyline `width` pixels wide (fractions too).
struct Stroke
{
    std::vector<cv::Point2f> points;
    float width = 2;
};

// The strokes' coverage (8-bit) on a picture of `size`: each drawn at four
// times the size around itself and shrunk, so that widths between whole
// pixels come out right.
inline cv::Mat strokeCoverage(cv::Size size, const std::vector<Stroke> &strokes)
{
    constexpr int k = 4, shift = 4;
    cv::Mat coverage = cv::Mat::zeros(size, CV_8U);
    const cv::Rect frame(0, 0, size.width, size.height);
    for (const Stroke &stroke : strokes) {
        if (stroke.points.size() < 2)
            continue;
        const int margin = int(std::ceil(stroke.width)) + 2;
        const cv::Rect bounds = cv::boundingRect(stroke.points);
        const cv::Rect box = cv::Rect(bounds.x - margin, bounds.y - margin, bounds.width + 2 * margin,
                                      bounds.height + 2 * margin)
            & frame;
        if (box.empty())
            continue;
        cv::Mat big = cv::Mat::zeros(box.height * k, box.width * k, CV_8U);
        std::vector<cv::Point> line;
        for (const cv::Point2f &p : stroke.points)
            line.emplace_back(cvRound(((p.x - box.x + 0.5) * k - 0.5) * (1 << shift)),
                              cvRound(((p.y - box.y + 0.5) * k - 0.5) * (1 << shift)));
        cv::polylines(big, std::vector<std::vector<cv::Point>>{line}, false, 255,
                      std::max(1, int(std::lround(stroke.width * k))), cv::LINE_AA, shift);
        cv::Mat small;
        cv::resize(big, small, box.size(), 0, 0, cv::INTER_AREA);
        cv::Mat target = coverage(box);
        cv::max(target, small, target);
    }
    return coverage;
}

// A quadratic curve from `from` through near `control` to `to`.
inline std::vector<cv::Point2f> curve(cv::Point2f from, cv::Point2f control, cv::Point2f to, int steps = 32)
{
    std::vector<cv::Point2f> points;
    for (int i = 0; i <= steps; ++i) {
        const float t = float(i) / float(steps);
        points.push_back((1 - t) * (1 - t) * from + 2 * (1 - t) * t * control + t * t * to);
    }
    return points;
}

// `paint` laid over the subject where `coverage` says: the subject keeps
// its straight colours where the paint leaves it.
inline void paintOver(Rendered &r, const cv::Mat &coverage, const cv::Mat &paint)
{
    cv::Mat a, s;
    r.alpha.convertTo(a, CV_32F, 1.0 / 255.0);
    coverage.convertTo(s, CV_32F, 1.0 / 255.0);
    const cv::Mat kept = a.mul(1.0 - s), total = s + kept;
    const cv::Mat safe = cv::max(total, 1e-6);
    cv::Mat s3, k3, t3;
    cv::merge(std::vector<cv::Mat>(3, s), s3);
    cv::merge(std::vector<cv::Mat>(3, kept), k3);
    cv::merge(std::vector<cv::Mat>(3, safe), t3);
    const cv::Mat mixed = paint.mul(s3) + r.colour.mul(k3);
    cv::divide(mixed, t3, r.colour);
    total.convertTo(r.alpha, CV_8U, 255.0);
}

inline Rendered padded(const Rendered &r, int margin)
{
    Rendered p;
    cv::copyMakeBorder(r.alpha, p.alpha, margin, margin, margin, margin, cv::BORDER_CONSTANT, 0);
    cv::copyMakeBorder(r.colour, p.colour, margin, margin, margin, margin, cv::BORDER_CONSTANT, cv::Scalar::all(0));
    return p;
}

// Colour texture of a made thing: `base` varied by smooth noise, +-`depth`.
inline cv::Mat textured(cv::Size size, const cv::Scalar &base, double depth, cv::RNG &rng)
{
    const cv::Mat noise = KSQualitySet::valueNoise(rng, size, 12);
    const cv::Mat shade = 1.0 - depth + 2.0 * depth * noise;
    cv::Mat shade3;
    cv::merge(std::vector<cv::Mat>(3, shade), shade3);
    return cv::Mat(size, CV_32FC3, base).mul(shade3);
}

// How much backdrop a subject encloses or nearly encloses, for its area:
// holes in its alpha, or what a closing 3 % of its size fills in.
inline double gappiness(const cv::Mat &alpha)
{
    const cv::Mat inked = alpha >= 128;
    const double area = cv::countNonZero(inked);
    if (area == 0)
        return 0;
    cv::Mat outside;
    cv::copyMakeBorder(~inked, outside, 1, 1, 1, 1, cv::BORDER_CONSTANT, 255);
    cv::floodFill(outside, cv::Point(0, 0), 128);
    const double holes = cv::countNonZero(outside == 255);
    const int r = std::max(2, int(0.03 * std::max(alpha.cols, alpha.rows)));
    cv::Mat closed;
    cv::morphologyEx(inked, closed, cv::MORPH_CLOSE, cv::getStructuringElement(cv::MORPH_ELLIPSE, {2 * r + 1, 2 * r + 1}));
    const double gaps = cv::countNonZero(closed) - area;
    return std::max(holes, gaps) / area;
}

// The photographed stamps with holes or many narrow gaps, most first.
inline QStringList gappyStamps(const QStringList &stamps)
{
    std::vector<std::pair<double, QString>> scored;
    for (const QString &file : stamps) {
        const cv::Mat rgba = cv::imread(file.toStdString(), cv::IMREAD_UNCHANGED);
        if (rgba.empty() || rgba.channels() != 4 || rgba.depth() != CV_8U)
            continue;
        cv::Mat alpha;
        cv::extractChannel(rgba, alpha, 3);
        const double g = gappiness(alpha(cv::boundingRect(alpha > 0)));
        if (g >= 0.12)
            scored.emplace_back(-g, file);
    }
    std::sort(scored.begin(), scored.end());
    QStringList files;
    for (const auto &[g, file] : scored)
        files << file;
    return files;
}

// A fine structure made for the set, with its exact alpha, about `side`
// pixels: 0 a picket fence (slats and rails, backdrop between), 1 a fern
// frond (a stem with many thin leaflets), 2 a wire basket (a mesh of thin
// wires and a handle).
inline Rendered fineStructure(int kind, int side, cv::RNG &rng)
{
    std::vector<Stroke> strokes;
    cv::Scalar base;
    cv::Size size;
    const float s = float(side);
    if (kind == 0) {
        size = {side, int(side * 0.6)};
        const int slats = rng.uniform(6, 11);
        const float pitch = s * 0.94f / float(slats), width = pitch * float(rng.uniform(0.45, 0.65));
        for (int i = 0; i < slats; ++i) {
            const float x = s * 0.03f + pitch * (float(i) + 0.5f);
            strokes.push_back({{{x, float(size.height) - width}, {x, width * 0.6f}}, width});
        }
        const float rail = float(size.height) * float(rng.uniform(0.04, 0.07));
        for (const float y : {0.3f, 0.75f})
            strokes.push_back({{{s * 0.02f, float(size.height) * y}, {s * 0.98f, float(size.height) * y}}, rail});
        static const cv::Scalar paints[] = {{60, 105, 150}, {228, 228, 226}, {70, 120, 80}};
        base = paints[rng.uniform(0, 3)];
    } else if (kind == 1) {
        size = {int(side * 0.6), side};
        const cv::Point2f root(s * 0.3f, s * 0.98f), tip(s * float(rng.uniform(0.25, 0.45)), s * 0.03f);
        const cv::Point2f control(s * float(rng.uniform(0.05, 0.25)), s * 0.45f);
        const std::vector<cv::Point2f> stem = curve(root, control, tip, 60);
        strokes.push_back({stem, float(rng.uniform(3.0, 6.0))});
        const float leaflet = float(rng.uniform(2.0, 4.5));
        for (size_t i = 6; i + 2 < stem.size(); i += 2) {
            const cv::Point2f p = stem[i], along = stem[i + 1] - stem[i - 1];
            const cv::Point2f d = along * (1.0f / std::max(1e-3f, float(cv::norm(along))));
            const float length = s * 0.22f * (1.0f - float(i) / float(stem.size())) + s * 0.03f;
            for (const float hand : {-1.0f, 1.0f}) {
                const cv::Point2f out(-d.y * hand, d.x * hand);
                const cv::Point2f end = p + (out * 0.85f + d * 0.5f) * length;
                strokes.push_back({curve(p, p + out * length * 0.5f, end, 12), leaflet});
            }
        }
        base = {40, 125, 55};
    } else {
        size = {side, int(side * 0.9)};
        const float top = float(size.height) * 0.4f, bottom = float(size.height) * 0.97f;
        const float wire = float(rng.uniform(1.8, 3.5));
        auto rim = [&](float t, float y) { // x across the basket at height y, t in [0, 1]
            const float inset = s * 0.12f * (y - top) / (bottom - top);
            return cv::Point2f(s * 0.04f + inset + t * (s * 0.92f - 2 * inset), y);
        };
        const int across = rng.uniform(10, 17), rows = rng.uniform(5, 9);
        for (int i = 0; i <= across; ++i)
            strokes.push_back({{rim(float(i) / float(across), top), rim(float(i) / float(across), bottom)}, wire});
        for (int j = 0; j <= rows; ++j) {
            const float y = top + (bottom - top) * float(j) / float(rows);
            strokes.push_back({{rim(0, y), rim(1, y)}, j == 0 ? wire * 2.2f : wire});
        }
        std::vector<cv::Point2f> handle;
        for (int i = 0; i <= 40; ++i) {
            const double a = CV_PI * i / 40.0;
            handle.emplace_back(float(s * 0.5 - std::cos(a) * s * 0.4), float(top - std::sin(a) * (top - s * 0.03)));
        }
        strokes.push_back({handle, wire * 1.8f});
        static const cv::Scalar metals[] = {{150, 150, 155}, {40, 40, 42}, {60, 110, 180}};
        base = metals[rng.uniform(0, 3)];
    }
    Rendered r;
    r.alpha = strokeCoverage(size, strokes);
    r.colour = textured(size, base, 0.2, rng);
    const cv::Rect crop = cv::boundingRect(r.alpha > 0);
    return {r.colour(crop).clone(), r.alpha(crop).clone()};
}

// Thin parts reaching out of a subject (its alpha, with room around it),
// each a list of strokes of one colour: a stem or an antenna, a fan of
// whiskers, a drooping cable or strap, a straight rod. 1.5-6 px wide,
// 10-40 % of the subject's size long, each starting a little inside the
// outline so that it is attached.
inline std::vector<std::vector<Stroke>> thinParts(const cv::Mat &alpha, cv::RNG &rng)
{
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(alpha >= 128, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    if (contours.empty())
        return {};
    const auto &outline = *std::max_element(contours.begin(), contours.end(), [](const auto &a, const auto &b) {
        return cv::contourArea(a) < cv::contourArea(b);
    });
    const cv::Moments m = cv::moments(outline);
    const cv::Point2f centre(float(m.m10 / std::max(1.0, m.m00)), float(m.m01 / std::max(1.0, m.m00)));
    const cv::Rect box = cv::boundingRect(outline);
    const float extent = float(std::max(box.width, box.height));
    std::vector<std::vector<Stroke>> parts(size_t(rng.uniform(1, 4)));
    for (auto &part : parts) {
        const cv::Point2f at = outline[size_t(rng.uniform(0, int(outline.size())))];
        cv::Point2f d = at - centre;
        d *= 1.0f / std::max(1e-3f, float(cv::norm(d)));
        const float turn = float(rng.uniform(-0.5, 0.5));
        d = {d.x * std::cos(turn) - d.y * std::sin(turn), d.x * std::sin(turn) + d.y * std::cos(turn)};
        auto reach = [&](cv::Point2f from, cv::Point2f dir, float length, float bend, float droop, float width) {
            const cv::Point2f across(-dir.y, dir.x), down(0, droop * length);
            const cv::Point2f start = from - dir * (width + 4);
            const cv::Point2f end = from + dir * length + across * (bend * length) + down;
            return Stroke{curve(start, from + dir * (length * 0.5f) + across * (bend * length * 1.2f) + down * 0.8f, end),
                          width};
        };
        switch (rng.uniform(0, 4)) {
        case 0: // a stem or an antenna
            part.push_back(reach(at, d, extent * float(rng.uniform(0.1, 0.4)), float(rng.uniform(-0.3, 0.3)), 0,
                                 float(rng.uniform(1.5, 4.0))));
            break;
        case 1: { // whiskers
            const int count = rng.uniform(3, 6);
            const float width = float(rng.uniform(1.5, 2.5));
            for (int i = 0; i < count; ++i) {
                const float fan = 0.25f * (float(i) - float(count - 1) / 2);
                const cv::Point2f dir(d.x * std::cos(fan) - d.y * std::sin(fan), d.x * std::sin(fan) + d.y * std::cos(fan));
                part.push_back(reach(at + cv::Point2f(-d.y, d.x) * (float(i) * 3), dir,
                                     extent * float(rng.uniform(0.1, 0.25)), float(rng.uniform(-0.15, 0.15)), 0, width));
            }
            break;
        }
        case 2: // a cable or a strap, sagging
            part.push_back(reach(at, d, extent * float(rng.uniform(0.15, 0.4)), float(rng.uniform(-0.2, 0.2)),
                                 float(rng.uniform(0.15, 0.4)), float(rng.uniform(3.0, 6.0))));
            break;
        default: // a rod: straight and long
            part.push_back(reach(at, d, extent * float(rng.uniform(0.25, 0.4)), 0, 0, float(rng.uniform(2.0, 4.5))));
            break;
        }
    }
    return parts;
}

// A thin part's colour: the subject's own near where it starts, or a
// contrasting one; in both cases clear of the backdrop behind it.
inline cv::Scalar thinPartColour(const Rendered &subject, const cv::Mat &coverage, const cv::Mat &behind, bool own,
                                 cv::RNG &rng)
{
    const cv::Scalar backdrop = cv::mean(behind, coverage > 0);
    if (own) {
        // Where the part starts: the covered pixels that were subject.
        const cv::Mat start = (coverage > 0) & (subject.alpha == 255);
        const cv::Scalar colour = cv::countNonZero(start) > 0 ? cv::mean(subject.colour, start)
                                                              : cv::mean(subject.colour, subject.alpha == 255);
        if (KSQualitySet::colourDistance(colour, backdrop) >= 70)
            return colour;
    }
    static const cv::Scalar palette[] = {{25, 25, 25},   {240, 240, 240}, {40, 40, 190},  {30, 190, 230},
                                         {40, 120, 40},  {160, 90, 30},   {40, 70, 120},  {180, 60, 180}};
    std::vector<cv::Scalar> clear;
    cv::Scalar farthest = palette[0];
    for (const cv::Scalar &c : palette) {
        if (KSQualitySet::colourDistance(c, backdrop) >= 110)
            clear.push_back(c);
        if (KSQualitySet::colourDistance(c, backdrop) > KSQualitySet::colourDistance(farthest, backdrop))
            farthest = c;
    }
    return clear.empty() ? farthest : clear[size_t(rng.uniform(0, int(clear.size())))];
}

// Where a close-up stands: the scale of a subject (at most `largest`) and
// its place in `frame` at which it covers at least `cover` of the frame and
// is cut by two to four of its edges (a bust's cut bottom always below the
// frame), found on a small copy of the frame.
struct CloseUp
{
    double scale = 1;
    cv::Point2d at;
};

inline CloseUp closeUp(const cv::Mat &alpha, cv::Size frame, double cover, bool cutBottom, double largest, cv::RNG &rng)
{
    const double small = 160.0 / std::max(frame.width, frame.height);
    const cv::Size smallFrame(cvRound(frame.width * small), cvRound(frame.height * small));
    // The subject's point that stands at the frame's point.
    const double u = rng.uniform(0.3, 0.7), v = cutBottom ? rng.uniform(0.25, 0.45) : rng.uniform(0.3, 0.7);
    const double fx = rng.uniform(0.35, 0.65), fy = rng.uniform(0.35, 0.65);
    const double fit = std::min(double(frame.width) / alpha.cols, double(frame.height) / alpha.rows);
    CloseUp best, last;
    double bestCover = -1;
    for (double s = fit * 0.8; s <= std::max(fit, largest); s *= 1.06) {
        cv::Point2d at(fx * frame.width - u * alpha.cols * s, fy * frame.height - v * alpha.rows * s);
        if (cutBottom)
            at.y = std::max(at.y, frame.height + 1 - alpha.rows * s);
        const cv::Mat warp = (cv::Mat_<double>(2, 3) << s * small, 0, at.x * small, 0, s * small, at.y * small);
        cv::Mat placed;
        cv::warpAffine(alpha, placed, warp, smallFrame, cv::INTER_LINEAR);
        const cv::Mat in = placed >= 128;
        const double covered = cv::countNonZero(in) / double(in.total());
        const int edges = (cv::countNonZero(in.row(0)) > 0) + (cv::countNonZero(in.row(in.rows - 1)) > 0)
            + (cv::countNonZero(in.col(0)) > 0) + (cv::countNonZero(in.col(in.cols - 1)) > 0);
        last = {s, at};
        if (edges >= 2 && covered >= cover)
            return last;
        if (edges >= 2 && covered > bestCover) {
            best = last;
            bestCover = covered;
        }
    }
    if (bestCover >= 0)
        return best;
    // Too small to reach two edges at any scale it bears: at its largest,
    // moved so that it runs off a side and the top or bottom edge.
    const double w = alpha.cols * last.scale, h = alpha.rows * last.scale;
    const double runOff = rng.uniform(0.1, 0.3);
    if (w < frame.width)
        last.at.x = rng.uniform(0, 2) ? -runOff * w : frame.width - (1 - runOff) * w;
    if (h < frame.height)
        last.at.y = cutBottom || rng.uniform(0, 3) ? frame.height - (1 - runOff) * h : -runOff * h;
    return last;
}

// The part of a subject scaled and placed as a close-up says that the frame
// shows (and a little around it), and where it stands.
inline std::pair<Rendered, cv::Point> visiblePart(const Rendered &r, const CloseUp &c, cv::Size frame)
{
    const int x0 = std::max(0, int(std::floor(-c.at.x / c.scale)) - 2);
    const int y0 = std::max(0, int(std::floor(-c.at.y / c.scale)) - 2);
    const int x1 = std::min(r.alpha.cols, int(std::ceil((frame.width - c.at.x) / c.scale)) + 2);
    const int y1 = std::min(r.alpha.rows, int(std::ceil((frame.height - c.at.y) / c.scale)) + 2);
    if (x1 <= x0 || y1 <= y0)
        return {};
    const cv::Rect source(x0, y0, x1 - x0, y1 - y0);
    const cv::Size size(std::max(1, int(std::lround(source.width * c.scale))),
                        std::max(1, int(std::lround(source.height * c.scale))));
    const int interpolation = c.scale < 1 ? cv::INTER_AREA : cv::INTER_CUBIC;
    Rendered part;
    cv::resize(r.alpha(source), part.alpha, size, 0, 0, interpolation);
    cv::resize(r.colour(source), part.colour, size, 0, 0, interpolation);
    return {part, cv::Point(int(std::lround(c.at.x + x0 * c.scale)), int(std::lround(c.at.y + y0 * c.scale)))};
}

struct Subject
{
    Rendered look;
    std::string name;
    KSEraserType type = KSEraserType::object;
};

// What the groups are made of: the renders and the photographed stamps.
struct Sources
{
    QString root;
    QStringList people, products, stampPeople, stampThings;
    QStringList gappy; // stamps with holes or narrow gaps, most first
};

// One group's random numbers and its own turns through the subjects.
class GroupMaker
{
public:
    GroupMaker(const Sources &sources, const std::string &group, std::uint64_t seed)
        : rng(seed ^ nameHash(group)), group(group), sources(sources)
    {
    }

    // A render of a person in `pose` (0 standing, 1 an arm on the hip, 2
    // arms out; -1 any), `keepTop` of its height kept.
    Subject person(int pose, double keepTop = 1.0)
    {
        QStringList files = sources.people;
        if (pose >= 0)
            files = files.filter(QRegularExpression(QStringLiteral("-%1\\.png$").arg(pose)));
        return render(files, turn(1000 + pose), keepTop, KSEraserType::person);
    }

    // A render of a product of `kind` (see scored-set/product.pov; -1 any).
    Subject product(int kind = -1)
    {
        QStringList files = sources.products;
        if (kind >= 0)
            files = files.filter(QRegularExpression(QStringLiteral("/product-%1-[^/]*$").arg(kind)));
        // A stride through the kinds, so that neighbours differ.
        return render(files, turn(2000 + kind) * (kind >= 0 ? 1 : 9), 1.0, KSEraserType::object);
    }

    Subject stamp(bool personWanted, cv::Size box)
    {
        const bool people = personWanted && !sources.stampPeople.isEmpty();
        return photo(people ? sources.stampPeople : sources.stampThings, people ? 1 : 29, 3000 + people, box,
                     people ? KSEraserType::person : KSEraserType::object);
    }

    Subject gappyStamp(cv::Size box)
    {
        return photo(sources.gappy.isEmpty() ? sources.stampThings : sources.gappy, 1, 4000, box, KSEraserType::object);
    }

    // By turns: a rendered person, a product, a photographed thing, a
    // photographed person.
    Subject byTurns(int index, cv::Size box)
    {
        switch (index % 4) {
        case 0: return person((index / 4) % 3);
        case 1: return product();
        case 2: return stamp(false, box);
        default: return stamp(true, box);
        }
    }

    Rendered thing(cv::Size box)
    {
        return photo(sources.stampThings, 13, 5000, box, KSEraserType::object).look;
    }

    // The photo of this group at `index`.
    [[nodiscard]] KSQualitySample compose(int index, const Subject &subject, const Rendered &look, cv::Point at,
                                          const cv::Mat &backdrop)
    {
        return KSArtworkSet::compose(KSArtworkSet::sampleName(group, index, subject.name), group, subject.type, look,
                                     at, backdrop, rng);
    }

    cv::RNG rng;
    const std::string group;

private:
    int turn(int which) { return turns[which]++; }

    static Subject render(const QStringList &files, int turn, double keepTop, KSEraserType type)
    {
        if (files.isEmpty())
            return {};
        const QString file = files.at(turn % files.size());
        auto r = loadRender(file, keepTop);
        return {r ? *r : Rendered{}, QFileInfo(file).completeBaseName().toStdString(), type};
    }

    Subject photo(const QStringList &files, int stride, int which, cv::Size box, KSEraserType type)
    {
        for (int tries = 0; tries < files.size(); ++tries) {
            int &next = turns[which];
            next += stride;
            const QString file = files.at(next % files.size());
            if (auto r = KSArtworkSet::loadPhotoStamp(file, box))
                return {*r, QFileInfo(file).completeBaseName().left(18).toStdString(), type};
        }
        return {};
    }

    const Sources &sources;
    std::map<int, int> turns;
};

// A group's photos: `photo(i)` makes the one at i, or nothing.
inline std::vector<KSQualitySample> eachPhoto(int perGroup, const std::function<std::optional<KSQualitySample>(int)> &photo)
{
    std::vector<KSQualitySample> set;
    for (int i = 0; i < perGroup; ++i)
        if (std::optional<KSQualitySample> sample = photo(i))
            set.push_back(std::move(*sample));
    return set;
}

// A studio backdrop, plain or graded by light, for the photo at `index`.
inline cv::Mat plainFor(GroupMaker &g, int index, cv::Size size)
{
    return index % 2 ? gradientBackdrop(g.rng, size, (index / 2) % 4) : studioBackdrop(g.rng, size);
}

// Subjects with fine gaps and holes on plain backdrops, half with a
// contact shadow: a bicycle, a chair, sunglasses, a desk lamp, people with
// an arm on the hip, stamps that enclose backdrop, and made fine structures.
inline std::vector<KSQualitySample> fineGapGroup(const Sources &sources, int perGroup, std::uint64_t seed)
{
    GroupMaker g(sources, "finegap-studio", seed);
    return eachPhoto(perGroup, [&](int i) -> std::optional<KSQualitySample> {
        const cv::Size size = photoSizes[i % std::size(photoSizes)];
        Subject subject;
        switch (i % 8) {
        case 0: subject = g.product(4); break; // bicycle
        case 1: subject = g.person(1); break;
        case 2: subject = g.product(6); break; // chair
        case 3: case 6: subject = g.gappyStamp(size); break;
        case 4: subject = g.product(3); break; // sunglasses
        case 5: subject = g.product(1); break; // desk lamp
        default: {
            const int kind = (i / 8) % 3;
            static const char *names[] = {"fence", "frond", "basket"};
            subject = {fineStructure(kind, std::max(size.width, size.height), g.rng), names[kind], KSEraserType::object};
            break;
        }
        }
        if (subject.look.alpha.empty())
            return std::nullopt;
        const double fill = g.rng.uniform(0.5, 0.82);
        const Rendered look = fitted(subject.look, {int(size.width * fill), int(size.height * fill)});
        const cv::Point at = KSArtworkSet::placement(g.rng, size, look.alpha.size(), true);
        cv::Mat backdrop = plainFor(g, i, size);
        if ((i / 2) % 2 == 0)
            addContactShadow(backdrop, look.alpha, at, g.rng);
        return g.compose(i, subject, look, at, backdrop);
    });
}

// Subjects with thin parts of colours that differ from the backdrop behind
// them (stems, antennae, whiskers, cables, straps, rods), on plain
// backdrops or over photographs.
inline std::vector<KSQualitySample> thinGroup(const Sources &sources, int perGroup, std::uint64_t seed, bool busy)
{
    GroupMaker g(sources, busy ? "thin-busy" : "thin-studio", seed);
    return eachPhoto(perGroup, [&](int i) -> std::optional<KSQualitySample> {
        const cv::Size size = photoSizes[(i + 2) % std::size(photoSizes)];
        const Subject subject = g.byTurns(i, size);
        if (subject.look.alpha.empty())
            return std::nullopt;
        const double fill = g.rng.uniform(0.45, 0.65);
        Rendered base = fitted(subject.look, {int(size.width * fill), int(size.height * fill)});
        base = padded(base, int(0.42 * std::max(base.alpha.cols, base.alpha.rows)) + 8);
        const std::vector<std::vector<Stroke>> parts = thinParts(base.alpha, g.rng);
        std::vector<cv::Mat> coverages;
        cv::Mat alpha = base.alpha.clone();
        for (const auto &part : parts) {
            coverages.push_back(strokeCoverage(alpha.size(), part));
            alpha = cv::max(alpha, coverages.back());
        }
        // Trimmed to the subject with its parts, and smaller if the parts
        // would leave the frame.
        const cv::Rect crop = cv::boundingRect(alpha > 0);
        const double shrink = std::min({1.0, size.width * 0.96 / crop.width, size.height * 0.96 / crop.height});
        auto trim = [&](const cv::Mat &m) {
            cv::Mat out;
            cv::resize(m(crop), out, cv::Size(), shrink, shrink, shrink < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
            return out;
        };
        base = {trim(base.colour), trim(base.alpha)};
        for (cv::Mat &c : coverages)
            c = trim(c);
        alpha = trim(alpha);

        const cv::Point at = KSArtworkSet::placement(g.rng, size, alpha.size(), !busy);
        cv::Mat backdrop;
        if (busy) {
            backdrop = busyBackdrop(sources.root, i + 3, size, g.rng);
        } else {
            backdrop = plainFor(g, i, size);
            if ((i / 2) % 2 == 0)
                addContactShadow(backdrop, alpha, at, g.rng);
        }
        const cv::Mat behind = backdrop(cv::Rect(at, alpha.size()));
        Rendered look = base;
        for (const cv::Mat &coverage : coverages) {
            const cv::Scalar colour = thinPartColour(base, coverage, behind, g.rng.uniform(0, 2) == 0, g.rng);
            paintOver(look, coverage, cv::Mat(coverage.size(), CV_32FC3, colour));
        }
        return g.compose(i, subject, look, at, backdrop);
    });
}

// Over photographs with a salient thing of the backdrop's own touching the
// subject or very near it; a third each with the backdrop sharp, mildly and
// strongly blurred (depth of field: the subject sharp, the backdrop and its
// thing soft).
inline std::vector<KSQualitySample> salientGroup(const Sources &sources, int perGroup, std::uint64_t seed)
{
    GroupMaker g(sources, "salient-busy", seed);
    return eachPhoto(perGroup, [&](int i) -> std::optional<KSQualitySample> {
        const cv::Size size = photoSizes[(i + 4) % std::size(photoSizes)];
        const Subject subject = g.byTurns(i, size);
        if (subject.look.alpha.empty())
            return std::nullopt;
        const double fill = g.rng.uniform(0.45, 0.75);
        const Rendered look = fitted(subject.look, {int(size.width * fill), int(size.height * fill)});
        const cv::Point at = KSArtworkSet::placement(g.rng, size, look.alpha.size(), false);
        cv::Mat backdrop = busyBackdrop(sources.root, i + 11, size, g.rng);
        const double thingSize = g.rng.uniform(0.5, 0.9);
        const Rendered thing = g.thing({int(look.alpha.cols * thingSize), int(look.alpha.rows * thingSize)});
        if (!thing.alpha.empty()) {
            const cv::Rect s(at, look.alpha.size());
            const int w = thing.alpha.cols, h = thing.alpha.rows;
            const int y = s.y + int(g.rng.uniform(0.0, 1.0) * std::max(1, s.height - h / 2));
            cv::Point thingAt;
            switch (g.rng.uniform(0, 4)) {
            case 0: thingAt = {s.x + s.width - int(w * g.rng.uniform(0.1, 0.35)), y}; break; // behind its right side
            case 1: thingAt = {s.x - w + int(w * g.rng.uniform(0.1, 0.35)), y}; break;       // behind its left side
            case 2: // beside it, a hair's breadth away
                thingAt = g.rng.uniform(0, 2) ? cv::Point(s.x + s.width + int(size.width * g.rng.uniform(0.0, 0.02)), y)
                                              : cv::Point(s.x - w - int(size.width * g.rng.uniform(0.0, 0.02)), y);
                break;
            default: // behind it, rising above it
                thingAt = {s.x + int(g.rng.uniform(0.0, 1.0) * std::max(1, s.width - w)), s.y - h / 2};
                break;
            }
            pasteThing(backdrop, thing, thingAt);
        }
        if (i % 3) {
            const double sigma = (i % 3 == 1 ? g.rng.uniform(1.2, 2.5) : g.rng.uniform(5.0, 10.0))
                * std::max(size.width, size.height) / 1500.0;
            cv::GaussianBlur(backdrop, backdrop, cv::Size(), sigma);
        }
        return g.compose(i, subject, look, at, backdrop);
    });
}

// Close-ups that fill or cross the frame: busts and faces cropped close,
// products and stamps enlarged, covering 60-100 % of the frame and cut by
// two to four of its edges; on plain backdrops or over photographs.
inline std::vector<KSQualitySample> frameFillGroup(const Sources &sources, int perGroup, std::uint64_t seed, bool busy)
{
    GroupMaker g(sources, busy ? "framefill-busy" : "framefill-studio", seed);
    return eachPhoto(perGroup, [&](int i) -> std::optional<KSQualitySample> {
        const cv::Size size = photoSizes[i % 4];
        // Busts (head and shoulders) and faces; products; stamps, which
        // bear no enlarging past what the loader allows.
        const int kind = i % 4 == 3 ? ((i / 4) % 2 ? 4 : 3) : i % 4;
        const bool bust = kind == 0 || kind == 3;
        const Subject subject = bust      ? g.person(-1, kind == 0 ? 0.3 : 0.2)
            : kind == 1                   ? g.product()
                                          : g.stamp(kind == 4, {size.width * 3, size.height * 3});
        if (subject.look.alpha.empty())
            return std::nullopt;
        // Renders enlarged past 2.5 times look drawn, not photographed.
        const CloseUp c = closeUp(subject.look.alpha, size, g.rng.uniform(0.6, 0.95), bust, kind >= 2 ? 1.0 : 2.5, g.rng);
        const auto [look, at] = visiblePart(subject.look, c, size);
        if (look.alpha.empty())
            return std::nullopt;
        const cv::Mat backdrop = busy ? busyBackdrop(sources.root, i + 7, size, g.rng) : plainFor(g, i, size);
        return g.compose(i, subject, look, at, backdrop);
    });
}

// The groups of hard photos that `wants` names.
inline std::vector<KSQualitySample> hardGroups(const Sources &sources, int perGroup, std::uint64_t seed,
                                               const std::function<bool(const std::string &)> &wants)
{
    std::vector<KSQualitySample> set;
    auto append = [&](const std::string &group, const std::function<std::vector<KSQualitySample>()> &make) {
        if (!wants(group))
            return;
        std::vector<KSQualitySample> photos = make();
        set.insert(set.end(), std::make_move_iterator(photos.begin()), std::make_move_iterator(photos.end()));
    };
    append("finegap-studio", [&] { return fineGapGroup(sources, perGroup, seed); });
    append("thin-studio", [&] { return thinGroup(sources, perGroup, seed, false); });
    append("thin-busy", [&] { return thinGroup(sources, perGroup, seed, true); });
    append("salient-busy", [&] { return salientGroup(sources, perGroup, seed); });
    append("framefill-studio", [&] { return frameFillGroup(sources, perGroup, seed, false); });
    append("framefill-busy", [&] { return frameFillGroup(sources, perGroup, seed, true); });
    return set;
}

// perGroup photos in each group (clip art: half as many); empty without the
// renders or the artwork. `wanted`, when given, names the groups to make
// (a group's photos never depend on which others are made).
inline std::vector<KSQualitySample> make(const QString &root, int perGroup, std::uint64_t seed = 2024,
                                         const std::function<bool(const std::string &group)> &wanted = nullptr)
{
    auto wants = [&](const std::string &group) { return !wanted || wanted(group); };
    const QStringList people = rendersIn(root, QStringLiteral("person")),
                      products = rendersIn(root, QStringLiteral("product")),
                      stamps = KSArtworkSet::photoStampsIn(root);
    if (people.isEmpty() || products.isEmpty() || stamps.isEmpty()
        || KSArtworkSet::photoBackdrop(root, 0, {64, 64}).empty())
        return {};
    QStringList stampPeople, stampThings;
    for (const QString &file : stamps)
        (KSArtworkSet::isPersonStamp(file) ? stampPeople : stampThings) << file;

    const auto &sizes = photoSizes;
    cv::RNG rng(seed + 101);
    int nextPerson = 0, nextProduct = 0, nextStamp = 0, nextThing = 17;

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

    // The groups above share their random numbers: made all or none.
    static const char *const shared[] = {"render-person-studio", "render-product-studio", "id-render", "render-busy",
                                         "photo-studio", "photo-busy", "grey", "gradient-studio"};
    if (std::any_of(std::begin(shared), std::end(shared), wants)) {
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
    }
    // The hard photos, each group made on its own.
    Sources sources{root, people, products, stampPeople, stampThings,
                    wants("finegap-studio") ? gappyStamps(stamps) : QStringList()};
    for (KSQualitySample &sample : hardGroups(sources, perGroup, seed, wants))
        set.push_back(std::move(sample));
    // Drawn clip art: one small group, half over a studio backdrop, half over photographs.
    const std::vector<KSQualitySample> drawn = wants("clipart") ? KSArtworkSet::make(root, std::max(1, perGroup / 2), seed)
                                                                : std::vector<KSQualitySample>();
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
    // under the sample's name, `key` and a digest of the picture, so that
    // scoring the rules again needs no forward pass, and a photo the set
    // makes differently under the same name never reads an old map.
    [[nodiscard]] cv::Mat networkPass(const KSQualitySample &sample, KSLearnedModel &learned, const std::string &key,
                                      const cv::Mat &picture) const
    {
        // By runtime too: maps of one runtime must never stand in for another's.
        const QString runtime = learned.runtimeName().section(u' ', 0, 0).toLower();
        const QString folder = cache + QStringLiteral("/maps/") + learned.name() + u'-' + runtime + u'-' + QString::number(seed);
        QDir().mkpath(folder);
        const cv::Mat bytes = picture.isContinuous() ? picture : picture.clone();
        const QByteArray digest =
            QCryptographicHash::hash(QByteArrayView(bytes.ptr<char>(), qsizetype(bytes.total() * bytes.elemSize())),
                                     QCryptographicHash::Sha1)
                .toHex()
                .left(12);
        const QString path = folder + u'/' + QString::fromStdString(sample.name + "-" + key) + u'-'
                             + QString::fromLatin1(digest) + QStringLiteral(".png");
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
    // The mirror image's map is kept as the network gave it.
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
        // --only takes prefixes separated by commas; only the groups they
        // can match are made.
        const QStringList prefixes = QString::fromStdString(only).split(u',');
        std::vector<KSQualitySample> set = make(artwork, perGroup, seed, [&](const std::string &group) {
            const QString g = QString::fromStdString(group);
            return std::any_of(prefixes.begin(), prefixes.end(),
                               [&](const QString &p) { return g.startsWith(p) || p.startsWith(g); });
        });
        if (set.empty())
            std::fprintf(stderr, "no scored set in %s: run scripts/fetch-scored-set.sh\n", qPrintable(artwork));
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
