#include "KSCutoutRules.h"

#include "KSBoxFilters.h"
#include "KSComponents.h"
#include "KSEdgeRefine.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
// Where the map counts as subject.
constexpr float subjectLevel = 0.5f;

// A shadow darkens the backdrop by this factor range; lighter than the upper
// end is the backdrop itself, darker than the lower a dark subject.
constexpr float shadowDarkest = 0.25f, shadowLightest = 0.94f;
// Beyond this share of the subject looking like shadow, the subject itself
// has the backdrop's colour.
constexpr double subjectLookingLikeShadow = 0.4;
// How far a shadow's colour may turn from the backdrop's, as the distance
// between the two colours' unit vectors.
constexpr float shadowTint = 0.035f;
// The backdrop colour around a pixel is read this far, as a share of the
// long side.
constexpr double backdropReach = 0.06;

// A shadow's mean absolute Laplacian (grey levels, once the noise is
// smoothed away) at most.
constexpr double shadowRoughness = 3.0;
// A greyscale photo: at most this share of pixels whose channels differ by
// more than this.
constexpr int greyChroma = 12;
constexpr double colouredShareOfGrey = 0.01;

// Backdrop palette: at most this many colours, each matching within its
// spread times this factor, clamped (Lab units).
constexpr int paletteSize = 6;
constexpr float paletteSpread = 2.5f, paletteTightest = 6.0f, paletteLoosest = 18.0f;
// The ring of backdrop the palette is read from, as a share of the long side.
constexpr double ringWidth = 0.03;
// Holes smaller than this share of the picture are left to the network.
constexpr double smallestHole = 0.0003;
// A hole is backdrop when at least this share of it has backdrop colours.
constexpr double backdropHoleShare = 0.5;

int sideShare(const cv::Mat &m, double share)
{
    return std::max(2, int(std::lround(std::max(m.cols, m.rows) * share)));
}

cv::Mat disc(int radius)
{
    return cv::getStructuringElement(cv::MORPH_ELLIPSE, {2 * radius + 1, 2 * radius + 1});
}

struct Palette
{
    std::vector<cv::Vec3f> centres;
    std::vector<float> tolerances;
};

Palette ringPalette(const cv::Mat &lab, const cv::Mat &ring)
{
    std::vector<cv::Vec3f> samples;
    const int total = cv::countNonZero(ring);
    const int step = std::max(1, total / 4000);
    int seen = 0;
    for (int y = 0; y < lab.rows; ++y) {
        const uchar *r = ring.ptr<uchar>(y);
        const auto *p = lab.ptr<cv::Vec3f>(y);
        for (int x = 0; x < lab.cols; ++x)
            if (r[x] && seen++ % step == 0)
                samples.push_back(p[x]);
    }
    Palette palette;
    const int k = std::min<int>(paletteSize, int(samples.size()) / 30);
    if (k < 1)
        return palette;
    cv::Mat data(int(samples.size()), 3, CV_32F, samples.data()), labels, centres;
    cv::theRNG().state = 0x5eed; // the same picture always gives the same mask
    cv::kmeans(data, k, labels, cv::TermCriteria(cv::TermCriteria::EPS | cv::TermCriteria::COUNT, 15, 0.5), 1,
               cv::KMEANS_PP_CENTERS, centres);
    std::vector<double> squared(size_t(k), 0.0), count(size_t(k), 0.0);
    for (size_t i = 0; i < samples.size(); ++i) {
        const int c = labels.at<int>(int(i));
        const cv::Vec3f d = samples[i] - centres.at<cv::Vec3f>(c);
        squared[size_t(c)] += d.dot(d);
        count[size_t(c)] += 1;
    }
    for (int c = 0; c < k; ++c) {
        // A colour seen only here and there in the ring is the subject's own fringe.
        if (count[size_t(c)] < 0.03 * double(samples.size()))
            continue;
        palette.centres.push_back(centres.at<cv::Vec3f>(c));
        palette.tolerances.push_back(std::clamp(
            paletteSpread * float(std::sqrt(squared[size_t(c)] / count[size_t(c)])), paletteTightest, paletteLoosest));
    }
    return palette;
}

cv::Mat labOf(const cv::Mat &bgr)
{
    cv::Mat lab;
    bgr.convertTo(lab, CV_32F, 1.0 / 255.0);
    cv::cvtColor(lab, lab, cv::COLOR_BGR2Lab);
    return lab;
}
} // namespace

cv::Mat KSCutoutRules::backdropColour(const cv::Mat &bgr, const cv::Mat &outside, int radius)
{
    cv::Mat colour, weight;
    bgr.convertTo(colour, CV_32FC3);
    outside.convertTo(weight, CV_32F, 1.0 / 255.0);
    return KSBoxFilters::weightedMean(colour, weight, radius);
}

