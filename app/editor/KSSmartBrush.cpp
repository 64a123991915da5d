#include "KSSmartBrush.h"

#include "KSBoxFilters.h"
#include "KSBrushStamp.h"
#include "KSComponents.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// The window reaches at least this share of the picture's shorter side
// beyond the stroke, so that a short stroke across a torso or a plank
// still sees the whole of it.
constexpr double kMinimumReach = 0.5;
// A guided filter's smoothing on a 0..1 grey guide: small keeps the edge on
// the photo's own edges.
constexpr double kGuidedEpsilon = 2e-4;
// The edge is refined tile by tile at full size.
constexpr int kRefineTile = 256;

// The colours as OpenCV sees them, sharing the picture's pixels: 32-bit
// pixels are B, G, R, A in memory.
cv::Mat bgraOf(const QImage &image)
{
    return cv::Mat(image.height(), image.width(), CV_8UC4, const_cast<uchar *>(image.constBits()),
                   size_t(image.bytesPerLine()));
}

bool isBgra(const QImage &image)
{
    return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
        || image.format() == QImage::Format_ARGB32_Premultiplied;
}

// The object enlarged to full size, its edge refined where it has one: only
// the tiles along the edge are filtered, the inside and the outside are
// already exact.
cv::Mat refinedObject(const cv::Mat &object, const cv::Mat &bgra, double scale, int radius)
{
    cv::Mat enlarged;
    cv::resize(object, enlarged, bgra.size(), 0, 0, cv::INTER_LINEAR);
    cv::Mat dilated, eroded;
    cv::dilate(object, dilated, cv::Mat());
    cv::erode(object, eroded, cv::Mat());
    const cv::Mat edge = dilated != eroded;

    const cv::Rect whole(0, 0, bgra.cols, bgra.rows);
    cv::Mat refined = enlarged.clone();
    for (int top = 0; top < bgra.rows; top += kRefineTile) {
        for (int left = 0; left < bgra.cols; left += kRefineTile) {
            const cv::Rect tile = cv::Rect(left, top, kRefineTile, kRefineTile) & whole;
            // The tile's share of the working size, a pixel wider.
            const cv::Rect workTile = cv::Rect(int(std::floor(tile.x * scale)) - 1, int(std::floor(tile.y * scale)) - 1,
                                               int(std::ceil(tile.width * scale)) + 3,
                                               int(std::ceil(tile.height * scale)) + 3)
                & cv::Rect(0, 0, edge.cols, edge.rows);
            if (workTile.empty() || cv::countNonZero(edge(workTile)) == 0)
                continue;
            const cv::Rect around = cv::Rect(tile.x - radius, tile.y - radius, tile.width + 2 * radius,
                                             tile.height + 2 * radius)
                & whole;
            cv::Mat grey, guide, input;
            cv::cvtColor(bgra(around), grey, cv::COLOR_BGRA2GRAY);
            grey.convertTo(guide, CV_32F, 1.0 / 255);
            enlarged(around).convertTo(input, CV_32F, 1.0 / 255);
            cv::Mat filtered8;
            KSBoxFilters::guided(guide, input, radius, kGuidedEpsilon).convertTo(filtered8, CV_8U, 255.0);
            filtered8(cv::Rect(tile.x - around.x, tile.y - around.y, tile.width, tile.height)).copyTo(refined(tile));
        }
    }
    return refined;
}

