#include "KSFrameFill.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {
constexpr float sureSubject = 0.9f, sureBackdrop = 0.1f;
// The decision's levels, measured with bench_engine_framefill. A padded
// pass turns a busy scene, or a plain backdrop round a head that the frame
// cuts, into subject; among the scored set's close-ups it won only where
// the network had found nothing.
constexpr double nothingFound = 0.005;     // share of the picture kept
constexpr double sharpBorderLevel = 60.0;  // mean absolute Laplacian of the border band
constexpr double sharperThanSubject = 2.0; // the border's fine texture against the sure subject's
constexpr double manyUnsure = 0.1;         // share of the picture
constexpr double smoothBorderLevel = 20.0; // a border band below this is smooth (a wall, a sweep)

int bandWidth(cv::Size size)
{
    return std::max(2, std::min(size.width, size.height) / 50);
}

cv::Mat borderBand(cv::Size size)
{
    const int band = bandWidth(size);
    cv::Mat mask(size, CV_8U, cv::Scalar(255));
    if (size.width > 2 * band && size.height > 2 * band)
        mask(cv::Rect(band, band, size.width - 2 * band, size.height - 2 * band)).setTo(0);
    return mask;
}

} // namespace

KSFrameFill::Look KSFrameFill::look(const cv::Mat &small, const cv::Mat &soft, bool plainBackdrop)
{
    Look look;
    const double area = double(soft.total());
    look.kept = cv::countNonZero(soft > 0.5f) / area;
    look.unsure = cv::countNonZero((soft > sureBackdrop) & (soft < sureSubject)) / area;

    const cv::Mat band = borderBand(soft.size());
    const cv::Mat sure = soft >= sureSubject;

    // Fine texture: a backdrop tends to be out of focus, a subject filling
    // the frame is as sharp at the border as inside.
    cv::Mat grey, detail;
    cv::cvtColor(small, grey, cv::COLOR_BGR2GRAY);
    cv::Laplacian(grey, detail, CV_32F, 3);
    detail = cv::abs(detail);
    cv::Mat inner;
    cv::erode(sure, inner, cv::Mat(), cv::Point(-1, -1), 2);
    const double insideDetail = cv::countNonZero(inner) > 0 ? cv::mean(detail, inner)[0] : 0.0;
    const double borderDetail = look.borderDetail = cv::mean(detail, band)[0];
    // A flat subject (a drawing) counts as having a little texture.
    look.texture = cv::countNonZero(inner) > 0 ? borderDetail / std::max(insideDetail, 1.0) : 0.0;
    // One colour is not enough: fur filling the frame may be one colour to
    // the border's colour model, but it is no smooth wall.
    look.plainBorder = borderDetail < smoothBorderLevel && plainBackdrop;
    return look;
}

KSFrameFill::Padding KSFrameFill::choose(const Look &look)
{
    // The network found nothing: a subject too close to be one for it (a
    // product or a face filling the frame), unless the frame is lined by
    // one plain backdrop: then there is nothing to find, and padded, the
    // blank picture itself would pass for a subject.
    if (look.kept < nothingFound)
        return look.plainBorder ? Padding::none : Padding::grey;
    // A gutted close-up: the border far sharper than what the network is
    // sure of (fur round a smooth muzzle), and much of the map in doubt. An
    // out-of-focus backdrop is softer than its subject, and the scored
    // set's backdrops, busy ones too, stay far below this sharpness.
    if (look.borderDetail >= sharpBorderLevel && look.texture >= sharperThanSubject && look.unsure >= manyUnsure)
        return Padding::grey;
    return Padding::none;
}

int KSFrameFill::margin(cv::Size photo)
{
    return std::max(1, std::max(photo.width, photo.height) / 4);
}

cv::Mat KSFrameFill::pad(const cv::Mat &bgr, Padding padding, int margin)
{
    cv::Mat padded;
    if (padding == Padding::mirror)
        cv::copyMakeBorder(bgr, padded, margin, margin, margin, margin, cv::BORDER_REFLECT);
    else
        cv::copyMakeBorder(bgr, padded, margin, margin, margin, margin, cv::BORDER_CONSTANT,
                           cv::Scalar(128, 128, 128));
    return padded;
}

cv::Mat KSFrameFill::cropBack(const cv::Mat &paddedMap, cv::Size photo, int margin, cv::Size work)
{
    // The padded picture at the working scale, then the photo's part of it.
    const double scale = work.width / double(photo.width);
    const cv::Size padded(std::max(1, int(std::lround((photo.width + 2 * margin) * scale))),
                          std::max(1, int(std::lround((photo.height + 2 * margin) * scale))));
    cv::Mat stretched;
    cv::resize(paddedMap, stretched, padded, 0, 0, cv::INTER_LINEAR);
    const int offset = int(std::lround(margin * scale));
    const cv::Rect inside = cv::Rect(offset, offset, work.width, work.height) & cv::Rect(cv::Point(), padded);
    cv::Mat cropped;
    cv::resize(stretched(inside), cropped, work, 0, 0, cv::INTER_LINEAR);
    return cropped;
}

cv::Mat KSFrameFill::apply(const cv::Mat &bgr, const cv::Mat &small, const cv::Mat &soft, bool plainBackdrop,
                           const NetworkPass &pass,
                           Padding *chosen)
{
    if (chosen)
        *chosen = Padding::none;
    if (!pass)
        return soft;
    const Padding padding = choose(look(small, soft, plainBackdrop));
    if (padding == Padding::none)
        return soft;
    cv::Mat padded = paddedPass(bgr, padding, pass, soft.size());
    if (padded.empty())
        return soft;
    if (chosen)
        *chosen = padding;
    return padded;
}

cv::Mat KSFrameFill::paddedPass(const cv::Mat &bgr, Padding padding, const NetworkPass &pass, cv::Size work)
{
    const int m = margin(bgr.size());
    const cv::Mat map = pass(padding == Padding::grey ? "pad-grey" : "pad-mirror", pad(bgr, padding, m));
    return map.empty() ? map : cropBack(map, bgr.size(), m, work);
}
