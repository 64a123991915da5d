#pragma once

#include "KSBatchItem.h"

#include <QStyledItemDelegate>

// Draws one photo of the batch grid from the model's roles: its thumbnail
// (the cut-out on the look once done), its name, and its state: waiting,
// uploading or cutting with a progress ring, done, failed with the cause
// and a Retry button, cancelled with Retry. A photo under way shows Cancel
// while the pointer is over it; the batch screen takes the clicks on the
// buttons (buttonAt()). Reads only the model: no picture work beyond
// drawing a cached, already reduced thumbnail.
class KSBatchItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit KSBatchItemDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    [[nodiscard]] bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) override;

    // What the cell's button does for a photo in this state, if it has one.
    enum class Button { none, retry, cancel };
    [[nodiscard]] static Button buttonFor(KSBatchItem::State state, bool canRetry, bool hovered);

    // The button under `point` of the cell drawn in `itemRect` (the view's
    // visual rectangle of the photo), as if the pointer were over it.
    [[nodiscard]] static Button buttonAt(const QModelIndex &index, const QRect &itemRect, const QPoint &point);

    // The state line under the name, in the application's language.
    [[nodiscard]] static QString stateText(const QModelIndex &index);
};
