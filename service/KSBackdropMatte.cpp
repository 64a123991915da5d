#include "KSBackdropMatte.h"

#include "KSBackdropSurface.h"
#include "KSComponents.h"
#include "KSEdgeRefine.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
// The mask's levels: below `clear` sure backdrop, above `opaque` sure subject.
constexpr uchar clear = 5, opaque = 250, subjectLevel = 128;
// The sure backdrop is sampled this many times for the surface.
constexpr int surfaceSamples = 8000;
// The surface explains the backdrop when this share of its samples lies
// within this distance of it (Lab).
constexpr double explainedShare = 0.85, explainedWithin = 6.0;
// What the surface leaves is averaged over this share of the long side.
constexpr double residualReach = 0.03;
// The sure subject's colours are spread over this share of the long side,
// then over the wider one where there is none so near.
constexpr double subjectNear = 0.012, subjectFar = 0.05;
// Colour distances (BGR, 0-255) in units of the backdrop's noise, floored:
// within `backdropLike` a pixel is the backdrop's colour; beyond `farFrom`
// clearly not; F and B are told apart from `separated`.
constexpr float backdropLike = 3.0f, backdropLikeFloor = 7.0f;
constexpr float farFrom = 6.0f, farFromFloor = 24.0f;
constexpr float separated = 40.0f;
// The mix explains a pixel when it is this close: the backdrop's noise
// (floored), plus a share of the subject's part in it (F is an estimate).
// What the mix does not explain (a dark tyre against a bright frame, both
// on a dark backdrop) keeps the mask's level.
constexpr float mixErrorFloor = 8.0f, mixError = 0.15f;
// A backdrop-coloured part of the subject is a gap when it is at most this
// wide (twice this share of the long side); a thin part at most this.
constexpr double gapHalfWidth = 0.008, thinHalfWidth = 0.006;
// A gap's outline lies along the subject's shading for at most this share.
constexpr double shadedOutline = 0.25;
// Thin parts lie within this share of the long side of the subject, and
// all of them together hold at most this share of the subject's area.
constexpr double thinReach = 0.15, thinArea = 0.05;
// A shadow: the backdrop darkened by this factor range, its hue kept.
constexpr float shadowDarkest = 0.2f, shadowLightest = 0.96f, shadowTint = 0.05f;

int share(cv::Size size, double part)
{
    return std::max(1, int(std::lround(std::max(size.width, size.height) * part)));
}

cv::Mat threeOf(const cv::Mat &one)
{
    cv::Mat three;
    const cv::Mat channels[3] = {one, one, one};
    cv::merge(channels, 3, three);
    return three;
}

// box(weighted) / box(weight), and the weight's box mean: the weighted mean
// of what `weighted` holds multiplied by `weight`.
cv::Mat boxMean(const cv::Mat &weighted, const cv::Mat &weight, int radius, cv::Mat *support)
{
    const cv::Size box(2 * radius + 1, 2 * radius + 1);
    cv::Mat sum;
    cv::boxFilter(weighted, sum, CV_32F, box, {-1, -1}, true, cv::BORDER_REFLECT);
    cv::boxFilter(weight, *support, CV_32F, box, {-1, -1}, true, cv::BORDER_REFLECT);
    cv::Mat divisor;
    cv::max(*support, 1e-6f, divisor);
    cv::Mat result;
    cv::divide(sum, threeOf(divisor), result);
    return result;
}

// The components of `region` (8-bit) kept when `keep` says so for their
// widest point (distance to their outside), their outline's length and how
// much of it lies in `flagged`.
template<typename Keep>
cv::Mat componentsBy(const cv::Mat &region, const cv::Mat &flagged, Keep keep)
{
    cv::Mat labels, stats, centroids, inside, inner;
    const int count = cv::connectedComponentsWithStats(region, labels, stats, centroids, 8, CV_32S);
    if (count <= 1)
        return cv::Mat::zeros(region.size(), CV_8U);
    cv::distanceTransform(region, inside, cv::DIST_L2, 3);
    cv::erode(region, inner, cv::Mat());
    std::vector<float> widest(size_t(count), 0.0f);
    std::vector<int> outline(size_t(count), 0), outlineFlagged(size_t(count), 0);
    for (int y = 0; y < labels.rows; ++y) {
        const int *l = labels.ptr<int>(y);
        const float *d = inside.ptr<float>(y);
        const uchar *i = inner.ptr<uchar>(y), *f = flagged.empty() ? nullptr : flagged.ptr<uchar>(y);
        for (int x = 0; x < labels.cols; ++x) {
            widest[size_t(l[x])] = std::max(widest[size_t(l[x])], d[x]);
            if (l[x] && !i[x]) {
                ++outline[size_t(l[x])];
                outlineFlagged[size_t(l[x])] += f && f[x] ? 1 : 0;
            }
        }
    }
    std::vector<uchar> kept(size_t(count), 0);
    for (int i = 1; i < count; ++i)
        kept[size_t(i)] = keep(widest[size_t(i)], outline[size_t(i)], outlineFlagged[size_t(i)]) ? 1 : 0;
    return KSComponents::kept(labels, kept);
}

