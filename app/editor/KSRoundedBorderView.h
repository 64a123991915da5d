#pragma once

#include <QColor>
#include <QWidget>

// The rounded 1-point border of a canvas, drawn above everything the canvas
// holds (as a layer border is), so that a canvas area reaching the edge does
// not hide it. Lies over its parent, follows its size and takes no mouse
// events.
class KSRoundedBorderView : public QWidget
{
    Q_OBJECT

public:
    KSRoundedBorderView(QWidget *parent, const QColor &color, double radius);

    // Keeps the view covering its parent and above its siblings.
    void cover();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
    double m_radius;
};
