#include "KSBoxFilters.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/ximgproc/edge_filter.hpp>

#include <vector>

cv::Mat KSBoxFilters::weightedMean(const cv::Mat &colour, const cv::Mat &weight, int radius)
{
    // Guards the division where the weight is nearly nil.
    constexpr float tinyWeight = 1e-4f;
    const cv::Size box(2 * radius + 1, 2 * radius + 1);
    cv::Mat weight3, numerator, denominator;
    cv::merge(std::vector<cv::Mat>(3, weight), weight3);
    cv::boxFilter(colour.mul(weight3), numerator, -1, box, {-1, -1}, true, cv::BORDER_REFLECT);
    cv::boxFilter(weight3, denominator, -1, box, {-1, -1}, true, cv::BORDER_REFLECT);
    return numerator / (denominator + tinyWeight);
}

cv::Mat KSBoxFilters::guided(const cv::Mat &guide, const cv::Mat &input, int radius, double eps)
{
    if (guide.channels() != 1) {
        // A colour guide needs the 3 x 3 covariance inverse at every pixel.
        cv::Mat result;
        cv::ximgproc::guidedFilter(guide, input, result, radius, eps);
        return result;
    }
    // OpenCV's grey path mirrors the border about the edge rather than about
    // the outermost pixel, which would move the smart brush's tile seams.
    const cv::Size box(2 * radius + 1, 2 * radius + 1);
    cv::Mat meanI, meanP, corrI, corrIp;
    cv::boxFilter(guide, meanI, CV_32F, box);
    cv::boxFilter(input, meanP, CV_32F, box);
    cv::boxFilter(guide.mul(guide), corrI, CV_32F, box);
    cv::boxFilter(guide.mul(input), corrIp, CV_32F, box);
    const cv::Mat varI = corrI - meanI.mul(meanI);
    const cv::Mat covIp = corrIp - meanI.mul(meanP);
    cv::Mat a = covIp / (varI + eps);
    cv::Mat b = meanP - a.mul(meanI);
    cv::boxFilter(a, a, CV_32F, box);
    cv::boxFilter(b, b, CV_32F, box);
    return a.mul(guide) + b;
}
