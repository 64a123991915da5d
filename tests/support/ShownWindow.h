#pragma once

#include <QApplication>
#include <QWidget>

// The visible top-level window of type T, if any.
template<typename T>
T *shownWindow()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *typed = qobject_cast<T *>(window); typed && typed->isVisible())
            return typed;
    return nullptr;
}
