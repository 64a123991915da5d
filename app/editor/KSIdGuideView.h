#pragma once

#include "KSIdPhotoRule.h"

#include <QSizeF>
#include <QWidget>

// The ID photo guide over a canvas area: the head's oval at the rule's
// middle height and the band where the eye line (or the crown) must lie,
// drawn inside the size frame. Covers its parent (the canvas area) and lets
// the mouse through.
class KSIdGuideView : public QWidget
{
    Q_OBJECT

public:
    explicit KSIdGuideView(QWidget *canvasArea);

    // The frame is the largest rectangle of backgroundSize's proportions
    // centred in the canvas area, as the size frame is.
    void setGuide(const KSIdPhotoRule &rule, const QSizeF &printSizeMm, const QSizeF &backgroundSize);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    KSIdPhotoRule m_rule;
    QSizeF m_printSizeMm;
    QSizeF m_backgroundSize;
};
