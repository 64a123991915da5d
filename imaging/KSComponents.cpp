#include "KSComponents.h"

#include <opencv2/imgproc.hpp>

cv::Mat KSComponents::kept(const cv::Mat &labels, const std::vector<uchar> &keep)
{
    cv::Mat result(labels.size(), CV_8U);
    for (int y = 0; y < labels.rows; ++y) {
        const int *label = labels.ptr<int>(y);
        uchar *out = result.ptr<uchar>(y);
        for (int x = 0; x < labels.cols; ++x)
            out[x] = keep[size_t(label[x])] ? 255 : 0;
    }
    return result;
}

cv::Mat KSComponents::touching(const cv::Mat &binary, const cv::Mat &seed, int connectivity)
{
    cv::Mat labels;
    const int count = cv::connectedComponents(binary, labels, connectivity, CV_32S);
    std::vector<uchar> touched(size_t(count), 0);
    for (int y = 0; y < labels.rows; ++y) {
        const int *label = labels.ptr<int>(y);
        const uchar *s = seed.ptr<uchar>(y);
        for (int x = 0; x < labels.cols; ++x)
            if (s[x] && label[x])
                touched[size_t(label[x])] = 1;
    }
    return kept(labels, touched);
}
