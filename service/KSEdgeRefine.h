#pragma once

#include <opencv2/core.hpp>

#include <string>

// Steps every cut-out engine shares at the picture's own size.
namespace KSEdgeRefine {

// A mask whose subject covers less than this share of the picture is no
// cut-out: the engine found nothing, and the task fails with the cause.
constexpr double smallestSubject = 0.002;

// Whether the subject of an 8-bit mask (values from 128) covers at least
// smallestSubject of it.
[[nodiscard]] bool hasSubject(const cv::Mat &mask);

// The components of a binary mask (4-connected) that touch the frame.
[[nodiscard]] cv::Mat touchingFrame(const cv::Mat &binary);

// The engines' input as 8-bit BGR (grey pictures get three channels); empty
// with *error set for anything else.
[[nodiscard]] cv::Mat colourPicture(const cv::Mat &input, std::string *error);

// A soft mask (CV_32F, 0..1, any size) brought up to the picture's size and
// refined there with a guided filter led by the picture, so that its edges
// follow the photo's; returned as 8-bit.
[[nodiscard]] cv::Mat toPicture(const cv::Mat &bgr, const cv::Mat &soft, int radius, double eps);

} // namespace KSEdgeRefine