// The backdrop round the stroke is what lines the window's border: the
// border's colour clusters that hold a share of at least three of its
// sides. The window reaches far beyond the stroke, so the subject seldom
// lines three of its sides (a body crossing a corner lines two), while a
// backdrop, plain or textured, lines them all.
// The band read is this share of the window's shorter side: wide enough
// for a texture's colours to show on every side.
constexpr double kBorderBand = 0.05;
constexpr int kBorderSamples = 3000;
constexpr int kBackdropColours = 8;
constexpr double kSideShare = 0.05;
constexpr int kSidesLined = 3;
// A colour's reach: its spread times this factor, clamped (Lab units). A
// plain backdrop gets the tightest reach, a textured one (leaves, grain)
// as much as its own variety.
constexpr float kReachPerSpread = 2.5f;
constexpr float kTightestReach = 6.0f;
constexpr float kLoosestReach = 18.0f;
// A border colour the stroke holds twice as much of as the border does,
// and for a fifth of its pixels at least, is the part's (a dark branch
// across a window whose shade has its colour too).
constexpr double kOverBorderShare = 2.0;
constexpr double kPartShare = 0.2;
// Fewer pixels under the stroke than this unlike the backdrop are no part.
constexpr int kFewestPartPixels = 8;

struct BackdropColour
{
    cv::Vec3f centre;
    float reach = 0;
    double share = 0; // of the border's samples nearest to it, within its reach
    [[nodiscard]] bool near(const cv::Vec3f &colour) const
    {
        const cv::Vec3f d = colour - centre;
        return d.dot(d) < reach * reach;
    }
};

cv::Mat labOf(const cv::Mat &bgr)
{
    cv::Mat scaled, lab;
    bgr.convertTo(scaled, CV_32F, 1.0 / 255);
    cv::cvtColor(scaled, lab, cv::COLOR_BGR2Lab);
    return lab;
}

// For each backdrop colour, the share of `colours` nearest to it and within
// its reach.
std::vector<double> nearestShares(const std::vector<BackdropColour> &backdrop, const std::vector<cv::Vec3f> &colours)
{
    std::vector<double> shares(backdrop.size(), 0.0);
    for (const cv::Vec3f &colour : colours) {
        size_t nearest = 0;
        float best = std::numeric_limits<float>::max();
        for (size_t c = 0; c < backdrop.size(); ++c) {
            const cv::Vec3f d = colour - backdrop[c].centre;
            if (d.dot(d) < best) {
                best = d.dot(d);
                nearest = c;
            }
        }
        if (!backdrop.empty() && backdrop[nearest].near(colour))
            shares[nearest] += 1.0 / double(colours.size());
    }
    return shares;
}

// The backdrop's colours; empty when the window is too small to tell.
std::vector<BackdropColour> backdropColours(const cv::Mat &lab)
{
    const int band = std::min({std::max(2, int(std::lround(kBorderBand * std::min(lab.rows, lab.cols)))),
                               lab.rows / 2, lab.cols / 2});
    if (band < 1)
        return {};
    const int step = std::max(1, 2 * (lab.rows + lab.cols) * band / kBorderSamples);
    std::vector<cv::Vec3f> colours;
    std::vector<int> sides;
    for (int b = 0; b < band; ++b) {
        for (int x = 0; x < lab.cols; x += step) {
            colours.insert(colours.end(), {lab.at<cv::Vec3f>(b, x), lab.at<cv::Vec3f>(lab.rows - 1 - b, x)});
            sides.insert(sides.end(), {0, 1});
        }
        for (int y = 0; y < lab.rows; y += step) {
            colours.insert(colours.end(), {lab.at<cv::Vec3f>(y, b), lab.at<cv::Vec3f>(y, lab.cols - 1 - b)});
            sides.insert(sides.end(), {2, 3});
        }
    }
    const int k = std::min(kBackdropColours, int(colours.size()) / 10);
    if (k < 1)
        return {};
    const cv::Mat samples(int(colours.size()), 3, CV_32F, colours.data());
    cv::Mat labels, centres;
    cv::RNG &rng = cv::theRNG();
    const auto state = rng.state;
    rng.state = 0x5eed; // the same stroke always finds the same thing
    cv::kmeans(samples, k, labels, cv::TermCriteria(cv::TermCriteria::EPS | cv::TermCriteria::COUNT, 15, 0.5), 1,
               cv::KMEANS_PP_CENTERS, centres);
    rng.state = state;

    std::vector<double> count(size_t(k), 0.0), squared(size_t(k), 0.0);
    std::vector<std::array<double, 4>> onSide(size_t(k), {0, 0, 0, 0});
    std::array<double, 4> sideTotal{0, 0, 0, 0};
    for (int i = 0; i < samples.rows; ++i) {
        const int c = labels.at<int>(i);
        const cv::Vec3f d = colours[size_t(i)] - centres.at<cv::Vec3f>(c);
        count[size_t(c)] += 1;
        squared[size_t(c)] += double(d.dot(d));
        onSide[size_t(c)][size_t(sides[size_t(i)])] += 1;
        sideTotal[size_t(sides[size_t(i)])] += 1;
    }
    std::vector<BackdropColour> backdrop;
    for (int c = 0; c < k; ++c) {
        int lined = 0;
        for (size_t side = 0; side < 4; ++side)
            lined += onSide[size_t(c)][side] >= kSideShare * sideTotal[side] ? 1 : 0;
        if (lined < kSidesLined)
            continue;
        const float spread = float(std::sqrt(squared[size_t(c)] / count[size_t(c)]));
        backdrop.push_back(
            {centres.at<cv::Vec3f>(c), std::clamp(kReachPerSpread * spread, kTightestReach, kLoosestReach)});
    }
    const std::vector<double> shares = nearestShares(backdrop, colours);
    for (size_t c = 0; c < backdrop.size(); ++c)
        backdrop[c].share = shares[c];
    return backdrop;
}

