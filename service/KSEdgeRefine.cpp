#include "KSEdgeRefine.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/ximgproc/edge_filter.hpp>

cv::Mat KSEdgeRefine::colourPicture(const cv::Mat &input, std::string *error)
{
    if (input.empty() || input.depth() != CV_8U || (input.channels() != 3 && input.channels() != 1)) {
        if (error)
            *error = "the engine needs an 8-bit colour picture";
        return {};
    }
    if (input.channels() == 3)
        return input;
    cv::Mat bgr;
    cv::cvtColor(input, bgr, cv::COLOR_GRAY2BGR);
    return bgr;
}

cv::Mat KSEdgeRefine::toPicture(const cv::Mat &bgr, const cv::Mat &soft, int radius, double eps)
{
    cv::Mat alpha;
    cv::resize(soft, alpha, bgr.size(), 0, 0, cv::INTER_LINEAR);
    cv::Mat guide;
    bgr.convertTo(guide, CV_32F, 1.0 / 255.0);
    cv::Mat refined;
    cv::ximgproc::guidedFilter(guide, alpha, refined, radius, eps);
    cv::Mat result;
    refined.convertTo(result, CV_8U, 255.0);
    return result;
}
