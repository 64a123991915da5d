#pragma once

// Scores of a mask against the exact alpha, both 8-bit and of one size.

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

struct KSMaskScore
{
    double iou = 0;       // intersection over union, both cut at 128
    double mae = 0;       // mean absolute alpha error, 0..1
    double sad = 0;       // sum of absolute alpha errors, in thousands (alpha 0..1)
    double boundaryF = 0; // F-measure of the outlines within a tolerance
};

namespace KSMaskScoring {

// Boundary tolerance: 0.4 % of the diagonal (about 10 pixels on a
// 2000 x 1500 photo), stricter than the usual 0.8 %.
constexpr double boundaryTolerance = 0.004;

inline double mean(const std::vector<double> &v)
{
    double sum = 0;
    for (double x : v)
        sum += x;
    return v.empty() ? 0.0 : sum / double(v.size());
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// The share of the frame a mask keeps, cut at 128 (0 for no mask).
inline double keptShare(const cv::Mat &mask)
{
    return mask.empty() ? 0.0 : cv::countNonZero(mask >= 128) / double(mask.total());
}

inline cv::Mat outline(const cv::Mat &binary)
{
    cv::Mat eroded;
    cv::erode(binary, eroded, cv::getStructuringElement(cv::MORPH_RECT, {3, 3}), {-1, -1}, 1, cv::BORDER_REPLICATE);
    return binary & ~eroded;
}

inline KSMaskScore score(const cv::Mat &mask, const cv::Mat &alpha)
{
    KSMaskScore s;
    if (mask.empty() || mask.size() != alpha.size())
        return s;
    const cv::Mat a = mask >= 128, b = alpha >= 128;
    const double unionArea = cv::countNonZero(a | b);
    s.iou = unionArea > 0 ? cv::countNonZero(a & b) / unionArea : 1.0;
    cv::Mat difference;
    cv::absdiff(mask, alpha, difference);
    const double total = cv::sum(difference)[0] / 255.0;
    s.mae = total / double(mask.total());
    s.sad = total / 1000.0;

    const int radius = std::max(1, int(std::lround(boundaryTolerance * std::hypot(mask.cols, mask.rows))));
    const cv::Mat disk = cv::getStructuringElement(cv::MORPH_ELLIPSE, {2 * radius + 1, 2 * radius + 1});
    const cv::Mat ma = outline(a), mb = outline(b);
    cv::Mat nearA, nearB;
    cv::dilate(ma, nearA, disk);
    cv::dilate(mb, nearB, disk);
    const double na = cv::countNonZero(ma), nb = cv::countNonZero(mb);
    if (na == 0 && nb == 0) {
        s.boundaryF = 1.0;
    } else if (na > 0 && nb > 0) {
        const double precision = cv::countNonZero(ma & nearB) / na;
        const double recall = cv::countNonZero(mb & nearA) / nb;
        s.boundaryF = precision + recall > 0 ? 2 * precision * recall / (precision + recall) : 0.0;
    }
    return s;
}

// Pixels of the true edge: where the true alpha is neither 0 nor 255, or
// within a few pixels of the true outline.
inline cv::Mat edgeBand(const cv::Mat &alpha)
{
    constexpr int reach = 3;
    cv::Mat nearOutline;
    cv::dilate(outline(alpha >= 128), nearOutline, cv::getStructuringElement(cv::MORPH_ELLIPSE, {2 * reach + 1, 2 * reach + 1}));
    return nearOutline | ((alpha > 0) & (alpha < 255));
}

// The cut-out (colour and mask) laid on black, white and magenta against the
// true subject (its own colours and alpha) on the same colour: the mean
// absolute difference over the true edge band, 0..255. All 8-bit, one size.
inline double edgeColourError(const cv::Mat &colour, const cv::Mat &mask, const cv::Mat &trueColour,
                              const cv::Mat &trueAlpha)
{
    const cv::Mat band = edgeBand(trueAlpha);
    const double pixels = cv::countNonZero(band);
    if (pixels == 0)
        return 0.0;
    auto laid = [](const cv::Mat &c, const cv::Mat &a, const cv::Scalar &backdrop) {
        cv::Mat cf, af, a3;
        c.convertTo(cf, CV_32F);
        a.convertTo(af, CV_32F, 1.0 / 255.0);
        cv::merge(std::vector<cv::Mat>(3, af), a3);
        cv::Mat result = cf.mul(a3) + (cv::Scalar::all(1.0) - a3).mul(cv::Mat(c.size(), CV_32FC3, backdrop));
        return result;
    };
    double total = 0;
    for (const cv::Scalar &backdrop : {cv::Scalar(0, 0, 0), cv::Scalar(255, 255, 255), cv::Scalar(255, 0, 255)}) {
        cv::Mat difference;
        cv::absdiff(laid(colour, mask, backdrop), laid(trueColour, trueAlpha, backdrop), difference);
        const cv::Scalar sum = cv::sum(difference.setTo(cv::Scalar::all(0), ~band));
        total += (sum[0] + sum[1] + sum[2]) / (3.0 * pixels);
    }
    return total / 3.0;
}

} // namespace KSMaskScoring
