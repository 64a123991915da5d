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

} // namespace

QRectF subjectFrame(const QRectF &subject, const QSizeF &proportions, double margin)
{
    if (!hasArea(subject.size()) || !hasArea(proportions))
        return {};
    const double m = std::clamp(std::isfinite(margin) ? margin : 0.0, 0.0, kMaxMargin);
    // With the frame's height h and r = width / height, the margin is
    // m * h * min(r, 1) on every side; the height must leave room for the
    // subject across and down.
    const double r = proportions.width() / proportions.height();
    const double shorter = std::min(r, 1.0);
    const double height = std::max(subject.width() / (r - 2 * m * shorter), subject.height() / (1 - 2 * m * shorter));
    const QSizeF size(height * r, height);
    return QRectF(subject.center() - QPointF(size.width() / 2, size.height() / 2), size);
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
