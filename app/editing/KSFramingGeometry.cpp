#include "KSFramingGeometry.h"

#include <algorithm>
#include <cmath>

namespace KSFramingGeometry {

namespace {

// Where the eye line lies between crown (0) and chin (1) on the guide: an
// adult head with its hair has the eyes a little above its middle.
constexpr double kGuideEyeShare = 0.48;
// A head with its hair is about three quarters as wide as it is high.
constexpr double kGuideHeadWidthShare = 0.75;

bool hasArea(const QSizeF &size)
{
    return size.width() > 0 && size.height() > 0 && std::isfinite(size.width()) && std::isfinite(size.height());
}

// Where a frame of `length` starts on one axis of a subject spanning
// `extent` from `start`, with `margin` free beyond a whole side.
double frameStart(double start, double extent, double length, double margin, bool cutStart, bool cutEnd)
{
    if (cutStart == cutEnd)
        return start + (extent - length) / 2;
    // The cut on the frame's edge, unless the whole side's margin needs the
    // frame moved further into the (already cut) subject.
    if (cutStart)
        return std::max(start, start + extent + margin - length);
    return std::min(start + extent - length, start - margin);
}

} // namespace

QRectF subjectFrame(const QRectF &subject, const QSizeF &proportions, double margin, Qt::Edges cutEdges)
{
    if (!hasArea(subject.size()) || !hasArea(proportions))
        return {};
    const double m = std::clamp(std::isfinite(margin) ? margin : 0.0, 0.0, kMaxMargin);
    const bool cutLeft = cutEdges.testFlag(Qt::LeftEdge), cutRight = cutEdges.testFlag(Qt::RightEdge);
    const bool cutTop = cutEdges.testFlag(Qt::TopEdge), cutBottom = cutEdges.testFlag(Qt::BottomEdge);
    // With the frame's height h and r = width / height, the margin is
    // m * h * min(r, 1) on each whole side; the height must leave room for
    // the subject and its margins across and down.
    const double r = proportions.width() / proportions.height();
    const double perHeight = m * std::min(r, 1.0);
    const auto heightFor = [perHeight](double extent, double acrossPerHeight, int wholeSides) {
        return extent / (acrossPerHeight - wholeSides * perHeight);
    };
    double height = std::max(heightFor(subject.width(), r, int(!cutLeft) + int(!cutRight)),
                             heightFor(subject.height(), 1.0, int(!cutTop) + int(!cutBottom)));
    // Cut on both sides: the frame may be no larger than the subject there.
    if (cutLeft && cutRight)
        height = std::min(height, subject.width() / r);
    if (cutTop && cutBottom)
        height = std::min(height, subject.height());
    const double free = perHeight * height;
    return QRectF(frameStart(subject.left(), subject.width(), height * r, free, cutLeft, cutRight),
                  frameStart(subject.top(), subject.height(), height, free, cutTop, cutBottom), height * r, height);
}

QRectF mapBetweenFrames(const QRectF &rect, const QRectF &from, const QRectF &to)
{
    if (!hasArea(from.size()))
        return {};
    const double sx = to.width() / from.width();
    const double sy = to.height() / from.height();
    return QRectF(to.x() + (rect.x() - from.x()) * sx, to.y() + (rect.y() - from.y()) * sy, rect.width() * sx,
                  rect.height() * sy);
}

std::optional<IdPlacement> idFrame(const HeadMeasures &head, const KSIdPhotoRule &rule, const QSizeF &printSizeMm,
                                   double outputHeight)
{
    const double headPx = head.chinY - head.crownY;
    if (!(headPx > 0) || !hasArea(printSizeMm) || !(rule.headTargetMm() > 0))
        return std::nullopt;
    const double heightMm = printSizeMm.height();
    const double height = headPx * heightMm / rule.headTargetMm();
    const double width = height * printSizeMm.width() / heightMm;
    const double top = rule.vertical == KSIdPhotoRule::Vertical::eyeLineFromBottom
        ? head.eyeLineY - height * (1 - rule.verticalTargetMm() / heightMm)
        : head.crownY - height * rule.verticalTargetMm() / heightMm;
    IdPlacement placement;
    placement.frame = QRectF(head.centreX - width / 2, top, width, height);
    placement.enlargement = outputHeight / height;
    return placement;
}

IdPlacement raisedIdFrame(const IdPlacement &placement, const HeadMeasures &head, const KSIdPhotoRule &rule,
                          const QSizeF &printSizeMm, double outputHeight, double bottom)
{
    const QRectF &frame = placement.frame;
    const double headPx = head.chinY - head.crownY;
    if (!(frame.bottom() > bottom) || !(headPx > 0) || !hasArea(printSizeMm) || !hasArea(frame.size()))
        return placement;
    const double heightMm = printSizeMm.height();
    const bool eyeLine = rule.vertical == KSIdPhotoRule::Vertical::eyeLineFromBottom;
    // The highest bottom edge a frame of `height` may have: the eye line at
    // its lowest allowed, or the crown at its farthest from the top.
    const auto highestBottom = [&](double height) {
        return eyeLine ? head.eyeLineY + rule.verticalMinMm * height / heightMm
                       : head.crownY + height * (1 - rule.verticalMaxMm / heightMm);
    };
    double height = frame.height();
    if (highestBottom(height) > bottom) {
        // Moving alone is not enough: the smaller frame whose highest bottom
        // is `bottom`, no smaller than the largest head and the sharpest
        // enlargement allow.
        const double smallest =
            std::max(rule.headMaxMm > 0 ? headPx * heightMm / rule.headMaxMm : height, outputHeight / kMaxIdEnlargement);
        const double reaching = eyeLine ? (bottom - head.eyeLineY) * heightMm / rule.verticalMinMm
                                        : (bottom - head.crownY) / (1 - rule.verticalMaxMm / heightMm);
        height = std::min(height, std::max(smallest, reaching));
    }
    const double lowest = std::max(bottom, highestBottom(height));
    const double width = height * frame.width() / frame.height();
    IdPlacement raised;
    raised.frame = QRectF(frame.center().x() - width / 2, lowest - height, width, height);
    raised.enlargement = outputHeight / height;
    return raised;
}

PrintedHead printedHead(const HeadMeasures &head, const QRectF &frame, const QSizeF &printSizeMm)
{
    if (!(frame.height() > 0))
        return {};
    const double mmPerPixel = printSizeMm.height() / frame.height();
    return {(head.chinY - head.crownY) * mmPerPixel, (frame.bottom() - head.eyeLineY) * mmPerPixel,
            (head.crownY - frame.top()) * mmPerPixel};
}

bool meetsRule(const PrintedHead &head, const KSIdPhotoRule &rule, double toleranceMm)
{
    const auto within = [toleranceMm](double value, double low, double high) {
        return value >= low - toleranceMm && value <= high + toleranceMm;
    };
    const double vertical = rule.vertical == KSIdPhotoRule::Vertical::eyeLineFromBottom ? head.eyeLineFromBottomMm
                                                                                      : head.crownFromTopMm;
    return within(head.headMm, rule.headMinMm, rule.headMaxMm)
           && within(vertical, rule.verticalMinMm, rule.verticalMaxMm);
}

IdGuide idGuide(const KSIdPhotoRule &rule, const QSizeF &printSizeMm)
{
    IdGuide guide;
    if (!hasArea(printSizeMm))
        return guide;
    const double h = printSizeMm.height();
    const double headShare = rule.headTargetMm() / h;
    const bool eyeLine = rule.vertical == KSIdPhotoRule::Vertical::eyeLineFromBottom;
    guide.bandIsEyeLine = eyeLine;
    guide.targetLine = eyeLine ? 1 - rule.verticalTargetMm() / h : rule.verticalTargetMm() / h;
    guide.bandTop = eyeLine ? 1 - rule.verticalMaxMm / h : rule.verticalMinMm / h;
    guide.bandBottom = eyeLine ? 1 - rule.verticalMinMm / h : rule.verticalMaxMm / h;
    const double crown = eyeLine ? guide.targetLine - kGuideEyeShare * headShare : guide.targetLine;
    const double ovalWidth = headShare * kGuideHeadWidthShare * h / printSizeMm.width();
    guide.headOval = QRectF(0.5 - ovalWidth / 2, crown, ovalWidth, headShare);
    return guide;
}

} // namespace KSFramingGeometry
