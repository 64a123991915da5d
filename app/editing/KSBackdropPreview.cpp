#include "KSBackdropPreview.h"

#include "KSEditDocument.h"
#include "KSMaskedPicture.h"

#include <algorithm>

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
    connect(document, &KSEditDocument::subjectChanged, this, layersChanged);
    connect(document, &KSEditDocument::framingChanged, this, layersChanged);
    // The mask or the colours changed: the filled backdrop is made anew.
    connect(document, &KSEditDocument::maskChanged, this, [this] {
        forgetBackdrop();
        forgetLayers();
        emit changed();
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
