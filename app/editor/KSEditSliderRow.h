#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QSlider;

// A labelled slider of the editor's panels: the title and the value's text
// on one line, the slider beneath. Only the user's changes are reported
// (edited()), each with whether the knob is being dragged, so that a drag
// can become one step of the history; showValue() moves the knob silently.
class KSEditSliderRow : public QWidget
{
    Q_OBJECT

public:
    explicit KSEditSliderRow(const QString &title, int minimum, int maximum, QWidget *parent = nullptr);

    // How the value reads, e.g. "35 %"; the plain number without one.
    void setValueText(std::function<QString(int value)> text);

    [[nodiscard]] int value() const;
    // Shows `value` without reporting it: the document changed.
    void showValue(int value);

    [[nodiscard]] bool isDragging() const;
    QSlider *slider() const { return m_slider; }
    QLabel *valueLabel() const { return m_valueLabel; }

signals:
    // The user moved the knob (drag, click on the track, keys, wheel).
    void edited(int value, bool dragging);
    // The user took hold of the knob, and let go of it: the edges of a drag.
    void dragStarted();
    void dragEnded();

private:
    void showValueText();

    QLabel *m_titleLabel;
    QLabel *m_valueLabel;
    QSlider *m_slider;
    std::function<QString(int)> m_valueText;
    bool m_showing = false;
};
