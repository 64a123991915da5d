#include "KSScaledPixmap.h"

void KSScaledPixmap::setImage(const QImage &image)
{
    // Premultiplied pixels are what the raster painter blends fastest.
    m_image = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                      : image.convertToFormat(QImage::Format_RGB32);
    m_scaled = QPixmap();
}

QPixmap KSScaledPixmap::pixmap(const QSize &deviceSize)
{
    if (m_image.isNull() || deviceSize.isEmpty())
        return {};
    if (m_scaled.size() != deviceSize) {
        m_scaled = QPixmap::fromImage(m_image.size() == deviceSize
                                          ? m_image
                                          : m_image.scaled(deviceSize, Qt::IgnoreAspectRatio,
                                                           Qt::SmoothTransformation));
    }
    return m_scaled;
}
