#include "KSBackdropSurface.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int rounds = 6;
// Weights vanish beyond this many robust spreads (1.48 times the median
// residual).
constexpr double outlierSpreads = 3.0;
} // namespace

cv::Matx<double, 1, KSBackdropSurface::terms> KSBackdropSurface::termsAt(double x, double y, cv::Size size)
{
    const double u = 2.0 * x / size.width - 1.0, v = 2.0 * y / size.height - 1.0;
    return {1.0, u, v, u * u, u * v, v * v};
}

cv::Mat KSBackdropSurface::fit(const std::vector<cv::Point2d> &at, const std::vector<cv::Vec3f> &colours,
                               std::vector<double> weight, cv::Size size, double spreadFloor,
                               std::vector<double> *residual)
{
    const int n = int(colours.size());
    if (int(std::count_if(weight.begin(), weight.end(), [](double w) { return w > 0; })) < 4 * terms)
        return {};
    cv::Mat termRows(n, terms, CV_64F), values(n, 3, CV_64F);
    for (int i = 0; i < n; ++i) {
        cv::Mat(termsAt(at[size_t(i)].x, at[size_t(i)].y, size)).reshape(1, 1).copyTo(termRows.row(i));
        for (int c = 0; c < 3; ++c)
            values.at<double>(i, c) = colours[size_t(i)][c];
    }
    cv::Mat coefficients;
    std::vector<double> distance(size_t(n), 0.0);
    for (int round = 0; round < rounds; ++round) {
        cv::Mat weighted = termRows.clone(), target = values.clone();
        for (int i = 0; i < n; ++i) {
            const double root = std::sqrt(weight[size_t(i)]);
            weighted.row(i) *= root;
            target.row(i) *= root;
        }
        if (!cv::solve(weighted, target, coefficients, cv::DECOMP_QR) && !cv::solve(weighted, target, coefficients, cv::DECOMP_SVD))
            return {};
        const cv::Mat error = values - termRows * coefficients;
        std::vector<double> used;
        for (int i = 0; i < n; ++i) {
            distance[size_t(i)] = cv::norm(error.row(i));
            if (weight[size_t(i)] > 0)
                used.push_back(distance[size_t(i)]);
        }
        if (used.empty())
            return {};
        std::nth_element(used.begin(), used.begin() + long(used.size() / 2), used.end());
        const double cutoff = outlierSpreads * std::max(spreadFloor, 1.48 * used[used.size() / 2]);
        for (int i = 0; i < n; ++i) {
            const double r = distance[size_t(i)] / cutoff;
            weight[size_t(i)] = r < 1.0 ? (1 - r * r) * (1 - r * r) : 0.0;
        }
    }
    if (residual)
        *residual = std::move(distance);
    return coefficients;
}

cv::Mat KSBackdropSurface::render(const cv::Mat &coefficients, cv::Size size)
{
    cv::Mat surface(size, CV_32FC3);
    for (int y = 0; y < size.height; ++y) {
        auto *out = surface.ptr<cv::Vec3f>(y);
        for (int x = 0; x < size.width; ++x) {
            const auto t = termsAt(x + 0.5, y + 0.5, size);
            for (int c = 0; c < 3; ++c) {
                double value = 0;
                for (int i = 0; i < terms; ++i)
                    value += t(0, i) * coefficients.at<double>(i, c);
                out[x][c] = float(value);
            }
        }
    }
    return surface;
}
