#pragma once

#include <QColor>
#include <QWidget>

class KSWindowButtonView;

// Base of a frameless window's title bar: a filled bar that carries the
// window's own buttons at its right end. A double click on the bar zooms
// the window; a drag on it moves the window (KSWindow does the moving).
//
// Subclasses lay out their own content. The buttons float at the right
// edge, vertically centred, unless the subclass puts windowControlBtn()
// into its own layout; reservedRightWidth() tells how much room to leave.
class KSWindowTitleBarView : public QWidget
{
    Q_OBJECT

public:
    explicit KSWindowTitleBarView(QWidget *parent = nullptr);

    void setBgColor(const QColor &color);
    QColor bgColor() const { return m_bgColor; }
    // A one-point line along the bottom edge; none unless set.
    void setBottomLineColor(const QColor &color);

    KSWindowButtonView *windowControlBtn() const { return m_windowControlBtn; }
    int reservedRightWidth() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void placeWindowButtons();

    KSWindowButtonView *m_windowControlBtn = nullptr;
    QColor m_bgColor = Qt::white;
    QColor m_bottomLine;
};
