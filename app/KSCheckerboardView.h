#pragma once

#include <QImage>
#include <QWidget>

// A picture with transparency, fitted into the view and centred, on the
// grey and white checkerboard that shows where it is transparent.
class KSCheckerboardView : public QWidget
{
    Q_OBJECT

public:
    explicit KSCheckerboardView(QWidget *parent = nullptr);

    void setImage(const QImage &image);
    QImage image() const { return m_image; }

    // Where a picture of `imageSize` is drawn in `bounds`: as large as fits
    // with its aspect ratio kept, never enlarged, centred.
    [[nodiscard]] static QRectF fittedRect(const QSizeF &imageSize, const QRectF &bounds);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};
