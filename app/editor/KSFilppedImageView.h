#pragma once

#include "KSScaledPixmap.h"

#include <QBrush>
#include <QImage>
#include <QWidget>

// An image view with its origin at the top left: a background colour
// (over the transparency checkerboard where it is not opaque) and, above
// it, an optional picture stretched to the view. The canvases use it as their canvas area, the show view for the
// photograph. It never takes mouse events: they belong to the canvas.
class KSFilppedImageView : public QWidget
{
    Q_OBJECT

public:
    explicit KSFilppedImageView(QWidget *parent = nullptr);

    // A null picture shows none.
    void setImage(const QImage &image);
    const QImage &image() const { return m_picture.image(); }

    // The colour under the picture. One that is not opaque lies over the
    // transparency checkerboard, so that its opacity shows (a clear one shows
    // the checkerboard alone); an invalid colour leaves the view transparent.
    void setBackgroundColor(const QColor &color);
    const QColor &backgroundColor() const { return m_background; }

    // Fills `rect` with `color` as the background is filled.
    static void paintBackdrop(QPainter &painter, const QRectF &rect, const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    KSScaledPixmap m_picture;
    QColor m_background;
};
