#pragma once

#include <opencv2/core.hpp>

// Filters made of box means over (2 radius + 1)² pixels, shared by the
// service's engines, the cut-out's edge and the editor's smart brush.
namespace KSBoxFilters {

// box(weight x colour) / box(weight), reflected at the borders: the local
// mean of `colour` (3-channel float) where `weight` (1-channel float, same
// size) lies. Where the weight is nil all round the result is rounding
// noise, not a colour.
[[nodiscard]] cv::Mat weightedMean(const cv::Mat &colour, const cv::Mat &weight, int radius);

// The guided filter (He, Sun and Tang): `input` (1-channel float) smoothed
// so that its edges follow those of `guide` (float, 1 or 3 channels, same
// size) within `radius`; `eps` is the smoothing, in the guide's units
// squared. Beyond the border a grey guide's sums see the picture mirrored
// about its outermost pixel, a colour guide's mirrored about its edge.
[[nodiscard]] cv::Mat guided(const cv::Mat &guide, const cv::Mat &input, int radius, double eps);

} // namespace KSBoxFilters
