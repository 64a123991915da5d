#include "KSViewAttach.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace {

// Follows the host's size. A child of the pinned view, so it goes with it;
// it watches the host it was made for only.
class EdgePin : public QObject
{
public:
    EdgePin(QWidget *view, QWidget *host)
        : QObject(view), m_view(view), m_host(host)
    {
        host->installEventFilter(this);
    }

    ~EdgePin() override
    {
        if (m_host)
            m_host->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_host && event->type() == QEvent::Resize && m_view && m_view->parentWidget() == m_host)
            m_view->setGeometry(m_host->rect());
        return false;
    }

private:
    QPointer<QWidget> m_view;
    QPointer<QWidget> m_host;
};

} // namespace

void KSViewAttach::pinToEdges(QWidget *view, QWidget *host)
{
    if (!view || !host)
        return;
    for (QObject *child : view->children()) {
        if (auto *old = dynamic_cast<EdgePin *>(child))
            delete old;
    }
    view->setParent(host);
    new EdgePin(view, host);
    view->setGeometry(host->rect());
    view->raise();
    view->show();
}

void KSViewAttach::removeFromSuperview(QWidget *view)
{
    if (!view)
        return;
    view->hide();
    view->setParent(nullptr);
    view->deleteLater();
}
