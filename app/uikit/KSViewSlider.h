#pragma once

#include <QColor>
#include <QWidget>

// A horizontal progress bar: a track of `lineWith` points, vertically
// centred, filled from the left by `progress` (0..1) in the progress colour.
class KSViewSlider : public QWidget
{
    Q_OBJECT

public:
    explicit KSViewSlider(QWidget *parent = nullptr);

    // Values outside 0..1 (a job's -1.0 failure report, rounding above 1)
    // and NaN are clamped, so the bar never draws outside its track.
    void setProgress(double progress);
    double progress() const { return m_progress; }

    void setProgressColor(const QColor &color);
    QColor progressColor() const { return m_progressColor; }
    // The track behind the progress; transparent until set.
    void setBackgroundColor(const QColor &color);
    QColor backgroundColor() const { return m_trackColor; }

    // Round ends make both the track and the filled part pill-shaped.
    void setRound(bool round);
    bool isRound() const { return m_round; }
    void setLineWith(double width);
    double lineWith() const { return m_lineWidth; }
    // Corner radius used when the ends are not round.
    void setRadius(double radius);
    double radius() const { return m_radius; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double cornerRadius(double height) const;

    double m_progress = 0.0;
    QColor m_progressColor;
    QColor m_trackColor;
    bool m_round = false;
    double m_lineWidth = 4.0;
    double m_radius = 0.0;
};
