#include "KSFrameFill.h"

#include "KSClassicCutoutEngine.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace {
constexpr float sureSubject = 0.9f, sureBackdrop = 0.1f;

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

// Coarse colour bins: 8 levels a channel.
int colourBin(const cv::Vec3b &c)
{
    return (c[0] >> 5) * 64 + (c[1] >> 5) * 8 + (c[2] >> 5);
}
} // namespace

KSFrameFill::Look KSFrameFill::look(const cv::Mat &small, const cv::Mat &soft, KSEraserType type)
{
    Look look;
    const cv::Mat subject = soft > 0.5f;
    const double area = double(soft.total());
    const double subjectArea = cv::countNonZero(subject);
    look.kept = subjectArea / area;
    look.unsure = cv::countNonZero((soft > sureBackdrop) & (soft < sureSubject)) / area;
    look.plain = KSClassicCutoutEngine::plainBackdrop(small);

    // A person stands on the bottom edge as a rule: it tells nothing.
    int edge = 0, onEdge = 0;
    for (int x = 0; x < subject.cols; ++x) {
        onEdge += (subject.at<uchar>(0, x) ? 1 : 0) + (type == KSEraserType::person ? 0 : subject.at<uchar>(subject.rows - 1, x) ? 1 : 0);
        edge += type == KSEraserType::person ? 1 : 2;
    }
    for (int y = 0; y < subject.rows; ++y) {
        onEdge += (subject.at<uchar>(y, 0) ? 1 : 0) + (subject.at<uchar>(y, subject.cols - 1) ? 1 : 0);
        edge += 2;
    }
    look.touching = edge > 0 ? onEdge / double(edge) : 0.0;

    if (subjectArea > 0) {
        cv::Mat labels, stats, centroids;
        const int count = cv::connectedComponentsWithStats(subject, labels, stats, centroids, 8, CV_32S);
        int largest = 0;
        for (int i = 1; i < count; ++i)
            largest = std::max(largest, stats.at<int>(i, cv::CC_STAT_AREA));
        look.fragments = 1.0 - largest / subjectArea;
    }

    // Colours of the border band against the map's sure subject and its sure
    // backdrop inside the band.
    const cv::Mat band = borderBand(soft.size());
    const cv::Mat sure = soft >= sureSubject, away = (soft <= sureBackdrop) & ~band;
    std::vector<double> subjectBins(512, 0.0), backdropBins(512, 0.0);
    double subjectCount = 0, backdropCount = 0, bandCount = 0, likeSubject = 0, left = 0;
    for (int y = 0; y < small.rows; ++y)
        for (int x = 0; x < small.cols; ++x) {
            const int bin = colourBin(small.at<cv::Vec3b>(y, x));
            if (sure.at<uchar>(y, x)) {
                subjectBins[size_t(bin)] += 1;
                subjectCount += 1;
            } else if (away.at<uchar>(y, x)) {
                backdropBins[size_t(bin)] += 1;
                backdropCount += 1;
            }
        }
    for (int y = 0; y < small.rows; ++y)
        for (int x = 0; x < small.cols; ++x) {
            if (!band.at<uchar>(y, x))
                continue;
            const int bin = colourBin(small.at<cv::Vec3b>(y, x));
            const double s = subjectCount > 0 ? subjectBins[size_t(bin)] / subjectCount : 0.0;
            const double b = backdropCount > 0 ? backdropBins[size_t(bin)] / backdropCount : 0.0;
            bandCount += 1;
            likeSubject += s > b ? 1 : 0;
            // A colour the sure backdrop has less than a tenth of its share
            // if all 512 were even.
            left += soft.at<float>(y, x) < 0.5f && b < 0.1 / 512.0 ? 1 : 0;
        }
    look.subjectLike = bandCount > 0 ? likeSubject / bandCount : 0.0;
    look.leftAtFrame = bandCount > 0 ? left / bandCount : 0.0;

    // Fine texture: a backdrop tends to be out of focus, a subject filling
    // the frame is as sharp at the border as inside.
    cv::Mat grey, detail;
    cv::cvtColor(small, grey, cv::COLOR_BGR2GRAY);
    cv::Laplacian(grey, detail, CV_32F, 3);
    detail = cv::abs(detail);
    cv::Mat inner;
    cv::erode(sure, inner, cv::Mat(), cv::Point(-1, -1), 2);
    const double insideDetail = cv::countNonZero(inner) > 0 ? cv::mean(detail, inner)[0] : 0.0;
    const double borderDetail = cv::mean(detail, band)[0];
    // A flat subject (a drawing) counts as having a little texture.
    look.texture = cv::countNonZero(inner) > 0 ? borderDetail / std::max(insideDetail, 1.0) : 0.0;
    return look;
}

KSFrameFill::Padding KSFrameFill::choose(const Look &look)
{
    if (look.texture >= 1.5 && look.unsure >= 0.1)
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

cv::Mat KSFrameFill::apply(const cv::Mat &bgr, const cv::Mat &small, const cv::Mat &soft, KSEraserType type,
                           const NetworkPass &pass, Padding *chosen)
{
    if (chosen)
        *chosen = Padding::none;
    if (!pass)
        return soft;
    const Padding padding = choose(look(small, soft, type));
    if (padding == Padding::none)
        return soft;
    const int m = margin(bgr.size());
    const cv::Mat map = pass(padding == Padding::grey ? "pad-grey" : "pad-mirror", pad(bgr, padding, m));
    if (map.empty())
        return soft;
    if (chosen)
        *chosen = padding;
    return cropBack(map, bgr.size(), m, soft.size());
}
