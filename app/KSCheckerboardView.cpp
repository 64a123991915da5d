#include "KSCheckerboardView.h"

#include <QPainter>
#include <algorithm>

namespace {
constexpr int kSquare = 8;

QPixmap checkerTile()
{
    QPixmap tile(2 * kSquare, 2 * kSquare);
    tile.fill(Qt::white);
    QPainter painter(&tile);
    const QColor grey = QColor::fromRgb(0xE3E3E3u);
    painter.fillRect(0, 0, kSquare, kSquare, grey);
    painter.fillRect(kSquare, kSquare, kSquare, kSquare, grey);
    return tile;
}
} // namespace

KSCheckerboardView::KSCheckerboardView(QWidget *parent)
    : QWidget(parent)
{
    setMinimumSize(160, 120);
}

void KSCheckerboardView::setImage(const QImage &image)
{
    m_image = image;
    update();
}

QRectF KSCheckerboardView::fittedRect(const QSizeF &imageSize, const QRectF &bounds)
{
    if (imageSize.isEmpty() || bounds.isEmpty())
        return {};
    const double scale = std::min({1.0, bounds.width() / imageSize.width(), bounds.height() / imageSize.height()});
    const QSizeF size = imageSize * scale;
    return QRectF(bounds.center().x() - size.width() / 2, bounds.center().y() - size.height() / 2, size.width(),
                  size.height());
}

void KSCheckerboardView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgb(0xF6F7FBu));
    const QRectF target = fittedRect(m_image.size(), rect());
    if (target.isEmpty())
        return;
    const QRect pixels = target.toAlignedRect();
    painter.drawTiledPixmap(pixels, checkerTile());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_image);
}
