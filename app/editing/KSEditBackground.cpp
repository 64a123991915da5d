#include "KSEditBackground.h"

#include "KSImageLoader.h"
#include "KSPhotoRenderTools.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// The largest size within both picture limits, the proportions kept.
QSize reducedSize(const QSize &size)
{
    const QSizeF sideLimited = KSPhotoRenderTools::zipSize(
        QSizeF(size), QSizeF(KSEditBackground::kMaxPictureSide, KSEditBackground::kMaxPictureSide));
    const double pixels = sideLimited.width() * sideLimited.height();
    const double share = pixels > double(KSEditBackground::kMaxPicturePixels)
        ? std::sqrt(double(KSEditBackground::kMaxPicturePixels) / pixels)
        : 1.0;
    return QSize(std::max(1, int(sideLimited.width() * share)), std::max(1, int(sideLimited.height() * share)));
}

} // namespace

std::optional<KSEditBackground> KSEditBackground::ofPicture(QImage image, const QString &path)
{
    if (image.isNull())
        return std::nullopt;
    const QSize size = reducedSize(image.size());
    if (size != image.size())
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // A background covers: any transparency of the picture shows as black
    // nowhere, it is flattened onto white first.
    if (image.hasAlphaChannel()) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
        painter.end();
        image = flat;
    } else if (image.format() != QImage::Format_RGB32) {
        image = image.convertToFormat(QImage::Format_RGB32);
    }
    if (image.isNull())
        return std::nullopt;
    KSEditBackground background;
    background.kind = Kind::picture;
    background.picturePath = path;
    background.picture = std::make_shared<const QImage>(std::move(image));
    return background;
}

std::optional<KSEditBackground> KSEditBackground::loadPicture(const QString &path, QString *error)
{
    KSImageLoader::Result loaded = KSImageLoader::load(path);
    if (!loaded.ok()) {
        if (error)
            *error = loaded.error;
        return std::nullopt;
    }
    std::optional<KSEditBackground> background = ofPicture(std::move(loaded.image), path);
    if (!background && error)
        *error = QStringLiteral("not enough memory for the picture");
    return background;
}

KSEditBackground KSEditBackground::clamped() const
{
    KSEditBackground background = *this;
    const auto finite = [](double value, double fallback) { return std::isfinite(value) ? value : fallback; };
    background.pictureScale = std::clamp(finite(pictureScale, 1.0), 1.0, kMaxPictureScale);
    background.pictureOffset = QPointF(std::clamp(finite(pictureOffset.x(), 0.0), -kMaxPictureScale, kMaxPictureScale),
                                       std::clamp(finite(pictureOffset.y(), 0.0), -kMaxPictureScale, kMaxPictureScale));
    background.blur = std::clamp(finite(blur, kDefaultBlur), 0.0, kMaxBlur);
    return background;
}
