#pragma once

#include "KSColorView.h"

#include <QString>
#include <optional>

class KSFilppedImageView;

// Shows a picture from a file, reduced for display and fitted, centred,
// into the view; the editor's view of the original photograph.
class KSEditImageShowView : public KSColorView
{
    Q_OBJECT

public:
    // The largest reduced copy shown.
    static constexpr int kMaxShowImageSide = 800;

    explicit KSEditImageShowView(QWidget *parent = nullptr);

    // Loads the picture and shows it; a picture that cannot be read shows
    // nothing (and is logged).
    std::optional<QString> imagePath() const { return m_imagePath; }
    void setImagePath(const std::optional<QString> &path);

    // Created on first use.
    KSFilppedImageView *imageView();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutImage();

    KSFilppedImageView *m_imageView = nullptr;
    std::optional<QString> m_imagePath;
};