// The backdrop's colour at every pixel of `small` (BGR float) and its
// noise, or empty when a smooth surface does not explain the sure backdrop.
// Worked out at a quarter of the size: a quadratic and the local mean of
// what it leaves are smooth.
cv::Mat backdropColour(const cv::Mat &small, const cv::Mat &sureBackdrop, float *noise)
{
    const int total = cv::countNonZero(sureBackdrop);
    if (total < 100)
        return {};
    const int step = std::max(1, int(std::sqrt(double(total) / surfaceSamples)));
    std::vector<cv::Point2d> at;
    std::vector<cv::Vec3b> picked;
    for (int y = step / 2; y < small.rows; y += step) {
        const uchar *s = sureBackdrop.ptr<uchar>(y);
        const auto *p = small.ptr<cv::Vec3b>(y);
        for (int x = step / 2; x < small.cols; x += step)
            if (s[x]) {
                at.emplace_back(x + 0.5, y + 0.5);
                picked.push_back(p[x]);
            }
    }
    // The fit in Lab, as the classical engine's, where distances are seen ones.
    cv::Mat lab;
    cv::Mat(picked, false).convertTo(lab, CV_32F, 1.0 / 255.0);
    cv::cvtColor(lab, lab, cv::COLOR_BGR2Lab);
    const std::vector<cv::Vec3f> colours(lab.begin<cv::Vec3f>(), lab.end<cv::Vec3f>());
    std::vector<double> residual;
    const cv::Mat coefficients =
        KSBackdropSurface::fit(at, colours, std::vector<double>(colours.size(), 1.0), small.size(), 1.5, &residual);
    if (coefficients.empty())
        return {};
    const auto explained = std::count_if(residual.begin(), residual.end(), [](double r) { return r < explainedWithin; });
    if (double(explained) < explainedShare * double(residual.size()))
        return {};

    const cv::Size quarter(std::max(1, small.cols / 4), std::max(1, small.rows / 4));
    cv::Mat surface = KSBackdropSurface::render(coefficients, quarter);
    cv::cvtColor(surface, surface, cv::COLOR_Lab2BGR);
    surface *= 255.0;
    // What the surface leaves (a seam, light falling off unevenly), from
    // the sure backdrop nearby where there is some.
    cv::Mat colour, weight, support;
    cv::resize(small, colour, quarter, 0, 0, cv::INTER_AREA);
    colour.convertTo(colour, CV_32FC3);
    cv::resize(sureBackdrop, weight, quarter, 0, 0, cv::INTER_AREA);
    weight.convertTo(weight, CV_32F, 1.0 / 255.0);
    weight.setTo(0.0f, weight < 0.99f); // a pixel half subject is not backdrop
    const cv::Mat left = boxMean(cv::Mat(colour - surface).mul(threeOf(weight)), weight,
                                 std::max(1, share(small.size(), residualReach) / 4), &support);
    cv::Mat backdrop = surface.clone();
    const cv::Mat corrected = surface + left;
    corrected.copyTo(backdrop, support > 0.05f);
    cv::resize(backdrop, backdrop, small.size(), 0, 0, cv::INTER_LINEAR);

    std::vector<float> distances;
    for (size_t i = 0; i < at.size(); ++i) {
        const cv::Point p(int(at[i].x), int(at[i].y));
        const cv::Vec3b c = small.at<cv::Vec3b>(p);
        distances.push_back(float(cv::norm(cv::Vec3f(c[0], c[1], c[2]) - backdrop.at<cv::Vec3f>(p))));
    }
    std::nth_element(distances.begin(), distances.begin() + long(distances.size() / 2), distances.end());
    *noise = std::max(1.5f, 1.48f * distances[distances.size() / 2]);
    return backdrop;
}
} // namespace

