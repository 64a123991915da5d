#include "KSMainWindow.h"

#include "CommLang.h"
#include "KSDropHintView.h"
#include "KSMainTitleBarView.h"
#include "KSMainViewController.h"

#include <QApplication>
#include <QCloseEvent>

KSMainWindow::KSMainWindow(QWidget *parent)
    : KSWindow(parent)
{
    setObjectName(QStringLiteral("KSMainWindow"));
    setWindowTitle(CommLang::GetAppLang(QStringLiteral("MacCutora")));
    // The title bar registers itself with the common utilities together
    // with this window, so it is made with the window as its parent.
    m_titleBar = new KSMainTitleBarView(this);
    setTitleBar(m_titleBar);
    m_viewController = new KSMainViewController;
    setContentView(m_viewController);
    m_viewController->awakeFromNib();
    m_viewController->viewDidLoad();
    // The hint covers the controller's view, where the screens are.
    KSDropHintView::Target drops;
    drops.accepts = [this] { return m_viewController->canOpenPhoto(); };
    drops.area = [this](const QPoint &) {
        return QRect(m_viewController->mapTo(this, QPoint(0, 0)), m_viewController->size());
    };
    drops.text = [this](const QPoint &) { return m_viewController->dropHintText(); };
    drops.droppedAll = [this](const QStringList &paths, const QPoint &) { m_viewController->openPhotos(paths); };
    m_dropHint = KSDropHintView::install(this, std::move(drops));
}

KSMainWindow::~KSMainWindow() = default;

void KSMainWindow::awakeFromNib()
{
    setMovableByWindowBackground(true);
    setMinimumSize(kContentSize);
    resize(kContentSize);
    centerOnScreen();
    show();
    raise();
    activateWindow();
}

void KSMainWindow::winButtonActionForClose()
{
    if (!shouldTerminateClosure || shouldTerminateClosure())
        QApplication::quit();
}

void KSMainWindow::closeEvent(QCloseEvent *event)
{
    if (shouldTerminateClosure && !shouldTerminateClosure()) {
        event->ignore();
        return;
    }
    KSWindow::closeEvent(event);
}