// Whether a colour is the backdrop's: near one of its colours, or near a
// blend of two of them (the edges between a texture's leaves or grains).
bool backdropLike(const cv::Vec3f &colour, const std::vector<BackdropColour> &backdrop)
{
    for (size_t a = 0; a < backdrop.size(); ++a) {
        if (backdrop[a].near(colour))
            return true;
        const cv::Vec3f d = colour - backdrop[a].centre;
        for (size_t b = a + 1; b < backdrop.size(); ++b) {
            const cv::Vec3f along = backdrop[b].centre - backdrop[a].centre;
            const float t = std::clamp(d.dot(along) / std::max(along.dot(along), 1e-6f), 0.0f, 1.0f);
            const cv::Vec3f off = d - t * along;
            const float reach = std::min(backdrop[a].reach, backdrop[b].reach);
            if (off.dot(off) < reach * reach)
                return true;
        }
    }
    return false;
}

// The backdrop's colours less those the stroke holds far more of than the
// border does: those are what the stroke marked.
std::vector<BackdropColour> lessMarkedColours(std::vector<BackdropColour> backdrop, const cv::Mat &lab,
                                              const cv::Mat &strokeMask)
{
    std::vector<cv::Vec3f> underStroke;
    for (int y = 0; y < lab.rows; ++y) {
        const auto *pixel = lab.ptr<cv::Vec3f>(y);
        const uchar *stroke = strokeMask.ptr<uchar>(y);
        for (int x = 0; x < lab.cols; ++x)
            if (stroke[x])
                underStroke.push_back(pixel[x]);
    }
    const std::vector<double> shares = nearestShares(backdrop, underStroke);
    std::vector<BackdropColour> kept;
    for (size_t c = 0; c < backdrop.size(); ++c)
        if (shares[c] < kPartShare || shares[c] < kOverBorderShare * backdrop[c].share)
            kept.push_back(backdrop[c]);
    return kept;
}

// 255 where a pixel is unlike the backdrop, without the specks that noise
// or grain leave.
cv::Mat unlikeBackdrop(const cv::Mat &lab, const std::vector<BackdropColour> &backdrop)
{
    cv::Mat unlike(lab.size(), CV_8U);
    for (int y = 0; y < lab.rows; ++y) {
        const auto *pixel = lab.ptr<cv::Vec3f>(y);
        uchar *out = unlike.ptr<uchar>(y);
        for (int x = 0; x < lab.cols; ++x)
            out[x] = backdropLike(pixel[x], backdrop) ? 0 : 255;
    }
    cv::medianBlur(unlike, unlike, 3);
    return unlike;
}

