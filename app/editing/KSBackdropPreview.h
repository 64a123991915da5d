#pragma once

#include "KSBackgroundLayers.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSize>

#include <memory>
#include <optional>

class KSEditDocument;

// The layers a canvas draws behind the subject, at screen resolution, made
// from reduced copies so that a slider's step redraws at once: the backdrop
// (a picture, or the photo's own backdrop blurred) and the shadow. Cached:
// asking again for the same view, size and state costs nothing.
//
// What a canvas does: on changed(), ask layers() for the canvas region it
// shows (in cut-out pixels, as the document's subjectRect()) at the device
// pixels it paints, then draw, in this order, the colour (or the
// checkerboard when the background is transparent and there is no
// backdrop), layers.backdrop, layers.shadow, the subject. While the user
// drags the subject, pass the dragged rectangle: the blurred backdrop and
// the shadow follow it. Main thread.
class KSBackdropPreview : public QObject
{
    Q_OBJECT

public:
    struct Layers
    {
        // Format_RGB32; null for a colour background, and for the blurred
        // photo until the photo's colours arrive (changed() follows then)
        QImage backdrop;
        QImage shadow;   // Format_ARGB32_Premultiplied; null without a shadow
    };

    // The photo's backdrop is reduced to at most this side for the screen.
    static constexpr int kMaxBackdropSide = 1600;

    explicit KSBackdropPreview(KSEditDocument *document, QObject *parent = nullptr);

    // The layers over `view` (cut-out pixels) drawn at `pixels`; the subject
    // at `subjectRect` when given, else where the document has it.
    [[nodiscard]] Layers layers(const QRectF &view, const QSize &pixels,
                                const std::optional<QRectF> &subjectRect = std::nullopt);

    // The scene as the document has it now.
    [[nodiscard]] KSBackgroundLayers::Scene scene() const;

signals:
    // The background, the shadow, the subject or its mask changed: ask again.
    void changed();

private:
    void forgetBackdrop();
    [[nodiscard]] const KSBackgroundLayers::Backdrop &reducedBackdrop();
    // The scene with its picture halved as often as the view allows: a
    // 24-megapixel picture is not reduced by area at every slider step.
    [[nodiscard]] KSBackgroundLayers::Scene withScreenPicture(KSBackgroundLayers::Scene scene, const QRectF &view,
                                                              const QSize &pixels);

    QPointer<KSEditDocument> m_document;
    KSBackgroundLayers::Backdrop m_backdrop;
    bool m_maskPending = false; // the mask changed during a touch-up session
    // The last layer of each kind and what it was made for: a shadow's
    // slider does not redraw the backdrop, nor the blur's the shadow.
    struct Made
    {
        KSBackgroundLayers::Scene scene;
        QRectF view;
        QSize pixels;
        qint64 subjectKey = 0;
        QImage layer;
        [[nodiscard]] bool isFor(const KSBackgroundLayers::Scene &other, const QRectF &otherView,
                                 const QSize &otherPixels, qint64 otherKey) const
        {
            return scene == other && view == otherView && pixels == otherPixels && subjectKey == otherKey;
        }
    };
    // The last picture halved for the screen, and how often.
    struct ScreenPicture
    {
        std::shared_ptr<const QImage> source;
        int halvings = 0;
        std::shared_ptr<const QImage> image;
    };
    ScreenPicture m_screenPicture;
    std::optional<Made> m_backdropMade;
    std::optional<Made> m_shadowMade;
};
