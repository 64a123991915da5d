#pragma once

#include <QSize>

class QWidget;

// Frame sizes of a view in points, and setters that keep its top-left
// corner, for code that sizes views one dimension at a time.
class KSViewFrame
{
public:
    [[nodiscard]] static int width(const QWidget *view);
    [[nodiscard]] static int height(const QWidget *view);
    [[nodiscard]] static QSize size(const QWidget *view);

    static void setWidth(QWidget *view, int width);
    static void setHeight(QWidget *view, int height);
    static void setSize(QWidget *view, const QSize &size);
};
