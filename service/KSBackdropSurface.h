#pragma once

#include <opencv2/core.hpp>

#include <vector>

// A backdrop that is plain but not one colour (a gradient, a vignette, light
// falling off across a studio sweep) as a smooth surface: per channel a
// quadratic in the picture's coordinates, fitted to samples of the backdrop
// by reweighted least squares that weigh outliers (a subject among the
// samples) down with Tukey's weights. The classical engine fits it to the
// border, the default engine's backdrop matte to all the sure backdrop.
namespace KSBackdropSurface {

constexpr int terms = 6;

// The quadratic's terms at (x, y) of a picture of `size`, in coordinates
// from -1 to 1 across it.
[[nodiscard]] cv::Matx<double, 1, terms> termsAt(double x, double y, cv::Size size);

// The coefficients (terms x 3, CV_64F) fitted to `colours` at `at` (pixel
// centres), starting from `weight` (1 a sample of the backdrop, 0 not);
// weights vanish beyond 3 robust spreads, the spread taken no lower than
// `spreadFloor` (the colours' units). `residual`, when given, gets each
// sample's distance from the surface. Empty when there are too few samples.
[[nodiscard]] cv::Mat fit(const std::vector<cv::Point2d> &at, const std::vector<cv::Vec3f> &colours,
                          std::vector<double> weight, cv::Size size, double spreadFloor,
                          std::vector<double> *residual = nullptr);

// The surface at every pixel of `size` (CV_32FC3).
[[nodiscard]] cv::Mat render(const cv::Mat &coefficients, cv::Size size);

} // namespace KSBackdropSurface