cv::Mat KSCutoutRules::castShadow(const cv::Mat &bgr, const cv::Mat &map, float surest)
{
    const cv::Mat subject = map >= subjectLevel;
    const cv::Mat outside = KSEdgeRefine::touchingFrame(~subject);
    const cv::Mat backdrop = backdropColour(bgr, outside, sideShare(map, backdropReach));
    cv::Mat shadowLike(map.size(), CV_8U, cv::Scalar(0));
    for (int y = 0; y < map.rows; ++y) {
        const auto *p = bgr.ptr<cv::Vec3b>(y);
        const auto *b = backdrop.ptr<cv::Vec3f>(y);
        const uchar *s = subject.ptr<uchar>(y);
        uchar *out = shadowLike.ptr<uchar>(y);
        for (int x = 0; x < map.cols; ++x) {
            if (!s[x])
                continue;
            const cv::Vec3f pixel(p[x][0], p[x][1], p[x][2]);
            const float pixelNorm = float(cv::norm(pixel)), backdropNorm = float(cv::norm(b[x]));
            if (pixelNorm < 1.0f || backdropNorm < 20.0f)
                continue;
            const float darkening = pixelNorm / backdropNorm;
            const float tint = float(cv::norm(pixel / pixelNorm - b[x] / backdropNorm));
            out[x] = darkening >= shadowDarkest && darkening <= shadowLightest && tint <= shadowTint ? 255 : 0;
        }
    }
    if (cv::countNonZero(shadowLike) > subjectLookingLikeShadow * cv::countNonZero(subject))
        return cv::Mat::zeros(map.size(), CV_8U);
    shadowLike.setTo(0, map >= surest);
    // A shadow lies on the backdrop: it joins the backdrop the frame reaches.
    cv::Mat nearOutside;
    cv::dilate(outside, nearOutside, disc(1));
    const cv::Mat joined = KSComponents::touching(shadowLike, nearOutside & shadowLike);

    // It falls on the floor, below the subject's middle, and is smooth where
    // grey metal, which also looks like a darkened backdrop, shows
    // reflections.
    const cv::Moments subjectMoments = cv::moments(subject, true);
    if (subjectMoments.m00 <= 0)
        return joined;
    const double subjectMiddle = subjectMoments.m01 / subjectMoments.m00;
    cv::Mat grey, texture;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    cv::GaussianBlur(grey, grey, {5, 5}, 1.5); // sensor noise is no texture
    cv::Laplacian(grey, texture, CV_16S, 1);
    texture = cv::abs(texture);
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(joined, labels, stats, centroids, 8, CV_32S);
    std::vector<double> roughness(size_t(count), 0.0);
    for (int y = 0; y < labels.rows; ++y) {
        const int *label = labels.ptr<int>(y);
        const short *t = texture.ptr<short>(y);
        for (int x = 0; x < labels.cols; ++x)
            roughness[size_t(label[x])] += t[x];
    }
    std::vector<uchar> keep(size_t(count), 0);
    for (int i = 1; i < count; ++i)
        keep[size_t(i)] = centroids.at<double>(i, 1) > subjectMiddle
                          && roughness[size_t(i)] <= shadowRoughness * stats.at<int>(i, cv::CC_STAT_AREA);
    return KSComponents::kept(labels, keep);
}

bool KSCutoutRules::looksGreyscale(const cv::Mat &bgr)
{
    int coloured = 0;
    for (int y = 0; y < bgr.rows; ++y) {
        const auto *p = bgr.ptr<cv::Vec3b>(y);
        for (int x = 0; x < bgr.cols; ++x)
            coloured += std::max({p[x][0], p[x][1], p[x][2]}) - std::min({p[x][0], p[x][1], p[x][2]}) > greyChroma;
    }
    return coloured <= colouredShareOfGrey * double(bgr.total());
}

cv::Mat KSCutoutRules::backdropColoured(const cv::Mat &bgr, const cv::Mat &map)
{
    const cv::Mat subject = map >= subjectLevel;
    const cv::Mat outside = KSEdgeRefine::touchingFrame(~subject);
    cv::Mat ring;
    cv::dilate(subject, ring, disc(sideShare(map, ringWidth)));
    ring &= outside;
    const cv::Mat lab = labOf(bgr);
    const Palette palette = ringPalette(lab, ring);
    cv::Mat result(map.size(), CV_8U, cv::Scalar(0));
    for (int y = 0; y < lab.rows; ++y) {
        const auto *p = lab.ptr<cv::Vec3f>(y);
        uchar *out = result.ptr<uchar>(y);
        for (int x = 0; x < lab.cols; ++x)
            for (size_t c = 0; c < palette.centres.size() && !out[x]; ++c)
                out[x] = cv::norm(p[x] - palette.centres[c]) < palette.tolerances[c] ? 255 : 0;
    }
    return result;
}

cv::Mat KSCutoutRules::fillSubjectColouredHoles(const cv::Mat &bgr, const cv::Mat &map)
{
    const cv::Mat subject = map >= subjectLevel;
    const cv::Mat holes = ~subject & ~KSEdgeRefine::touchingFrame(~subject);
    if (cv::countNonZero(holes) == 0)
        return map;
    const cv::Mat coloured = backdropColoured(bgr, map);
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(holes, labels, stats, centroids, 8, CV_32S);
    std::vector<int> backdropPixels(size_t(count), 0);
    for (int y = 0; y < labels.rows; ++y) {
        const int *label = labels.ptr<int>(y);
        const uchar *c = coloured.ptr<uchar>(y);
        for (int x = 0; x < labels.cols; ++x)
            backdropPixels[size_t(label[x])] += c[x] ? 1 : 0;
    }
    cv::Mat result = map.clone();
    for (int i = 1; i < count; ++i) {
        const int area = stats.at<int>(i, cv::CC_STAT_AREA);
        if (area < smallestHole * double(map.total()) || backdropPixels[size_t(i)] >= backdropHoleShare * area)
            continue;
        result.setTo(1.0f, labels == i);
    }
    return result;
}
