#pragma once

#include <QWidget>

class KSHoverButton;

// The window's own minimize, zoom and close buttons, in that order from
// left to right. A click goes to the KSWindow that holds the view (its
// winButtonActionFor... members), or to a plain window's own operations.
class KSWindowButtonView : public QWidget
{
    Q_OBJECT

public:
    explicit KSWindowButtonView(QWidget *parent = nullptr);

    KSHoverButton *closeButton() const { return m_close; }
    KSHoverButton *minimizeButton() const { return m_minimize; }
    KSHoverButton *zoomButton() const { return m_zoom; }

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void actionForClose();
    void actionForMinimize();
    void actionForZoom();
    void updateZoomPictures();

    KSHoverButton *m_minimize = nullptr;
    KSHoverButton *m_zoom = nullptr;
    KSHoverButton *m_close = nullptr;
    QWidget *m_watchedWindow = nullptr;
};
