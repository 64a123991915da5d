#pragma once

#include <QImage>
#include <QPixmap>
#include <QSize>

// A picture and its last scaled copy for the screen. Canvases repaint the
// same subject at the same size on every pointer move; scaling it once per
// size keeps each repaint a plain copy of pixels.
class KSScaledPixmap
{
public:
    void setImage(const QImage &image);
    const QImage &image() const { return m_image; }

    // The picture smoothly scaled to exactly `deviceSize` pixels; a null
    // pixmap for a null picture or an empty size.
    QPixmap pixmap(const QSize &deviceSize);

private:
    QImage m_image;
    QPixmap m_scaled;
};
