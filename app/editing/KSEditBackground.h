#pragma once

#include "KSColor.h"
#include "KSColorConst.h"

#include <QImage>
#include <QPointF>
#include <QString>

#include <memory>
#include <optional>

// What lies behind the subject: a colour (the clear colour is
// transparency), a picture that covers the frame, or the photo's own
// backdrop, blurred. A plain value: a batch's look carries one, and two are
// equal when they draw alike. Every reader asks the kind first.
struct KSEditBackground
{
    enum class Kind {
        colour,       // `colour`
        picture,      // `picture`, placed by `pictureOffset` and `pictureScale`
        blurredPhoto, // the photo with the subject's area filled, blurred by `blur`
    };

    // A loaded picture is reduced to this at most: no output the editor
    // makes shows more of a background than this many pixels.
    static constexpr int kMaxPictureSide = 8000;
    static constexpr qint64 kMaxPicturePixels = 25'000'000;
    // The user may enlarge a picture over "cover" up to this factor.
    static constexpr double kMaxPictureScale = 4.0;
    // The blur's strength: the Gaussian's sigma as a share of the frame's
    // shorter side, so that it looks the same on the screen and in the file.
    static constexpr double kMaxBlur = 0.05;
    static constexpr double kDefaultBlur = 0.015;

    Kind kind = Kind::colour;
    KSColor colour = KSClear_Color();

    // ---- picture
    QString picturePath; // where it was read from; empty for a pasted picture
    std::shared_ptr<const QImage> picture; // shared and never changed once loaded
    // The picture is first scaled to cover the frame and centred; then moved
    // by this share of the frame's width and height and enlarged by
    // pictureScale (1 = cover) round the frame's centre. Drawing clamps the
    // offset so that the picture always covers the frame.
    QPointF pictureOffset;
    double pictureScale = 1.0;

    // ---- blurred photo
    double blur = kDefaultBlur; // 0 = the backdrop unblurred

    [[nodiscard]] static KSEditBackground ofColour(const KSColor &colour)
    {
        KSEditBackground background;
        background.colour = colour;
        return background;
    }
    // A picture given in memory (pasted, dropped as data): reduced to the
    // limits above. Nothing for a null picture.
    [[nodiscard]] static std::optional<KSEditBackground> ofPicture(QImage image, const QString &path = QString());
    // The picture in a file, read and reduced; nothing, with the reason in
    // English, when it cannot be read. Any thread.
    [[nodiscard]] static std::optional<KSEditBackground> loadPicture(const QString &path, QString *error = nullptr);
    [[nodiscard]] static KSEditBackground ofBlurredPhoto(double blur = kDefaultBlur)
    {
        KSEditBackground background;
        background.kind = Kind::blurredPhoto;
        background.blur = blur;
        return background;
    }

    [[nodiscard]] bool isTransparent() const { return kind == Kind::colour && colour == KSClear_Color(); }
    // Whether every pixel behind the subject ends opaque (a picture or the
    // backdrop always do).
    [[nodiscard]] bool isOpaque() const { return kind != Kind::colour || colour.toQColor().alpha() == 255; }
    // The same background with the placement or the blur kept in range.
    [[nodiscard]] KSEditBackground clamped() const;

    friend bool operator==(const KSEditBackground &a, const KSEditBackground &b)
    {
        if (a.kind != b.kind)
            return false;
        switch (a.kind) {
        case Kind::colour: return a.colour == b.colour;
        case Kind::picture:
            return a.picture == b.picture && a.picturePath == b.picturePath && a.pictureOffset == b.pictureOffset
                && a.pictureScale == b.pictureScale;
        case Kind::blurredPhoto: return a.blur == b.blur;
        }
        return false;
    }
    friend bool operator!=(const KSEditBackground &a, const KSEditBackground &b) { return !(a == b); }
};
