#include "KSBatchItemDelegate.h"

#include "CommLang.h"
#include "KSBatchCellGeometry.h"
#include "KSBatchModel.h"
#include "KSColorConst.h"
#include "KSTextStyle.h"

#include <QAbstractItemView>

#include <algorithm>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QToolTip>

namespace {

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

const QColor kAccent = KSRGBHexColor(0x00CC8F);
const QColor kText = KSRGBHexColor(0x333333);
const QColor kSecondary = KSRGBHexColor(0x999999);
const QColor kBox = KSRGBHexColor(0xF3F3F3);
const QColor kFailed = KSRGBHexColor(0xE5484D);
constexpr double kRadius = 8.0;

using State = KSBatchItem::State;

// The card inside the item's rectangle: the grid's spacing around it.
QRect cellOf(const QRect &itemRect)
{
    return itemRect.adjusted(3, 3, -3, -3);
}

State stateOf(const QModelIndex &index)
{
    return State(index.data(KSBatchModel::StateRole).toInt());
}

// The thumbnail reduced to the cell once, then drawn from the cache: a
// grid scrolled while jobs run repaints often.
QPixmap fittedThumbnail(const QImage &image, const QSize &size, qreal ratio)
{
    const QString key = QStringLiteral("ksbatch-%1-%2x%3@%4")
                            .arg(image.cacheKey())
                            .arg(size.width())
                            .arg(size.height())
                            .arg(ratio);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = QPixmap::fromImage(image.scaled(size * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(ratio);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

void drawCheckerboard(QPainter *painter, const QRect &rect)
{
    constexpr int cell = 8;
    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    painter->fillRect(rect, Qt::white);
    for (int y = rect.top(); y < rect.bottom(); y += cell)
        for (int x = rect.left(); x < rect.right(); x += cell)
            if (((x - rect.left()) / cell + (y - rect.top()) / cell) % 2)
                painter->fillRect(QRect(x, y, cell, cell), QColor(0xE6, 0xE6, 0xE6));
    painter->restore();
}

void drawRing(QPainter *painter, const QRect &rect, double progress)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(255, 255, 255, 225));
    painter->drawEllipse(rect);
    const QRectF track = QRectF(rect).adjusted(6, 6, -6, -6);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(QColor(0xDD, 0xDD, 0xDD), 4));
    painter->drawEllipse(track);
    painter->setPen(QPen(kAccent, 4, Qt::SolidLine, Qt::RoundCap));
    const int span = -int(std::clamp(progress, 0.0, 1.0) * 360 * 16);
    painter->drawArc(track, 90 * 16, span);
    painter->setPen(kText);
    painter->setFont(KSTextStyle::systemFont(11, QFont::Medium));
    painter->drawText(rect, Qt::AlignCenter, QStringLiteral("%1%").arg(int(progress * 100)));
    painter->restore();
}

void drawButton(QPainter *painter, const QRect &rect, const QString &title, bool accent)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(accent ? Qt::NoPen : QPen(KSRGBHexColor(0xD1D1D1).toQColor(), 1));
    painter->setBrush(accent ? kAccent : QColor(Qt::white));
    painter->drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter->setPen(accent ? QColor(Qt::white) : kText);
    painter->setFont(KSTextStyle::systemFont(12, QFont::Medium));
    painter->drawText(rect, Qt::AlignCenter, title);
    painter->restore();
}

void drawTag(QPainter *painter, const QRect &box, const QString &text, const QColor &background, bool right)
{
    painter->save();
    painter->setFont(KSTextStyle::systemFont(10, QFont::Medium));
    const int width = painter->fontMetrics().horizontalAdvance(text) + 12;
    const QRect tag = right ? QRect(box.right() - 5 - width, box.top() + 6, width, 18)
                            : QRect(box.left() + 6, box.top() + 6, width, 18);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(background);
    painter->drawRoundedRect(tag, 9, 9);
    painter->setPen(Qt::white);
    painter->drawText(tag, Qt::AlignCenter, text);
    painter->restore();
}

} // namespace

KSBatchItemDelegate::KSBatchItemDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

QSize KSBatchItemDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return KSBatchCellGeometry::kCellSize;
}

KSBatchItemDelegate::Button KSBatchItemDelegate::buttonFor(KSBatchItem::State state, bool canRetry, bool hovered)
{
    switch (state) {
    case State::failed:
    case State::cancelled:
        return canRetry ? Button::retry : Button::none;
    case State::waiting:
    case State::uploading:
    case State::cutting:
        return hovered ? Button::cancel : Button::none;
    case State::done:
        return Button::none;
    }
    return Button::none;
}

QString KSBatchItemDelegate::stateText(const QModelIndex &index)
{
    const int percent = int(index.data(KSBatchModel::ProgressRole).toDouble() * 100);
    switch (stateOf(index)) {
    case State::waiting:
        return lang("BatchWaiting");
    case State::uploading:
        return lang("BatchUploading").arg(percent);
    case State::cutting:
        return lang("BatchCutting").arg(percent);
    case State::done:
        if (index.data(KSBatchModel::ExportedRole).toBool())
            return lang("BatchExported");
        return lang(index.data(KSBatchModel::OwnEditsRole).toBool() ? "BatchEdited" : "BatchDone");
    case State::failed: {
        const QString cause = index.data(KSBatchModel::FailureTextRole).toString();
        return cause.isEmpty() ? lang("BatchFailed") : cause;
    }
    case State::cancelled:
        return lang("BatchCancelled");
    }
    return {};
}

void KSBatchItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    namespace Cell = KSBatchCellGeometry;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect cell = cellOf(option.rect);
    const bool selected = option.state & QStyle::State_Selected;
    const bool hovered = option.state & QStyle::State_MouseOver;
    const State state = stateOf(index);

    // The card.
    painter->setPen(selected ? QPen(kAccent, 2) : QPen(KSRGBHexColor(hovered ? 0xD1D1D1 : 0xE6E6E6).toQColor(), 1));
    painter->setBrush(selected ? QColor(0xE5, 0xF9, 0xF3) : QColor(Qt::white));
    painter->drawRoundedRect(QRectF(cell).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);

    // The picture, or its place.
    const QRect box = Cell::thumbnailBox(cell);
    const QImage thumbnail = qvariant_cast<QImage>(index.data(KSBatchModel::ThumbnailRole));
    QPainterPath clip;
    clip.addRoundedRect(QRectF(box), 6, 6);
    painter->save();
    painter->setClipPath(clip);
    if (thumbnail.isNull()) {
        painter->fillRect(box, state == State::failed ? QColor(0xFD, 0xEC, 0xEC) : kBox);
    } else {
        painter->fillRect(box, kBox);
        const QRect picture = Cell::thumbnailRect(cell, thumbnail.size());
        if (thumbnail.hasAlphaChannel())
            drawCheckerboard(painter, picture);
        painter->drawPixmap(picture, fittedThumbnail(thumbnail, picture.size(), painter->device()->devicePixelRatioF()));
        // A picture not done any more (cut again, failed) is shown faded.
        if (state != State::done)
            painter->fillRect(box, QColor(255, 255, 255, 150));
    }
    painter->restore();

    switch (state) {
    case State::waiting:
        painter->setPen(kSecondary);
        painter->setFont(KSTextStyle::systemFont(12));
        painter->drawText(box, Qt::AlignCenter, lang("BatchWaiting"));
        break;
    case State::uploading:
    case State::cutting:
        drawRing(painter, Cell::ringRect(cell), index.data(KSBatchModel::ProgressRole).toDouble());
        break;
    case State::failed: {
        const QRect mark(box.center().x() - 16, box.top() + box.height() / 3 - 16, 32, 32);
        painter->setPen(Qt::NoPen);
        painter->setBrush(kFailed);
        painter->drawEllipse(mark);
        painter->setPen(Qt::white);
        painter->setFont(KSTextStyle::systemFont(18, QFont::Bold));
        painter->drawText(mark, Qt::AlignCenter, QStringLiteral("!"));
        break;
    }
    case State::cancelled:
        painter->setPen(kSecondary);
        painter->setFont(KSTextStyle::systemFont(12));
        painter->drawText(box.adjusted(0, 0, 0, -box.height() / 3), Qt::AlignCenter, lang("BatchCancelled"));
        break;
    case State::done:
        break;
    }

    // The type, where it may differ from the rest of the batch.
    const bool person = index.data(KSBatchModel::TypeRole).toString() == QLatin1String("person");
    drawTag(painter, box, lang(person ? "PortraitTitle" : "ObjectTitle"), QColor(0, 0, 0, 110), false);
    if (state == State::done && index.data(KSBatchModel::OwnEditsRole).toBool())
        drawTag(painter, box, lang("BatchEdited"), kAccent, true);

    switch (buttonFor(state, index.data(KSBatchModel::CanRetryRole).toBool(), hovered)) {
    case Button::retry:
        drawButton(painter, Cell::buttonRect(cell), lang("Retry"), true);
        break;
    case Button::cancel:
        drawButton(painter, Cell::buttonRect(cell), lang("Cancel"), false);
        break;
    case Button::none:
        break;
    }

    painter->setFont(KSTextStyle::systemFont(12, QFont::Medium));
    painter->setPen(kText);
    const QRect name = Cell::nameRect(cell);
    painter->drawText(name, Qt::AlignHCenter | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(index.data(KSBatchModel::NameRole).toString(),
                                                        Qt::ElideMiddle, name.width()));
    painter->setFont(KSTextStyle::systemFont(11));
    painter->setPen(state == State::failed ? kFailed : (state == State::done ? kAccent.darker(115) : kSecondary));
    const QRect line = Cell::stateRect(cell);
    painter->drawText(line, Qt::AlignHCenter | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(stateText(index), Qt::ElideRight, line.width()));
    painter->restore();
}

KSBatchItemDelegate::Button KSBatchItemDelegate::buttonAt(const QModelIndex &index, const QRect &itemRect,
                                                          const QPoint &point)
{
    if (!index.isValid() || !KSBatchCellGeometry::buttonRect(cellOf(itemRect)).contains(point))
        return Button::none;
    return buttonFor(stateOf(index), index.data(KSBatchModel::CanRetryRole).toBool(), true);
}

bool KSBatchItemDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                    const QModelIndex &index)
{
    if (!event || event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    // The whole name and state, with the failure's advice, where the cell elides them.
    QStringList lines{index.data(KSBatchModel::PathRole).toString(), stateText(index)};
    const QString advice = index.data(KSBatchModel::FailureAdviceRole).toString();
    if (stateOf(index) == State::failed && !advice.isEmpty())
        lines << advice;
    QToolTip::showText(event->globalPos(), lines.join(QLatin1Char('\n')), view);
    return true;
}