cv::Mat KSBackdropMatte::solve(const cv::Mat &bgr, const cv::Mat &mask, bool *applied)
{
    if (applied)
        *applied = false;
    cv::Mat full;
    if (bgr.empty() || mask.empty() || mask.type() != CV_8U || bgr.type() != CV_8UC3)
        return mask;
    if (mask.size() != bgr.size())
        cv::resize(mask, full, bgr.size(), 0, 0, cv::INTER_LINEAR);
    else
        full = mask.clone();

    const double scale = std::min(1.0, double(workSide) / std::max(bgr.cols, bgr.rows));
    cv::Mat small, alpha;
    if (scale < 1.0) {
        cv::resize(bgr, small, {}, scale, scale, cv::INTER_AREA);
        cv::resize(full, alpha, small.size(), 0, 0, cv::INTER_AREA);
    } else {
        small = bgr;
        alpha = full;
    }
    const cv::Mat subject = alpha >= subjectLevel;
    if (cv::countNonZero(subject) == 0)
        return full;
    cv::Mat sureBackdrop = KSEdgeRefine::touchingFrame(alpha < clear);
    cv::erode(sureBackdrop, sureBackdrop, cv::Mat(), {-1, -1}, 2, cv::BORDER_CONSTANT, cv::Scalar(255));

    float noise = 0;
    const cv::Mat backdrop = backdropColour(small, sureBackdrop, &noise);
    if (backdrop.empty())
        return full;
    if (applied)
        *applied = true;
    const float nearTolerance = std::max(backdropLikeFloor, backdropLike * noise);
    const float farTolerance = std::max(farFromFloor, farFrom * noise);

    // Distance from the backdrop's colour, and whether a pixel is the
    // backdrop in shadow.
    cv::Mat distance(small.size(), CV_32F), shadow(small.size(), CV_8U);
    for (int y = 0; y < small.rows; ++y) {
        const auto *i = small.ptr<cv::Vec3b>(y);
        const auto *b = backdrop.ptr<cv::Vec3f>(y);
        float *d = distance.ptr<float>(y);
        uchar *s = shadow.ptr<uchar>(y);
        for (int x = 0; x < small.cols; ++x) {
            const cv::Vec3f pixel(i[x][0], i[x][1], i[x][2]);
            d[x] = float(cv::norm(pixel - b[x]));
            const float in = float(cv::norm(pixel)), bn = float(cv::norm(b[x]));
            const float darkening = bn > 20.0f ? in / bn : 1.0f;
            s[x] = darkening >= shadowDarkest && darkening <= shadowLightest && in > 1.0f
                           && cv::norm(pixel / in - b[x] / bn) <= shadowTint
                       ? 255
                       : 0;
        }
    }

    // The subject's colour nearby, from the sure subject that is clearly
    // not the backdrop's colour, at half the size.
    cv::Mat sureSubject = (alpha >= opaque) & (distance >= farTolerance);
    cv::erode(sureSubject, sureSubject, cv::Mat());
    const cv::Size half(std::max(1, small.cols / 2), std::max(1, small.rows / 2));
    cv::Mat colourHalf, weight, nearSupport, farSupport;
    cv::resize(small, colourHalf, half, 0, 0, cv::INTER_AREA);
    colourHalf.convertTo(colourHalf, CV_32FC3);
    cv::resize(sureSubject, weight, half, 0, 0, cv::INTER_AREA);
    weight.convertTo(weight, CV_32F, 1.0 / 255.0);
    weight.setTo(0.0f, weight < 0.99f);
    const cv::Mat weightedColour = colourHalf.mul(threeOf(weight));
    cv::Mat foreground = boxMean(weightedColour, weight, std::max(1, share(small.size(), subjectNear) / 2), &nearSupport);
    {
        const cv::Size eighth(std::max(1, half.width / 4), std::max(1, half.height / 4));
        cv::Mat weightedSmall, weightSmall;
        cv::resize(weightedColour, weightedSmall, eighth, 0, 0, cv::INTER_AREA);
        cv::resize(weight, weightSmall, eighth, 0, 0, cv::INTER_AREA);
        cv::Mat wider = boxMean(weightedSmall, weightSmall, std::max(1, share(small.size(), subjectFar) / 8), &farSupport);
        cv::resize(wider, wider, half, 0, 0, cv::INTER_LINEAR);
        cv::resize(farSupport, farSupport, half, 0, 0, cv::INTER_LINEAR);
        wider.copyTo(foreground, nearSupport < 0.02f);
    }
    const cv::Mat noForeground = (nearSupport < 0.02f) & (farSupport < 0.002f);

    // Narrow backdrop-coloured parts of the subject: gaps it closed, its
    // halo. A broad one is the subject's own colour, and so is one that
    // shades into colours neither the backdrop's nor clearly another (the
    // dark tyre of a bicycle on a dark backdrop): a gap meets the subject at
    // an edge no wider than a few mixed pixels.
    cv::Mat shading = subject & (distance >= nearTolerance) & (distance < farTolerance);
    cv::morphologyEx(shading, shading, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_ELLIPSE, {5, 5}));
    cv::dilate(shading, shading, cv::Mat(), {-1, -1}, 2);
    const int gapWidth = share(small.size(), gapHalfWidth);
    const cv::Mat gaps = componentsBy(subject & (distance < nearTolerance), shading, [&](float widest, int outline, int shaded) {
        return widest <= float(gapWidth) && shaded <= shadedOutline * outline;
    });
    // Thin parts: pixels clearly not the backdrop's colour, nor its shadow,
    // outside the subject and near it, in narrow components that join it.
    cv::Mat fromSubject, touching;
    cv::distanceTransform(~subject, fromSubject, cv::DIST_L2, 3);
    const cv::Mat nearSubject = fromSubject <= float(share(small.size(), thinReach));
    cv::dilate(subject, touching, cv::Mat(), {-1, -1}, 2);
    const cv::Mat thinCandidates = ~subject & (distance >= farTolerance) & ~shadow & nearSubject;
    const int thinWidth = share(small.size(), thinHalfWidth);
    cv::Mat thin = componentsBy(thinCandidates, cv::Mat(), [&](float widest, int, int) { return widest <= float(thinWidth); });
    // Only components that touch the subject, and none when they would
    // add too much.
    thin = KSComponents::touching(thin, touching);
    if (double(cv::countNonZero(thin)) > thinArea * cv::countNonZero(subject))
        thin.setTo(0);
    // A thin part's alpha by its contrast against its own core.
    cv::Mat core;
    cv::dilate(distance, core, cv::Mat(), {-1, -1}, 2);

    // The band where the mask is soft, a little wider.
    cv::Mat band = (alpha > clear) & (alpha < opaque);
    cv::dilate(band, band, cv::Mat(), {-1, -1}, 2);
    cv::Mat gapsWide;
    cv::dilate(gaps, gapsWide, cv::Mat(), {-1, -1}, 2);

    cv::Mat solved = alpha.clone(), changed(small.size(), CV_8U, cv::Scalar(0));
    for (int y = 0; y < small.rows; ++y) {
        const auto *i = small.ptr<cv::Vec3b>(y);
        const auto *b = backdrop.ptr<cv::Vec3f>(y);
        const int yh = std::min(y / 2, half.height - 1);
        const auto *f = foreground.ptr<cv::Vec3f>(yh);
        const uchar *none = noForeground.ptr<uchar>(yh);
        const float *d = distance.ptr<float>(y), *c = core.ptr<float>(y);
        const uchar *a = alpha.ptr<uchar>(y), *bd = band.ptr<uchar>(y), *g = gaps.ptr<uchar>(y),
                    *gw = gapsWide.ptr<uchar>(y), *t = thin.ptr<uchar>(y), *s = shadow.ptr<uchar>(y);
        uchar *out = solved.ptr<uchar>(y);
        uchar *ch = changed.ptr<uchar>(y);
        for (int x = 0; x < small.cols; ++x) {
            const int xh = std::min(x / 2, half.width - 1);
            float value = a[x] / 255.0f;
            if (t[x]) {
                value = std::max(value, std::min(1.0f, d[x] / std::max(c[x], farTolerance)));
            } else if (g[x]) {
                value = 0.0f;
            } else if ((bd[x] || gw[x]) && !none[xh]) {
                const cv::Vec3f fb = f[xh] - b[x], ib = cv::Vec3f(i[x][0], i[x][1], i[x][2]) - b[x];
                const float separation = float(cv::norm(fb));
                // A backdrop-coloured pixel of a broad part of the subject
                // (one the gaps left out) keeps its level.
                const bool broadBackdropColoured = d[x] < nearTolerance && a[x] >= subjectLevel;
                if (separation >= separated && !broadBackdropColoured) {
                    const float mix = std::clamp(ib.dot(fb) / (separation * separation), 0.0f, 1.0f);
                    const float error = float(cv::norm(ib - mix * fb));
                    if (error <= std::max(3.0f * noise, mixErrorFloor) + mixError * mix * separation)
                        value = mix;
                }
            }
            const uchar level = cv::saturate_cast<uchar>(value * 255.0f);
            out[x] = s[x] ? std::min(level, a[x]) : level;
            ch[x] = out[x] != a[x] ? 255 : 0;
        }
    }
    if (cv::countNonZero(changed) == 0)
        return full;

    // Back to the photo's size, only where something changed.
    if (scale < 1.0) {
        cv::Mat up, where;
        cv::resize(solved, up, bgr.size(), 0, 0, cv::INTER_LINEAR);
        cv::dilate(changed, changed, cv::Mat());
        cv::resize(changed, where, bgr.size(), 0, 0, cv::INTER_NEAREST);
        up.copyTo(full, where);
        return full;
    }
    solved.copyTo(full, changed);
    return full;
}
