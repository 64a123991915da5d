#include "KSBackdropPreview.h"

#include "KSEditDocument.h"
#include "KSMaskedPicture.h"

#include <algorithm>
#include <utility>

KSBackdropPreview::KSBackdropPreview(KSEditDocument *document, QObject *parent) : QObject(parent), m_document(document)
{
    if (!document)
        return;
    // The layers are keyed on the state they show: a change only asks the
    // canvases to look again, and what did not change is not made anew.
    const auto layersChanged = [this] { emit changed(); };
    connect(document, &KSEditDocument::backgroundChanged, this, layersChanged);
    connect(document, &KSEditDocument::shadowChanged, this, layersChanged);
    connect(document, &KSEditDocument::framingChanged, this, layersChanged);
    // The subject's area is filled anew once a touch-up settles, not at
    // every dab of the brush, which would refill the backdrop each time.
    connect(document, &KSEditDocument::subjectChanged, this, [this, layersChanged] {
        if (std::exchange(m_maskPending, false))
            forgetBackdrop();
        layersChanged();
    });
    connect(document, &KSEditDocument::maskChanged, this, [this](const QRegion &region) {
        if (region.boundingRect() == m_document->picture()->rect() || !m_document->subjectIsStale())
            forgetBackdrop();
        else
            m_maskPending = true;
        m_shadowMade.reset();
        emit changed();
    });
    // The photo's colours arrived: the backdrop shows them.
    connect(document, &KSEditDocument::photoColoursLoaded, this, [this, layersChanged] {
        forgetBackdrop();
        layersChanged();
    });
}

void KSBackdropPreview::forgetBackdrop()
{
    m_backdrop = {};
    m_backdropMade.reset();
}

KSBackgroundLayers::Scene KSBackdropPreview::scene() const
{
    KSBackgroundLayers::Scene scene;
    if (!m_document)
        return scene;
    scene.background = m_document->background();
    scene.shadow = m_document->shadow();
    scene.frame = m_document->resultCanvasRect();
    scene.subjectRect = m_document->subjectRect();
    scene.subjectBounds = m_document->subjectBounds();
    scene.mirrored = m_document->isMirrored();
    return scene;
}

const KSBackgroundLayers::Backdrop &KSBackdropPreview::reducedBackdrop()
{
    if (m_backdrop.isNull() && m_document && m_document->picture() && m_document->hasPhotoColours()) {
        const std::shared_ptr<KSMaskedPicture> &picture = m_document->picture();
        const QSize size = picture->size();
        const double scale = std::min(1.0, double(kMaxBackdropSide) / std::max(size.width(), size.height()));
        m_backdrop = KSBackgroundLayers::prepareBackdrop(picture->colours(), picture->mask(), scale);
    }
    return m_backdrop;
}

KSBackgroundLayers::Scene KSBackdropPreview::withScreenPicture(KSBackgroundLayers::Scene scene, const QRectF &view,
                                                               const QSize &pixels)
{
    const std::shared_ptr<const QImage> picture = scene.background.picture;
    if (!picture || picture->isNull() || view.isEmpty() || pixels.isEmpty())
        return scene;
    const QRectF placed = KSBackgroundLayers::pictureRect(scene.background, scene.frame);
    // Device pixels per picture pixel; each halving keeps at least one
    // picture pixel per device pixel.
    const double scale = placed.width() / picture->width() * pixels.width() / view.width();
    constexpr int kMaxHalvings = 8;
    int halvings = 0;
    while (halvings < kMaxHalvings && scale * double(2 << halvings) <= 1.0)
        ++halvings;
    if (halvings == 0)
        return scene;
    if (m_screenPicture.source != picture || m_screenPicture.halvings != halvings) {
        const QSize size(std::max(1, picture->width() >> halvings), std::max(1, picture->height() >> halvings));
        m_screenPicture = {picture, halvings,
                           std::make_shared<const QImage>(
                               picture->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation))};
    }
    if (!m_screenPicture.image->isNull())
        scene.background.picture = m_screenPicture.image;
    return scene;
}

KSBackdropPreview::Layers KSBackdropPreview::layers(const QRectF &view, const QSize &pixels,
                                                    const std::optional<QRectF> &subjectRect)
{
    if (!m_document || !m_document->isLoaded())
        return {};
    KSBackgroundLayers::Scene now = scene();
    if (subjectRect)
        now.subjectRect = *subjectRect;
    // Each layer is keyed on what it depends on alone.
    KSBackgroundLayers::Scene behind = now;
    behind.shadow = KSEditShadow();
    KSBackgroundLayers::Scene shadowed = now;
    shadowed.background = KSEditBackground();
    shadowed.subjectBounds = QRect();
    if (!m_backdropMade || !m_backdropMade->isFor(behind, view, pixels, 0)) {
        QImage layer;
        switch (now.background.kind) {
        case KSEditBackground::Kind::colour: break;
        case KSEditBackground::Kind::picture:
            layer = KSBackgroundLayers::picture(withScreenPicture(now, view, pixels), view, pixels);
            break;
        case KSEditBackground::Kind::blurredPhoto:
            layer = KSBackgroundLayers::backdrop(now, reducedBackdrop(), view, pixels);
            break;
        }
        m_backdropMade = Made{behind, view, pixels, 0, layer};
    }
    const QImage subject = now.shadow.isNone() ? QImage() : m_document->reducedSubject();
    if (!m_shadowMade || !m_shadowMade->isFor(shadowed, view, pixels, subject.cacheKey())) {
        const QImage layer = subject.isNull() ? QImage() : KSBackgroundLayers::shadow(now, subject, view, pixels);
        m_shadowMade = Made{shadowed, view, pixels, subject.cacheKey(), layer};
    }
    return {m_backdropMade->layer, m_shadowMade->layer};
}
