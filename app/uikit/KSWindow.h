#pragma once

#include "KSWindowTitleBarView.h"

#include <QColor>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QVBoxLayout;

// A frameless top-level window with its own title bar (whose buttons call
// the winButtonActionFor... members) above one content view. It can be
// resized from its edges and, once setMovableByWindowBackground(true), moved
// by dragging any part of it that does not take the mouse itself.
class KSWindow : public QWidget
{
    Q_OBJECT

public:
    explicit KSWindow(QWidget *parent = nullptr);
    ~KSWindow() override;

    // Both take ownership and replace (and delete) what was there before.
    void setTitleBar(KSWindowTitleBarView *titleBar);
    KSWindowTitleBarView *titleBar() const { return m_titleBar; }
    void setContentView(QWidget *view);
    QWidget *contentView() const { return m_contentView; }

    void setMovableByWindowBackground(bool movable);
    bool isMovableByWindowBackground() const { return m_movable; }

    void setBackgroundColor(const QColor &color);
    // Centres the window on the available area of its screen.
    void centerOnScreen();

    // Close closes the window, minimize minimizes, zoom toggles maximized.
    virtual void winButtonActionForClose();
    virtual void winButtonActionForMinimize();
    virtual void winButtonActionForZoom();

    // The edges a press at `pos` (window coordinates) would resize, or none.
    Qt::Edges resizeEdgesAt(const QPoint &pos) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool handleResizeEvent(QEvent *event);
    void updateFrameMargins();

    QVBoxLayout *m_layout = nullptr;
    QPointer<KSWindowTitleBarView> m_titleBar;
    QPointer<QWidget> m_contentView;
    QColor m_background = Qt::white;
    bool m_movable = false;
    bool m_filterInstalled = false;

    // Dragging the background.
    bool m_movePending = false;
    bool m_moving = false;
    QPoint m_pressGlobal;
    QPoint m_pressWindowPos;

    // Resizing from an edge when the window system cannot do it for us.
    Qt::Edges m_resizeEdges;
    QRect m_resizeStartGeometry;
    QPoint m_resizeStartGlobal;
    bool m_cursorSet = false;
};
