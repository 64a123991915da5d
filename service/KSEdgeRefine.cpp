#include "KSEdgeRefine.h"

#include "KSBoxFilters.h"
#include "KSComponents.h"

#include <opencv2/imgproc.hpp>

#include <vector>

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
    cv::Mat result;
    KSBoxFilters::guided(guide, alpha, radius, eps).convertTo(result, CV_8U, 255.0);
    return result;
}

bool KSEdgeRefine::hasSubject(const cv::Mat &mask)
{
    return !mask.empty() && cv::countNonZero(mask >= 128) >= smallestSubject * double(mask.total());
}

cv::Mat KSEdgeRefine::touchingFrame(const cv::Mat &binary)
{
    cv::Mat labels;
    const int count = cv::connectedComponents(binary, labels, 4, CV_32S);
    std::vector<uchar> touches(size_t(count), 0);
    for (int x = 0; x < labels.cols; ++x) {
        touches[size_t(labels.at<int>(0, x))] = 1;
        touches[size_t(labels.at<int>(labels.rows - 1, x))] = 1;
    }
    for (int y = 0; y < labels.rows; ++y) {
        touches[size_t(labels.at<int>(y, 0))] = 1;
        touches[size_t(labels.at<int>(y, labels.cols - 1))] = 1;
    }
    touches[0] = 0; // the zero pixels of the input
    return KSComponents::kept(labels, touches);
}
