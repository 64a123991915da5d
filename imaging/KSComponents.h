#pragma once

#include <opencv2/core.hpp>

#include <vector>

// Connected components picked by a rule: the service's clean-up of its maps
// and the editor's smart brush keep regions the same way.
namespace KSComponents {

// 255 where the label (CV_32S) is one `keep` marks, 0 elsewhere.
[[nodiscard]] cv::Mat kept(const cv::Mat &labels, const std::vector<uchar> &keep);

// The components of a binary mask (8-bit, non-zero counts) that hold a
// non-zero pixel of `seed` (same size): 255 there, 0 elsewhere.
[[nodiscard]] cv::Mat touching(const cv::Mat &binary, const cv::Mat &seed, int connectivity = 8);

} // namespace KSComponents
