#pragma once

#include <QColor>
#include <QLabel>

// A title label that can tell how much room its text needs, so that
// callers can size buttons and columns to their titles in any language.
class KSTextField : public QLabel
{
    Q_OBJECT

public:
    explicit KSTextField(QWidget *parent = nullptr);

    // The size the text needs within `bounds`: one line when it fits the
    // bounds' width, else wrapped at that width; never larger than `bounds`.
    // An empty text needs nothing.
    QSize sizeThatFits(const QSize &bounds) const;

    // Drawn in this colour in every window state; an invalid colour leaves
    // the label's palette in charge. (A palette colour set on the label can
    // be lost for inactive windows when the label is re-parented.)
    void setTextColor(const QColor &color);
    QColor textColor() const { return m_textColor; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_textColor;
};
