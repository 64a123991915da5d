#include "KSEditLayout.h"

#include "KSEditDocument.h"
#include "KSEditImageShowView.h"
#include "KSEditResultView.h"
#include "KSEidtCutImageView.h"
#include "KSFilppedImageView.h"
#include "KSFraming.h"
#include "KSIdGuideView.h"
#include "KSViewportGeometry.h"

#include <QLabel>

namespace {

constexpr int kLabelGap = 10;

QRect centredRect(const QPointF &centre, int width, int height)
{
    return QRect(qRound(centre.x() - width / 2.0), qRound(centre.y() - height / 2.0), width, height);
}

} // namespace

KSEditLayout::KSEditLayout(const Views &views, KSEditDocument *document, QObject *parent)
    : QObject(parent), m_views(views), m_document(document)
{
}

void KSEditLayout::place()
{
    const QRect centre = m_views.centre->rect();
    const QPointF middle(centre.width() / 2.0, centre.height() / 2.0);
    KSEidtCutImageView *crop = m_views.crop;
    if (m_panelLayout) {
        m_views.original->setGeometry(centre);
        const QSize panel =
            KSViewportGeometry::panelViewSize(centre.size(), QSize(kPanelCropViewWidth, kPanelCropViewHeight));
        crop->setGeometry(centredRect(middle, panel.width(), panel.height()));
    } else {
        // The previews grow with the window.
        const QSize compare =
            KSViewportGeometry::compareViewSize(centre.size(), QSize(kCompareViewWidth, kCompareViewHeight));
        m_views.original->setGeometry(
            centredRect(QPointF(middle.x() / 2.0, middle.y()), compare.width(), compare.height()));
        crop->setGeometry(centredRect(QPointF(middle.x() * 1.5, middle.y()), compare.width(), compare.height()));
        const auto placeLabel = [](QLabel *label, const QRect &image) {
            label->adjustSize();
            label->move(image.center().x() + 1 - label->width() / 2, image.top() - kLabelGap - label->height());
        };
        placeLabel(m_views.originalLabel, m_views.original->geometry());
        placeLabel(m_views.outputLabel, crop->geometry());
    }
    m_views.result->setGeometry(crop->geometry());
    placeWatermark();
}

void KSEditLayout::setLabelsVisible(bool visible)
{
    m_views.originalLabel->setVisible(visible);
    m_views.outputLabel->setVisible(visible);
}

void KSEditLayout::showCompare()
{
    m_panelLayout = false;
    m_views.original->show();
    setLabelsVisible(true);
    place();
}

void KSEditLayout::showPanel()
{
    m_panelLayout = true;
    m_views.original->hide();
    setLabelsVisible(false);
    place();
}

void KSEditLayout::showResult()
{
    const bool canvas = m_document->isLoaded() && m_document->framing().hasSize();
    m_views.crop->setVisible(!canvas);
    m_views.result->setVisible(canvas);
    (canvas ? static_cast<KSEditCanvasView *>(m_views.result) : m_views.crop)->updateCanvasLayout();
    updateGuides(false);
    placeWatermark();
}

void KSEditLayout::showCropView()
{
    m_views.result->hide();
    m_views.crop->show();
    m_views.crop->updateCanvasLayout();
    placeWatermark();
}

bool KSEditLayout::resultShown() const
{
    return !m_views.result->isHidden();
}

KSEditCanvasView *KSEditLayout::activeCanvas() const
{
    if (resultShown())
        return m_views.result;
    return m_views.crop;
}

void KSEditLayout::setWatermarkAllowed(bool allowed)
{
    m_watermarkAllowed = allowed;
    placeWatermark();
}

void KSEditLayout::placeWatermark()
{
    QLabel *mark = m_views.watermark;
    if (!mark)
        return;
    const QRect over = activeCanvas()->geometry();
    mark->move(over.center().x() + 1 - mark->width() / 2, over.center().y() + 1 - mark->height() / 2);
    mark->raise();
    // Never over what the brush works on or what a zoom looks into.
    mark->setVisible(m_watermarkAllowed && !activeCanvas()->isZoomedIn());
}

void KSEditLayout::updateGuides(bool sizeTool)
{
    const KSEditFraming &framing = m_document->framing();
    // The guide belongs to an ID size framed by its rule, and only while
    // the frame shown is that size's.
    const bool guided = framing.hasSize() && framing.showsPreset() && framing.preset.idRule
                        && KSFraming::placesHead(framing.preset, framing.fitMode);
    // It is a help for framing: it goes with the size panel, and the result
    // shows the picture as it will be saved.
    if (!guided || !sizeTool) {
        if (m_cropGuide)
            m_cropGuide->hide();
        return;
    }
    if (!m_cropGuide)
        m_cropGuide = new KSIdGuideView(m_views.crop->imageView());
    m_cropGuide->setGuide(*framing.preset.idRule, framing.preset.printSizeMm, framing.backgroundSize);
    m_cropGuide->show();
}

KSIdGuideView *KSEditLayout::cropGuide() const
{
    return m_cropGuide;
}
