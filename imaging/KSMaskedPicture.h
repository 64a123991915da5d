#pragma once

#include "KSMaskEditStore.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QRectF>
#include <QSet>
#include <QSize>

class QPainter;

// A cut-out taken apart for editing: its colours, opaque, and its mask,
// which brushes edit (store()). The subject is the colours with the mask as
// alpha. The colours come from the cut-out where it showed enough of them,
// so a refined edge keeps the subject's own colours; where the cut-out was
// transparent or nearly so they come from the photograph once
// withPhotoColours() has filled them in, so that restoring a lost part
// shows the photo's pixels.
//
// Drawing goes through reduced copies (each half the size of the one
// before), made at the first reduced draw and kept up to date as the mask
// changes, so that a view of the whole
// picture never reads every pixel, and a view of a small part at full size
// reads only that part. GUI thread, except the static functions.
class KSMaskedPicture
{
public:
    enum class Layer {
        subject, // the colours with the mask as alpha
        photo,   // the colours, opaque: the photograph as the editor has it
    };

    // A null cut-out gives a null picture. A cut-out handed over (moved)
    // in a 32-bit layout becomes the colours in place.
    explicit KSMaskedPicture(QImage cutout);

    [[nodiscard]] bool isNull() const { return m_colours.isNull(); }
    [[nodiscard]] QSize size() const { return m_colours.size(); }
    [[nodiscard]] QRect rect() const { return m_colours.rect(); }
    // Format_RGB32.
    [[nodiscard]] const QImage &colours() const { return m_colours; }
    [[nodiscard]] const QImage &mask() const { return m_store.mask(); }
    [[nodiscard]] KSMaskEditStore &store() { return m_store; }

    // Below this alpha a cut-out's colours are not worth keeping: a picture
    // decoded premultiplied keeps only alpha levels of each channel, so at
    // alpha 2 a pixel may come back as any of three colours.
    static constexpr int kReliableAlpha = 24;

    // The photograph's pixels put into `colours` wherever `cutoutMask` is
    // below kReliableAlpha; the photo is stretched to the colours' size if
    // it differs. Any thread.
    [[nodiscard]] static QImage withPhotoColours(QImage colours, const QImage &cutoutMask, const QImage &photo);
    // The reduced copies of the photo layer for `colours`. Any thread.
    [[nodiscard]] static QList<QImage> photoLevelsOf(const QImage &colours);
    // Replaces the colours (same size), for instance by withPhotoColours(),
    // with their photoLevelsOf() when already made.
    void setColours(const QImage &colours, const QList<QImage> &photoLevels = {});

    // The mask changed inside these rectangles: the reduced copies follow.
    void maskChanged(const QList<QRect> &rects);

    // The smallest rectangle holding every pixel whose mask is visible (the
    // cut-out's own threshold); the whole picture when none is.
    [[nodiscard]] QRect visibleBounds() const;

    // The subject inside `rect` as a picture with straight alpha
    // (Format_ARGB32): what a save draws. Any thread.
    [[nodiscard]] static QImage subjectImage(const QImage &colours, const QImage &mask, const QRect &rect);
    // The subject inside `rect`, premultiplied, for the screen. Any thread.
    [[nodiscard]] static QImage composeRegion(const QImage &colours, const QImage &mask, const QRect &rect);

    // Draws the part `source` (picture pixels) of a layer stretched into
    // `target`, painting only what falls inside `exposed` (painter
    // coordinates, as target). Up close (two screen pixels per picture
    // pixel or more) pixels are drawn as sharp squares.
    void draw(QPainter &painter, const QRectF &target, const QRectF &source, const QRectF &exposed,
              Layer layer = Layer::subject);

    // The smallest reduced copy of the colours with at least `scale` of
    // their size (its pixels opaque, premultiplied), shared, not copied;
    // null when only the full size has that many pixels.
    [[nodiscard]] QImage reducedColours(double scale);

    // The subject inside `rect` reduced to `size`, premultiplied.
    [[nodiscard]] QImage reducedSubject(const QRect &rect, const QSize &size);

    // Reduced copies kept; memory they hold.
    [[nodiscard]] int levelCount() const { return int(m_levels.size()); }
    [[nodiscard]] qsizetype levelBytes() const;

private:
    // Reduced copies of the subject (with a mask) or of the photo (without).
    static QList<QImage> makeLevels(const QImage &colours, const QImage *mask);
    static void refreshLevels(QList<QImage> &levels, const QImage &colours, const QImage *mask, const QRect &rect);
    const QList<QImage> &levelsFor(Layer layer);

    QImage m_colours;
    KSMaskEditStore m_store;
    QList<QImage> m_levels;      // subject: 1/2, 1/4, ... of the full size
    QList<QImage> m_photoLevels; // photo: made the first time it is drawn reduced
    // Where the mask has ever been edited, tile by tile of the store.
    QSet<int> m_editedTiles;
};
