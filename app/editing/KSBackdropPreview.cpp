#include "KSBackdropPreview.h"

#include "KSEditDocument.h"
#include "KSMaskedPicture.h"

#include <algorithm>
#include <utility>

KSBackdropPreview::KSBackdropPreview(KSEditDocument *document, QObject *parent) : QObject(parent), m_document(document)
{
    if (!document)
        return;
    const auto layersChanged = [this] {
        forgetLayers();
        emit changed();
    };
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
        forgetLayers();
        emit changed();
    });
    // The photo's colours arrived: the backdrop shows them.
    connect(document, &KSEditDocument::photoColoursLoaded, this, [this, layersChanged] {
        forgetBackdrop();
        layersChanged();
    });
}

void KSBackdropPreview::forgetLayers()
{
    m_made.reset();
}

void KSBackdropPreview::forgetBackdrop()
{
    m_backdrop = {};
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
    if (m_backdrop.isNull() && m_document && m_document->picture()) {
        const std::shared_ptr<KSMaskedPicture> &picture = m_document->picture();
        const QSize size = picture->size();
        const double scale = std::min(1.0, double(kMaxBackdropSide) / std::max(size.width(), size.height()));
        m_backdrop = KSBackgroundLayers::prepareBackdrop(picture->colours(), picture->mask(), scale);
    }
    return m_backdrop;
}

KSBackdropPreview::Layers KSBackdropPreview::layers(const QRectF &view, const QSize &pixels,
                                                    const std::optional<QRectF> &subjectRect)
{
    if (!m_document || !m_document->isLoaded())
        return {};
    KSBackgroundLayers::Scene now = scene();
    if (subjectRect)
        now.subjectRect = *subjectRect;
    if (m_made && m_made->scene == now && m_made->view == view && m_made->pixels == pixels)
        return m_made->layers;
    Layers layers;
    switch (now.background.kind) {
    case KSEditBackground::Kind::colour: break;
    case KSEditBackground::Kind::picture: layers.backdrop = KSBackgroundLayers::picture(now, view, pixels); break;
    case KSEditBackground::Kind::blurredPhoto:
        layers.backdrop = KSBackgroundLayers::backdrop(now, reducedBackdrop(), view, pixels);
        break;
    }
    if (!now.shadow.isNone())
        layers.shadow = KSBackgroundLayers::shadow(now, m_document->reducedSubject(), view, pixels);
    m_made = Made{now, view, pixels, layers};
    return layers;
}
