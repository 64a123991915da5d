#include "KSSmartBrush.h"

#include "KSBoxFilters.h"
#include "KSBrushStamp.h"
#include "KSComponents.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

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

        // Certain where the stroke went, a guess everywhere else.
        cv::Mat labels(work, CV_8U, cv::Scalar(cv::GC_PR_BGD));
        const QPointF origin = window.topLeft();
        drawStroke(labels, request.stroke, origin, scale, request.radius, cv::GC_FGD);
        cv::Mat strokeMask = labels == cv::GC_FGD;
        if (cv::countNonZero(strokeMask) < 8 || cv::countNonZero(~strokeMask) < 8)
            return failed(window, QStringLiteral("the stroke covers too little or everything"));

        cv::Mat background, foreground;
        cv::grabCut(small, labels, cv::Rect(), background, foreground, kIterations, cv::GC_INIT_WITH_MASK);
        const cv::Mat found = (labels == cv::GC_FGD) | (labels == cv::GC_PR_FGD);
        const cv::Mat object = KSComponents::touching(found, strokeMask);

        // Full size, its edge following the photo's.
        const cv::Mat refined8 = refinedObject(object, bgra, scale, std::max(2, int(std::ceil(2.0 / scale))));

        Result result;
        result.window = window;
        result.object = QImage(window.size(), QImage::Format_Grayscale8);
        if (result.object.isNull())
            return failed(window, QStringLiteral("not enough memory for the result"));
        // The stroke itself always belongs to what it marked.
        const double radiusSquared = request.radius * request.radius;
        for (int y = 0; y < window.height(); ++y) {
            const uchar *from = refined8.ptr<uchar>(y);
            uchar *to = result.object.scanLine(y);
            std::copy(from, from + window.width(), to);
        }
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
