#pragma once

#include "KSScaledPixmap.h"

#include <QBrush>
#include <QImage>
#include <QWidget>

// An image view with its origin at the top left: a background (a colour or
// a tiled pattern) and, above it, an optional picture stretched to the
// view. The canvases use it as their canvas area, the show view for the
// photograph. It never takes mouse events: they belong to the canvas.
class KSFilppedImageView : public QWidget
{
    Q_OBJECT

public:
    explicit KSFilppedImageView(QWidget *parent = nullptr);

    // A null picture shows none.
    void setImage(const QImage &image);
    const QImage &image() const { return m_picture.image(); }

    // Qt::NoBrush leaves the background transparent.
    void setBackground(const QBrush &brush);
    const QBrush &background() const { return m_background; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    KSScaledPixmap m_picture;
    QBrush m_background;
};
