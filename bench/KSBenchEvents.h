#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QWidget>
#include <QStringList>
#include <QWindow>

// Events for the widget benchmarks, delivered as the window system would.

// A mouse event to the widget that holds the pointer grab.
inline void sendMouse(QWidget *widget, QEvent::Type type, QPointF pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Waits up to five seconds for the widget's window to be on screen.
inline bool waitForExposure(QWidget *widget)
{
    QElapsedTimer timer;
    timer.start();
    while (!(widget->windowHandle() && widget->windowHandle()->isExposed()) && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return widget->windowHandle() && widget->windowHandle()->isExposed();
}

// The argument after `flag` (for example the folder of --grab), or empty.
inline QString argumentAfter(const QStringList &arguments, const QString &flag)
{
    const qsizetype at = arguments.indexOf(flag);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}
