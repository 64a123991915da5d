#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

// A square thumbnail of a picture file that the user can click: the
// picture cropped to fill it, rounded, with a grey border, or the accent
// border while it is the background. Until its picture is given it shows a
// plain grey square.
class KSPictureThumbView : public QWidget
{
    Q_OBJECT

public:
    explicit KSPictureThumbView(const QString &path, QWidget *parent = nullptr);

    [[nodiscard]] QString path() const { return m_path; }
    void setThumbnail(const QImage &thumbnail);
    [[nodiscard]] bool hasThumbnail() const { return !m_thumbnail.isNull(); }
    void setSelected(bool selected);
    [[nodiscard]] bool isSelected() const { return m_selected; }

signals:
    void clicked(const QString &path);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QString m_path;
    QImage m_thumbnail;
    bool m_selected = false;
    bool m_hovered = false;
};
