#include "KSEditImageShowView.h"

#include "CommLog.h"
#include "KSColorConst.h"
#include "KSEditGeometry.h"
#include "KSFilppedImageView.h"
#include "KSImageLoader.h"
#include "KSRoundedBorderView.h"

KSEditImageShowView::KSEditImageShowView(QWidget *parent) : KSColorView(parent)
{
    imageView();
    new KSRoundedBorderView(this, KSRGBHexColor(0xDDDDDD).toQColor(), 6.0);
}

KSFilppedImageView *KSEditImageShowView::imageView()
{
    if (!m_imageView) {
        m_imageView = new KSFilppedImageView(this);
        m_imageView->show();
    }
    return m_imageView;
}

void KSEditImageShowView::setImagePath(const std::optional<QString> &path)
{
    m_imagePath = path;
    // Decoding at the reduced size is much faster for JPEG photographs and
    // gives the size a full decode followed by a reduction would.
    const QString file = path.value_or(QString());
    const KSImageLoader::Result loaded =
        KSImageLoader::loadReduced(file, QSize(kMaxShowImageSide, kMaxShowImageSide));
    if (!loaded.ok())
        CommLog::E(QStringLiteral("editor: cannot show %1: %2").arg(file, loaded.error));
    imageView()->setImage(loaded.image);
    layoutImage();
}

void KSEditImageShowView::resizeEvent(QResizeEvent *event)
{
    KSColorView::resizeEvent(event);
    layoutImage();
}

void KSEditImageShowView::layoutImage()
{
    const QImage &picture = imageView()->image();
    if (picture.isNull())
        return;
    imageView()->setGeometry(
        KSEditGeometry::roundedEdges(KSEditGeometry::fitRect(QSizeF(size()), QSizeF(picture.size()))));
}
