#include "KSEidtCutImageView.h"

#include "CommLog.h"
#include "KSCutImageAlpha.h"
#include "KSEditBorderView.h"
#include "KSEditGeometry.h"
#include "KSFileConst.h"
#include "KSFilppedImageView.h"
#include "KSImageDragView.h"
#include "KSImageExtension.h"
#include "KSImageLoader.h"
#include "KSPhotoRenderTools.h"
#include "KSTiffEncoder.h"
#include "KSTimeConst.h"
#include "ToolString.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The TIFF encoder takes the byte order R, G, B, A; keep the picture's own
// kind of alpha so that no pixel is rounded on the way.
QImage tiffReady(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        return image;
    case QImage::Format_ARGB32_Premultiplied:
        return image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    default:
        return image.convertToFormat(QImage::Format_RGBA8888);
    }
}

// A new file in the temporary folder, named after the current second; a
// second crop within the same second must not overwrite the first.
QString newTempCropPath()
{
    const QString path = KSTempAppWithFileName(KSCurrentTimeToString() + QStringLiteral(".png"));
    return QFileInfo::exists(path) ? ToolString::renameFromFilePath(path, 0) : path;
}

void writeSubject(const QImage &subject, const QString &path)
{
    const QByteArray tiff = KSTiffEncoder::encode(tiffReady(subject));
    QFile file(path);
    if (tiff.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(tiff) != tiff.size())
        CommLog::E(QStringLiteral("editor: cannot write the subject to %1: %2").arg(path, file.errorString()));
}

} // namespace

KSEidtCutImageView::KSEidtCutImageView(QWidget *parent) : KSEditCanvasView(parent)
{
    // The subject first, so that the size frame's dimming lies above it.
    imageDragView();
    m_borderView = new KSEditBorderView(imageView());
    m_borderView->hide();
}

void KSEidtCutImageView::setImagePath(const std::optional<QString> &path)
{
    if (path != m_imagePath)
        m_pictureSize.reset();
    m_imagePath = path;
}

void KSEidtCutImageView::loadCutImage()
{
    const QString path = m_imagePath.value_or(QString());
    const KSImageLoader::Result loaded = KSImageLoader::load(path);
    if (!loaded.ok()) {
        CommLog::E(QStringLiteral("editor: cannot load the cut-out %1: %2").arg(path, loaded.error));
        return;
    }
    m_pictureSize = QSizeF(loaded.image.size());

    setEraserCropRect(KSCutImageAlpha::getProperImage(loaded.image));
    const QImage subject = KSImageExtension::cropImageWithRect(loaded.image, eraserCropRect());
    const QString tempPath = newTempCropPath();
    if (!subject.isNull())
        writeSubject(subject, tempPath);
    m_tempCropImagePath = tempPath;

    const QImage reduced =
        KSPhotoRenderTools::zipInputImage(subject, QSizeF(kMaxDragImageSide, kMaxDragImageSide));
    m_subjectPixelSize = subject.size();
    m_subjectImageScale = subject.isNull() ? 0.0 : double(reduced.width()) / subject.width();
    imageDragView()->setImage(reduced);
}

std::optional<QSizeF> KSEidtCutImageView::pictureSize()
{
    if (!m_pictureSize) {
        // The header is enough: the layout runs on every resize and colour
        // change, and must not decode a 24-megapixel picture each time.
        const KSImageLoader::SizeResult header = KSImageLoader::readSize(m_imagePath.value_or(QString()));
        if (header.ok())
            m_pictureSize = QSizeF(header.size);
    }
    return m_pictureSize;
}

void KSEidtCutImageView::setChangeType(KSChangeType type)
{
    m_changeType = type;
    imageDragView()->setIsCanDrag(type == KSChangeType::size);
}

void KSEidtCutImageView::updateCanvasLayout()
{
    const std::optional<QSizeF> size = pictureSize();
    if (!size)
        return;
    m_imageSize = size;
    layoutCanvas(*size);
    if (m_changeType != KSChangeType::size) {
        m_borderView->hide();
        return;
    }
    m_borderView->setGeometry(imageView()->rect());
    m_borderView->setMaskFrame(KSEditGeometry::maskFrame(imageViewFrame().size(), m_changeBackgroundSize));
    m_borderView->updateMask();
    m_borderView->show();
}

QRectF KSEidtCutImageView::outputImageRect() const
{
    return m_imageSize ? placementRectFor(*m_imageSize) : QRectF();
}
