#pragma once

// A photo-like picture for the memory benchmarks: a studio subject over a
// soft backdrop, written as a JPEG.

#include "KSImageWriter.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QString>

// The photo's size, or an empty size when it could not be made or written.
inline QSize makeStudioPhoto(const QSize &size, const QString &path)
{
    const int width = size.width();
    const int height = size.height();
    QImage photo(width, height, QImage::Format_RGB32);
    if (photo.isNull())
        return {};
    QPainter painter(&photo);
    QLinearGradient backdrop(0, 0, 0, height);
    backdrop.setColorAt(0, QColor(225, 228, 232));
    backdrop.setColorAt(1, QColor(190, 196, 204));
    painter.fillRect(photo.rect(), backdrop);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(60, 70, 130));
    painter.drawEllipse(QRectF(width * 0.3, height * 0.15, width * 0.4, height * 0.6));
    painter.setBrush(QColor(150, 50, 40));
    painter.drawRect(QRectF(width * 0.2, height * 0.7, width * 0.6, height * 0.3));
    painter.end();
    return KSImageWriter::writeWithQt(photo, path, "jpg", 90).ok ? photo.size() : QSize();
}