// The stroke drawn into a mask of the working size.
void drawStroke(cv::Mat &labels, const QList<QPointF> &stroke, const QPointF &origin, double scale, double radius,
                uchar value)
{
    const double r = std::max(1.5, radius * scale);
    const auto at = [&](const QPointF &p) {
        return cv::Point(int(std::lround((p.x() - origin.x()) * scale)),
                         int(std::lround((p.y() - origin.y()) * scale)));
    };
    const int thickness = std::max(1, int(std::lround(2 * r)));
    for (qsizetype i = 0; i < stroke.size(); ++i) {
        const cv::Point a = at(stroke.at(i));
        const cv::Point b = at(stroke.at(std::min(i + 1, stroke.size() - 1)));
        cv::line(labels, a, b, cv::Scalar(value), thickness, cv::LINE_8);
        cv::circle(labels, a, int(std::lround(r)), cv::Scalar(value), cv::FILLED);
    }
}

KSSmartBrush::Result failed(const QRect &window, const QString &error)
{
    KSSmartBrush::Result result;
    result.window = window;
    result.error = error;
    return result;
}

} // namespace

QRect KSSmartBrush::windowFor(const QList<QPointF> &stroke, double radius, const QSize &size)
{
    if (stroke.isEmpty() || size.isEmpty())
        return {};
    double left = stroke.first().x(), right = left, top = stroke.first().y(), bottom = top;
    for (const QPointF &p : stroke) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    const double reach = std::max({right - left, bottom - top, 4.0 * radius,
                                   kMinimumReach * std::min(size.width(), size.height())});
    const QRectF grown(QPointF(left - reach, top - reach), QPointF(right + reach, bottom + reach));
    return grown.toAlignedRect().intersected(QRect(QPoint(0, 0), size));
}

