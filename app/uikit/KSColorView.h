#pragma once

#include <QColor>
#include <QWidget>

// A plain panel: a filled, optionally rounded and bordered rectangle that
// other panels build on. Transparent until a colour is set.
class KSColorView : public QWidget
{
    Q_OBJECT

public:
    explicit KSColorView(QWidget *parent = nullptr);

    void setColor(const QColor &color);
    QColor color() const { return m_color; }

    void setRadius(double radius);
    double radius() const { return m_radius; }

    // The border is drawn only while its colour is valid and its width positive.
    void setBorderColor(const QColor &color);
    QColor borderColor() const { return m_borderColor; }
    void setBorderLineWith(double width);
    double borderLineWith() const { return m_borderWidth; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
    QColor m_borderColor;
    double m_radius = 0.0;
    double m_borderWidth = 0.0;
};
