#include "KSTextStyle.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPalette>

QFont KSTextStyle::systemFont(int points, QFont::Weight weight)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(points);
    font.setWeight(weight);
    return font;
}

void KSTextStyle::apply(QLabel *label, const QColor &color, int points, QFont::Weight weight)
{
    if (!label)
        return;
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    label->setPalette(palette);
    label->setFont(systemFont(points, weight));
}
