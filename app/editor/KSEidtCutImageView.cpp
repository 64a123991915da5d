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
#include "KSMaskedPicture.h"
#include "KSPhotoRenderTools.h"
#include "KSTiffEncoder.h"
#include "KSTimeConst.h"
#include "KSTouchUpBrush.h"
#include "KSTouchUpLayer.h"
#include "ToolString.h"

#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QMouseEvent>
#include <QPromise>
#include <QThreadPool>

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

    m_picture = std::make_shared<KSMaskedPicture>(loaded.image);
    if (m_picture->isNull()) {
        CommLog::E(QStringLiteral("editor: no memory to edit the cut-out ") + path);
        m_picture.reset();
    }
    m_subjectBounds = eraserCropRect().toAlignedRect();
    imageDragView()->setPictureSource(m_picture, m_subjectBounds);
    touchUpBrush()->setPicture(m_picture);
    touchUpLayer()->setPicture(m_picture);
    if (m_picture) {
        touchUpLayer()->setSource(QRectF(m_picture->rect()));
        setOriginalPicture(m_picture, QRectF(m_picture->rect()));
    }
}

void KSEidtCutImageView::loadPhotoColours(const QString &photoPath)
{
    if (!m_picture)
        return;
    const std::weak_ptr<KSMaskedPicture> target = m_picture;
    struct Colours
    {
        QImage colours;
        QList<QImage> photoLevels;
    };
    auto promise = std::make_shared<QPromise<Colours>>();
    promise->future().then(this, [this, target](const Colours &merged) {
        const std::shared_ptr<KSMaskedPicture> picture = target.lock();
        if (!picture || picture != m_picture || merged.colours.isNull())
            return;
        picture->setColours(merged.colours, merged.photoLevels);
        pictureChanged(picture->rect());
    });
    promise->start();
    QThreadPool::globalInstance()->start(
        [promise, photoPath, colours = m_picture->colours(), mask = m_picture->mask()] {
            Colours merged;
            const KSImageLoader::Result photo = KSImageLoader::load(photoPath);
            if (photo.ok()) {
                merged.colours = KSMaskedPicture::withPhotoColours(colours, mask, photo.image);
                // Made here, so that the first look at the photo does not wait.
                merged.photoLevels = KSMaskedPicture::photoLevelsOf(merged.colours);
            } else
                CommLog::E(QStringLiteral("editor: cannot read the photo %1 to restore from: %2")
                               .arg(photoPath, photo.error));
            promise->addResult(merged);
            promise->finish();
        });
}

void KSEidtCutImageView::setSubjectBounds(const QRect &bounds)
{
    m_subjectBounds = bounds;
    if (!m_picture)
        return;
    const QSizeF reducedSize = KSPhotoRenderTools::zipSize(QSizeF(bounds.size()),
                                                          QSizeF(kMaxDragImageSide, kMaxDragImageSide));
    const QImage reduced = m_picture->reducedSubject(bounds, reducedSize.toSize().expandedTo(QSize(1, 1)));
    m_subjectPixelSize = bounds.size();
    m_subjectImageScale = bounds.isEmpty() ? 0.0 : double(reduced.width()) / bounds.width();
    KSImageDragView *subject = imageDragView();
    subject->setImage(subject->isMirrorImage() ? KSImageExtension::flipImage(reduced) : reduced);
    subject->setPictureSource(m_picture, bounds);
}

KSTouchUpLayer *KSEidtCutImageView::touchUpLayer()
{
    if (!m_touchUpLayer) {
        m_touchUpLayer = new KSTouchUpLayer(imageView());
        m_touchUpLayer->setGeometry(imageView()->rect());
        m_touchUpLayer->hide();
    }
    return m_touchUpLayer;
}

KSTouchUpBrush *KSEidtCutImageView::touchUpBrush()
{
    if (!m_touchUpBrush) {
        m_touchUpBrush = new KSTouchUpBrush(this);
        m_touchUpBrush->changedClosure = [this](const QRect &pictureRect) { pictureChanged(pictureRect); };
    }
    return m_touchUpBrush;
}

void KSEidtCutImageView::pictureChanged(const QRect &pictureRect)
{
    KSTouchUpLayer *layer = touchUpLayer();
    layer->setPendingStrokes(touchUpBrush()->pendingStrokes());
    if (layer->isVisible())
        layer->updatePictureRect(pictureRect);
    else
        imageDragView()->update();
}

void KSEidtCutImageView::setBrushSettings(const KSBrushSettings &settings)
{
    touchUpBrush()->setSettings(settings);
    showBrushOutline(m_hoverPoint);
}

void KSEidtCutImageView::showBrushOutline(const std::optional<QPointF> &viewPoint)
{
    m_hoverPoint = viewPoint;
    KSTouchUpLayer *layer = touchUpLayer();
    if (!viewPoint || m_changeType != KSChangeType::touchUp) {
        layer->setBrushOutline(std::nullopt, 0);
        return;
    }
    layer->setBrushOutline(*viewPoint - QPointF(imageView()->pos()), touchUpBrush()->settings().diameter);
}

bool KSEidtCutImageView::toolPress(QMouseEvent *event)
{
    if (m_changeType != KSChangeType::touchUp)
        return false;
    showBrushOutline(event->position());
    touchUpBrush()->begin(canvasPixelAt(event->position()), imageScale());
    return true;
}

bool KSEidtCutImageView::toolMove(QMouseEvent *event)
{
    if (m_changeType != KSChangeType::touchUp)
        return false;
    showBrushOutline(event->position());
    touchUpBrush()->moveTo(canvasPixelAt(event->position()));
    return true;
}

bool KSEidtCutImageView::toolRelease(QMouseEvent *event)
{
    if (m_changeType != KSChangeType::touchUp)
        return false;
    touchUpBrush()->moveTo(canvasPixelAt(event->position()));
    touchUpBrush()->end();
    return true;
}

void KSEidtCutImageView::toolHover(const std::optional<QPointF> &viewPoint)
{
    if (m_changeType == KSChangeType::touchUp)
        showBrushOutline(viewPoint);
}

Qt::CursorShape KSEidtCutImageView::idleCursor() const
{
    return m_changeType == KSChangeType::touchUp ? Qt::CrossCursor : Qt::ArrowCursor;
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
    const bool touchUp = type == KSChangeType::touchUp;
    if (m_changeType == KSChangeType::touchUp && !touchUp)
        touchUpBrush()->end();
    m_changeType = type;
    imageDragView()->setIsCanDrag(type == KSChangeType::size);
    imageDragView()->setVisible(!touchUp);
    touchUpLayer()->setVisible(touchUp);
    if (touchUp) {
        touchUpLayer()->setGeometry(imageView()->rect());
        touchUpLayer()->raise();
    }
    setMouseTracking(touchUp);
    showBrushOutline(touchUp ? m_hoverPoint : std::nullopt);
    refreshCursor();
}

void KSEidtCutImageView::updateCanvasLayout()
{
    const std::optional<QSizeF> size = pictureSize();
    if (!size)
        return;
    m_imageSize = size;
    layoutCanvas(*size);
    if (m_touchUpLayer)
        m_touchUpLayer->setGeometry(imageView()->rect());
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
