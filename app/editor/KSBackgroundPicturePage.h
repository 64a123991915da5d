#pragma once

#include <QImage>
#include <QList>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class KSEditSliderRow;
class KSHoverButton;
class KSPictureThumbView;
class QFileDialog;
class QLabel;

// The background panel's Picture page: a picture chosen by the file dialog,
// pasted, or taken again from the thumbnails of the last ones chosen; and
// its placement over the frame (zoom, left-right, up-down, reset) while a
// picture is the background. It only reports; what the document holds is
// shown through showPicture() and showPlacement().
class KSBackgroundPicturePage : public QWidget
{
    Q_OBJECT

public:
    // Slider ranges: zoom in percent of the covering size, the shifts in
    // percent of the way to the picture's edge.
    static constexpr int kMinZoom = 100;
    static constexpr int kMaxZoom = 400;
    static constexpr int kShiftRange = 100;

    explicit KSBackgroundPicturePage(QWidget *parent = nullptr);

    // The background picture's file, or none while another kind is shown;
    // marks its thumbnail and enables the placement.
    void showPicture(const std::optional<QString> &path);
    void showPlacement(int zoomPercent, int shiftX, int shiftY);
    // Reads the remembered pictures again and loads their thumbnails.
    void reloadRecent();
    [[nodiscard]] QList<KSPictureThumbView *> recentThumbs() const { return m_thumbs; }

    // Opens the file dialog; a chosen file is reported by pictureChosen().
    void choosePicture();
    // The clipboard's picture: a copied file, or a picture's pixels.
    void pastePicture();

    KSHoverButton *chooseButton() const { return m_chooseButton; }
    KSHoverButton *pasteButton() const { return m_pasteButton; }
    KSHoverButton *resetButton() const { return m_resetButton; }
    KSEditSliderRow *zoomRow() const { return m_zoomRow; }
    KSEditSliderRow *shiftXRow() const { return m_shiftXRow; }
    KSEditSliderRow *shiftYRow() const { return m_shiftYRow; }

    // Runs the open dialog in place of its modal loop and returns the chosen
    // file (empty for cancel), so that a test can answer it; an empty runner
    // restores the real dialog.
    using PictureDialogRunner = std::function<QString(QFileDialog &dialog)>;
    static void setPictureDialogRunner(PictureDialogRunner runner);

signals:
    void pictureChosen(const QString &path);
    // Pixels from the clipboard with no file behind them; a null picture
    // when the clipboard holds no picture at all.
    void picturePasted(const QImage &picture);
    void placementEdited(int zoomPercent, int shiftX, int shiftY, bool dragging);
    void placementReset();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutThumbs();
    void reportPlacement(bool dragging);

    KSHoverButton *m_chooseButton;
    KSHoverButton *m_pasteButton;
    QLabel *m_recentLabel;
    QWidget *m_thumbArea;
    QList<KSPictureThumbView *> m_thumbs;
    QLabel *m_placementLabel;
    KSEditSliderRow *m_zoomRow;
    KSEditSliderRow *m_shiftXRow;
    KSEditSliderRow *m_shiftYRow;
    KSHoverButton *m_resetButton;
    std::optional<QString> m_shownPath;
};
