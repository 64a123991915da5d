#include "KSViewFrame.h"

#include <QWidget>

// A missing view measures as empty, like a message to nil.
int KSViewFrame::width(const QWidget *view)
{
    return view ? view->geometry().width() : 0;
}

int KSViewFrame::height(const QWidget *view)
{
    return view ? view->geometry().height() : 0;
}

QSize KSViewFrame::size(const QWidget *view)
{
    return view ? view->geometry().size() : QSize(0, 0);
}

void KSViewFrame::setWidth(QWidget *view, int width)
{
    if (view)
        setSize(view, QSize(width, view->height()));
}

void KSViewFrame::setHeight(QWidget *view, int height)
{
    if (view)
        setSize(view, QSize(view->width(), height));
}

void KSViewFrame::setSize(QWidget *view, const QSize &size)
{
    if (view)
        view->setGeometry(QRect(view->geometry().topLeft(), size.expandedTo(QSize(0, 0))));
}
