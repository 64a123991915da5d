#pragma once

// A scored set for the cut-out engines, generated procedurally (nothing is
// downloaded): subjects with exact alpha composited over plain backdrops
// (studio, product and ID-photo shots) and over busy ones. The same seed
// always gives the same set.

#include "KSEraserType.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <string>
#include <vector>

struct KSQualitySample
{
    std::string name;
    std::string group; // "plain" or "busy"
    KSEraserType type = KSEraserType::object;
    cv::Mat bgr;   // the composite
    cv::Mat alpha; // its exact alpha, 8-bit
    cv::Mat colour; // the subject's own colours (8-bit BGR) where alpha > 0
};

namespace KSQualitySet {

inline cv::Scalar randomColour(cv::RNG &rng, int low, int high)
{
    return cv::Scalar(rng.uniform(low, high), rng.uniform(low, high), rng.uniform(low, high));
}

inline double colourDistance(const cv::Scalar &a, const cv::Scalar &b)
{
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

// Smooth random texture in [0, 1]: noise at a few scales, resized up.
inline cv::Mat valueNoise(cv::RNG &rng, cv::Size size, int cells)
{
    cv::Mat sum = cv::Mat::zeros(size, CV_32F);
    double weight = 1.0, total = 0.0;
    for (int octave = 0; octave < 4; ++octave, cells *= 2, weight *= 0.5) {
        cv::Mat grid(std::max(2, cells * size.height / std::max(size.width, size.height)), std::max(2, cells), CV_32F);
        rng.fill(grid, cv::RNG::UNIFORM, 0.0, 1.0);
        cv::Mat up;
        cv::resize(grid, up, size, 0, 0, cv::INTER_CUBIC);
        sum += up * weight;
        total += weight;
    }
    sum /= total;
    return sum;
}

// A plain backdrop: one colour, a gentle gradient and vignette, sensor noise,
// and sometimes a soft shadow where the subject stands.
inline cv::Mat plainBackdrop(cv::RNG &rng, cv::Size size, const cv::Mat &alpha, cv::Scalar *colour)
{
    static const cv::Scalar studio[] = {{245, 245, 245}, {230, 232, 235}, {200, 160, 90}, {235, 225, 210},
                                        {150, 150, 150}, {60, 60, 64},    {90, 200, 240}, {210, 235, 215}};
    *colour = studio[rng.uniform(0, int(std::size(studio)))];
    cv::Mat backdrop(size, CV_32FC3);
    const double tilt = rng.uniform(-0.08, 0.08);
    const cv::Point2f centre(size.width * 0.5f, size.height * 0.45f);
    const double radius = std::hypot(size.width, size.height) * 0.6;
    for (int y = 0; y < size.height; ++y) {
        auto *row = backdrop.ptr<cv::Vec3f>(y);
        for (int x = 0; x < size.width; ++x) {
            const double vignette = 1.0 - 0.06 * std::pow(std::hypot(x - centre.x, y - centre.y) / radius, 2.0);
            const double shade = (1.0 + tilt * (double(y) / size.height - 0.5)) * vignette;
            row[x] = cv::Vec3f(float((*colour)[0] * shade), float((*colour)[1] * shade), float((*colour)[2] * shade));
        }
    }
    if (rng.uniform(0, 2) == 1) {
        // A contact shadow: the subject's footprint, shifted, blurred, darkening the floor.
        cv::Mat shadow;
        alpha.convertTo(shadow, CV_32F, 1.0 / 255.0);
        const cv::Mat shift = (cv::Mat_<double>(2, 3) << 1, 0, size.width * 0.03, 0, 1, size.height * 0.03);
        cv::warpAffine(shadow, shadow, shift, size);
        cv::GaussianBlur(shadow, shadow, cv::Size(), size.width * 0.015);
        cv::Mat darkening;
        cv::merge(std::vector<cv::Mat>(3, 1.0 - 0.25 * shadow), darkening);
        backdrop = backdrop.mul(darkening);
    }
    return backdrop;
}

// A busy backdrop: a coloured texture, shapes of every colour, a little blur
// as from depth of field.
inline cv::Mat busyBackdrop(cv::RNG &rng, cv::Size size)
{
    std::vector<cv::Mat> channels;
    for (int c = 0; c < 3; ++c)
        channels.push_back(valueNoise(rng, size, 4 + c) * 255.0);
    cv::Mat backdrop;
    cv::merge(channels, backdrop);
    const int shapes = rng.uniform(25, 60);
    for (int i = 0; i < shapes; ++i) {
        const cv::Point p(rng.uniform(0, size.width), rng.uniform(0, size.height));
        const int extent = rng.uniform(size.width / 40, size.width / 6);
        const cv::Scalar colour = randomColour(rng, 0, 255);
        switch (rng.uniform(0, 3)) {
        case 0: cv::rectangle(backdrop, p, p + cv::Point(extent, extent * 2 / 3), colour, cv::FILLED, cv::LINE_AA); break;
        case 1: cv::circle(backdrop, p, extent / 2, colour, cv::FILLED, cv::LINE_AA); break;
        default: cv::line(backdrop, p, p + cv::Point(extent * 2, rng.uniform(-extent, extent)), colour, 1 + extent / 12, cv::LINE_AA); break;
        }
    }
    cv::GaussianBlur(backdrop, backdrop, cv::Size(), 1.5);
    return backdrop;
}

// A head-and-shoulders silhouette standing on the bottom edge.
inline void drawPerson(cv::RNG &rng, cv::Mat &alpha)
{
    const cv::Size size = alpha.size();
    const double cx = size.width * rng.uniform(0.42, 0.58);
    const double headW = size.width * rng.uniform(0.10, 0.16), headH = headW * rng.uniform(1.2, 1.4);
    const double headY = size.height * rng.uniform(0.28, 0.40);
    cv::ellipse(alpha, cv::Point(int(cx), int(headY)), cv::Size(int(headW), int(headH)), rng.uniform(-8.0, 8.0), 0, 360, 255, cv::FILLED, cv::LINE_AA);
    // Hair: a few bumps over the top of the head.
    for (int i = 0; i < 5; ++i) {
        const double a = CV_PI * (1.1 + 0.8 * i / 4.0);
        cv::circle(alpha, cv::Point(int(cx + headW * 0.85 * std::cos(a)), int(headY + headH * 0.8 * std::sin(a))), int(headW * 0.35), 255, cv::FILLED, cv::LINE_AA);
    }
    const double neckTop = headY + headH * 0.8, shoulderY = headY + headH * rng.uniform(1.6, 1.9);
    const double shoulder = size.width * rng.uniform(0.30, 0.44);
    const std::vector<cv::Point> body{
        {int(cx - headW * 0.45), int(neckTop)}, {int(cx + headW * 0.45), int(neckTop)},
        {int(cx + headW * 0.5), int(shoulderY - headH * 0.3)}, {int(cx + shoulder), int(shoulderY + headH * 0.1)},
        {int(cx + shoulder * 1.08), size.height}, {int(cx - shoulder * 1.08), size.height},
        {int(cx - shoulder), int(shoulderY + headH * 0.1)}, {int(cx - headW * 0.5), int(shoulderY - headH * 0.3)}};
    cv::fillPoly(alpha, std::vector<std::vector<cv::Point>>{body}, 255, cv::LINE_AA);
}

// A product: a blob with a wavy outline, a bottle, or a mug with a handle
// (whose hole shows the backdrop).
inline void drawObject(cv::RNG &rng, cv::Mat &alpha)
{
    const cv::Size size = alpha.size();
    const cv::Point2d c(size.width * rng.uniform(0.4, 0.6), size.height * rng.uniform(0.42, 0.58));
    const double r = std::min(size.width, size.height) * rng.uniform(0.22, 0.32);
    switch (rng.uniform(0, 3)) {
    case 0: {
        std::vector<cv::Point> outline;
        const double a2 = rng.uniform(0.0, 0.15), a3 = rng.uniform(0.0, 0.12), p2 = rng.uniform(0.0, 6.28), p3 = rng.uniform(0.0, 6.28);
        for (int i = 0; i < 360; ++i) {
            const double t = i * CV_PI / 180.0;
            const double radius = r * (1.0 + a2 * std::sin(2 * t + p2) + a3 * std::sin(5 * t + p3));
            outline.emplace_back(int(c.x + radius * std::cos(t) * 1.2), int(c.y + radius * std::sin(t)));
        }
        cv::fillPoly(alpha, std::vector<std::vector<cv::Point>>{outline}, 255, cv::LINE_AA);
        break;
    }
    case 1: {
        const int w = int(r * 0.55), h = int(r * 1.1);
        cv::rectangle(alpha, cv::Point(int(c.x) - w, int(c.y) - h / 2), cv::Point(int(c.x) + w, int(c.y) + h + h / 2), 255, cv::FILLED, cv::LINE_AA);
        cv::ellipse(alpha, cv::Point(int(c.x), int(c.y) - h / 2), cv::Size(w, w / 2), 0, 0, 360, 255, cv::FILLED, cv::LINE_AA);
        cv::rectangle(alpha, cv::Point(int(c.x) - w / 3, int(c.y) - h - w / 2), cv::Point(int(c.x) + w / 3, int(c.y) - h / 2), 255, cv::FILLED, cv::LINE_AA);
        break;
    }
    default: {
        const int w = int(r * 0.8), h = int(r * 1.0);
        cv::rectangle(alpha, cv::Point(int(c.x) - w, int(c.y) - h), cv::Point(int(c.x) + w, int(c.y) + h), 255, cv::FILLED, cv::LINE_AA);
        cv::ellipse(alpha, cv::Point(int(c.x) + w, int(c.y)), cv::Size(int(h * 0.6), int(h * 0.55)), 0, 0, 360, 255, int(h * 0.16), cv::LINE_AA);
        break;
    }
    }
}

// The subject's look: a base colour unlike the backdrop, light from the upper
// left, a texture and a few details.
inline cv::Mat subjectColour(cv::RNG &rng, cv::Size size, const cv::Scalar &avoid)
{
    cv::Scalar base = randomColour(rng, 20, 235);
    for (int i = 0; i < 50 && colourDistance(base, avoid) < 110; ++i)
        base = randomColour(rng, 20, 235);
    const cv::Mat texture = valueNoise(rng, size, 12);
    cv::Mat subject(size, CV_32FC3);
    const double stripes = rng.uniform(0, 2) ? rng.uniform(0.02, 0.06) : 0.0;
    for (int y = 0; y < size.height; ++y) {
        auto *row = subject.ptr<cv::Vec3f>(y);
        const float *t = texture.ptr<float>(y);
        for (int x = 0; x < size.width; ++x) {
            const double light = 1.1 - 0.3 * (double(x) / size.width + double(y) / size.height) / 2.0;
            const double stripe = stripes > 0 ? 0.1 * std::sin(y * stripes * 6.0) : 0.0;
            const double k = light * (0.85 + 0.3 * t[x]) + stripe;
            row[x] = cv::Vec3f(float(base[0] * k), float(base[1] * k), float(base[2] * k));
        }
    }
    for (int i = 0; i < 6; ++i)
        cv::circle(subject, cv::Point(rng.uniform(0, size.width), rng.uniform(0, size.height)), rng.uniform(4, 20), randomColour(rng, 0, 255), cv::FILLED, cv::LINE_AA);
    return subject;
}

// The subject laid over the backdrop by its exact alpha, with a little
// sensor noise, as an 8-bit BGR photo (both pictures are float BGR).
inline cv::Mat photograph(const cv::Mat &subject, const cv::Mat &backdrop, const cv::Mat &alpha, cv::RNG &rng)
{
    cv::Mat a, a3;
    alpha.convertTo(a, CV_32F, 1.0 / 255.0);
    cv::merge(std::vector<cv::Mat>(3, a), a3);
    cv::Mat composite = subject.mul(a3) + backdrop.mul(cv::Scalar::all(1.0) - a3);
    cv::Mat noise(alpha.size(), CV_32FC3);
    rng.fill(noise, cv::RNG::NORMAL, 0.0, 2.0);
    composite += noise;
    cv::Mat bgr;
    composite.convertTo(bgr, CV_8UC3);
    return bgr;
}

inline KSQualitySample makeSample(int index, const std::string &group, cv::Size size, std::uint64_t seed)
{
    cv::RNG rng(seed * 1000003ULL + std::uint64_t(index) * 7919ULL + (group == "busy" ? 17 : 0));
    KSQualitySample sample;
    sample.group = group;
    sample.type = index % 2 == 0 ? KSEraserType::person : KSEraserType::object;
    sample.name = group + "-" + (index < 10 ? "0" : "") + std::to_string(index) + "-" + KSEraserTypeRawValue(sample.type).toStdString();
    sample.alpha = cv::Mat::zeros(size, CV_8U);
    if (sample.type == KSEraserType::person)
        drawPerson(rng, sample.alpha);
    else
        drawObject(rng, sample.alpha);

    cv::Scalar backdropColour(128, 128, 128);
    const cv::Mat backdrop = group == "plain" ? plainBackdrop(rng, size, sample.alpha, &backdropColour) : busyBackdrop(rng, size);
    if (group == "busy")
        backdropColour = cv::mean(backdrop);
    const cv::Mat subject = subjectColour(rng, size, backdropColour);

    sample.bgr = photograph(subject, backdrop, sample.alpha, rng);
    subject.convertTo(sample.colour, CV_8UC3);
    return sample;
}

// countPerGroup photos over plain backdrops and as many over busy ones, in
// the sizes a reduced upload has.
inline std::vector<KSQualitySample> make(int countPerGroup, std::uint64_t seed = 2024)
{
    static const cv::Size sizes[] = {{1200, 900}, {900, 1200}, {1600, 1067}, {1000, 1000}, {2000, 1500}, {1333, 2000}};
    std::vector<KSQualitySample> set;
    for (const char *group : {"plain", "busy"}) {
        for (int i = 0; i < countPerGroup; ++i)
            set.push_back(makeSample(i, group, sizes[i % std::size(sizes)], seed));
    }
    return set;
}

// Intersection over union of the two masks cut at alpha 128.
inline double iouAt128(const cv::Mat &mask, const cv::Mat &alpha)
{
    const cv::Mat a = mask >= 128, b = alpha >= 128;
    const double unionArea = cv::countNonZero(a | b);
    return unionArea > 0 ? cv::countNonZero(a & b) / unionArea : 1.0;
}

} // namespace KSQualitySet