KSSmartBrush::Result KSSmartBrush::run(const Request &request)
{
    const QRect window = request.window;
    if (request.colours.isNull() || window.isEmpty() || !request.colours.rect().contains(window)
        || request.stroke.isEmpty() || !(request.radius > 0))
        return failed(window, QStringLiteral("nothing to segment"));
    try {
        const QImage colours =
            isBgra(request.colours) ? request.colours : request.colours.convertToFormat(QImage::Format_RGB32);
        const cv::Mat bgra = bgraOf(colours)(cv::Rect(window.x(), window.y(), window.width(), window.height()));
        const double scale = std::min(1.0, double(kWorkSide) / std::max(window.width(), window.height()));
        const cv::Size work(std::max(1, int(std::lround(window.width() * scale))),
                            std::max(1, int(std::lround(window.height() * scale))));
        // From the reduced copy when it has pixels enough: far less to read.
        cv::Mat source = bgra;
        const double reducedScale =
            request.reduced.isNull() ? 0.0 : double(request.reduced.width()) / request.colours.width();
        if (isBgra(request.reduced) && reducedScale >= scale && reducedScale < 1.0) {
            const cv::Rect part = cv::Rect(int(std::floor(window.x() * reducedScale)),
                                           int(std::floor(window.y() * reducedScale)),
                                           int(std::ceil(window.width() * reducedScale)),
                                           int(std::ceil(window.height() * reducedScale)))
                & cv::Rect(0, 0, request.reduced.width(), request.reduced.height());
            if (!part.empty())
                source = bgraOf(request.reduced)(part);
        }
        cv::Mat smallBgra, small;
        cv::resize(source, smallBgra, work, 0, 0, cv::INTER_AREA);
        cv::cvtColor(smallBgra, small, cv::COLOR_BGRA2BGR);

        cv::Mat strokeMask(work, CV_8U, cv::Scalar(0));
        drawStroke(strokeMask, request.stroke, window.topLeft(), scale, request.radius, 255);
        if (cv::countNonZero(strokeMask) < 8 || cv::countNonZero(~strokeMask) < 8)
            return failed(window, QStringLiteral("the stroke covers too little or everything"));

        // The part is what the stroke went over unlike the backdrop round
        // it: certain there, the stroke's backdrop certainly not, everything
        // else a guess. Only what differs from the backdrop and is connected
        // to the part under the stroke is kept: GrabCut alone takes in
        // backdrop beside a thin part, and patches of a textured backdrop.
        const cv::Mat lab = labOf(small);
        const std::vector<BackdropColour> backdrop = lessMarkedColours(backdropColours(lab), lab, strokeMask);
        const cv::Mat unlike =
            backdrop.empty() ? cv::Mat(work, CV_8U, cv::Scalar(255)) : unlikeBackdrop(lab, backdrop);
        const cv::Mat part = strokeMask & unlike;
        // Nothing under the stroke stands out from the backdrop: the stroke
        // alone is what it marked, as a plain brush would paint it.
        const bool strokeAlone = cv::countNonZero(part) < kFewestPartPixels;
        cv::Mat object(work, CV_8U, cv::Scalar(0));
        if (!strokeAlone) {
            cv::Mat labels(work, CV_8U, cv::Scalar(cv::GC_PR_BGD));
            labels.setTo(cv::GC_BGD, strokeMask & ~unlike);
            labels.setTo(cv::GC_FGD, part);
            cv::Mat background, foreground;
            cv::grabCut(small, labels, cv::Rect(), background, foreground, kIterations, cv::GC_INIT_WITH_MASK);
            const cv::Mat found = (labels == cv::GC_FGD) | (labels == cv::GC_PR_FGD);
            object = KSComponents::touching(found & unlike, part);
        }

        // Full size, its edge following the photo's.
        const cv::Mat refined8 = refinedObject(object, bgra, scale, std::max(2, int(std::ceil(2.0 / scale))));

        Result result;
        result.window = window;
        result.object = QImage(window.size(), QImage::Format_Grayscale8);
        if (result.object.isNull())
            return failed(window, QStringLiteral("not enough memory for the result"));
        for (int y = 0; y < window.height(); ++y) {
            const uchar *from = refined8.ptr<uchar>(y);
            uchar *to = result.object.scanLine(y);
            std::copy(from, from + window.width(), to);
        }
        if (!strokeAlone)
            return result;
        const double radiusSquared = request.radius * request.radius;
        for (qsizetype i = 0; i < request.stroke.size(); ++i) {
            const QPointF a = request.stroke.at(i);
            const QPointF b = request.stroke.at(std::min(i + 1, request.stroke.size() - 1));
            const QRect bounds = KSBrushStamp::segmentBounds(a, b, request.radius, QSize(1 << 30, 1 << 30))
                                     .intersected(window);
            for (int y = bounds.top(); y <= bounds.bottom(); ++y) {
                uchar *row = result.object.scanLine(y - window.top());
                for (int x = bounds.left(); x <= bounds.right(); ++x) {
                    const double d = KSBrushStamp::distanceToSegment(QPointF(x + 0.5, y + 0.5), a, b);
                    if (d * d >= radiusSquared)
                        continue;
                    const int cover = int(std::lround(255 * KSBrushStamp::coverage(d, request.radius, 0.0)));
                    uchar &value = row[x - window.left()];
                    value = uchar(std::max(int(value), cover));
                }
            }
        }
        return result;
    } catch (const cv::Exception &error) {
        return failed(window, QString::fromStdString(error.what()));
    } catch (const std::bad_alloc &) {
        return failed(window, QStringLiteral("not enough memory to segment"));
    }
}
