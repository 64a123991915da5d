#pragma once

#include <QWidget>

// A plain view whose origin is the top-left corner. Qt's widgets already
// measure from there; the class names the editor's centre area, which
// holds the picture views.
class KSFlippedView : public QWidget
{
public:
    using QWidget::QWidget;
};
