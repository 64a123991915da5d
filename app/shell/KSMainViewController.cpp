#include "KSMainViewController.h"

#include "CommLog.h"
#include "CommUpdate.h"
#include "KSAppSetting.h"
#include "KSColorConst.h"
#include "KSColorView.h"
#include "KSCommonUtils.h"
#include "KSEraserEditView.h"
#include "KSEraseringView.h"
#include "KSFeedbackWindow.h"
#include "KSHomeView.h"
#include "KSLogCategories.h"
#include "KSMainTitleBarView.h"
#include "KSMainWindow.h"
#include "KSNibLoadable.h"
#include "KSNotificationCenter.h"
#include "KSSettingView.h"
#include "KSShareLib.h"
#include "KSUpdateWindow.h"
#include "KSViewAttach.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QGridLayout>
#include <QTimer>

namespace {
// The panel stands this far inside the controller's view.
constexpr int kBackgroundMargin = 12;
} // namespace

KSMainViewController::KSMainViewController(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("KSMainViewController"));
    m_backgroundView = new KSColorView(this);
    m_backgroundView->setObjectName(QStringLiteral("backgroundView"));
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(kBackgroundMargin, kBackgroundMargin, kBackgroundMargin, kBackgroundMargin);
    layout->addWidget(m_backgroundView, 0, 0);
}

KSMainViewController::~KSMainViewController() = default;

void KSMainViewController::awakeFromNib()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    QWidget *firstWindow = window() != this ? window() : (windows.isEmpty() ? nullptr : windows.first());
    KSCommonUtils::initWithCommAppInfo(KSAppSetting::appInfo(), firstWindow);
    KSShareLib::setup();
    // The update and feedback windows are ours; the checks behind them are
    // the common utilities'.
    KSUpdateWindow::installPresenter();
    KSFeedbackWindow::installPresenter();
    CommUpdate::checkSilent();

    if (auto *mainWindow = qobject_cast<KSMainWindow *>(window())) {
        QPointer<KSMainViewController> self(this);
        QPointer<KSMainWindow> weakWindow(mainWindow);
        mainWindow->shouldTerminateClosure = [self, weakWindow] {
            return !self || self->shouldTerminate([weakWindow] {
                if (weakWindow)
                    weakWindow->winButtonActionForClose();
            });
        };
    }
}

bool KSMainViewController::shouldTerminate(std::function<void()> quit)
{
    if (!m_editView || !m_editView->hasUnsavedEdits())
        return true;
    m_editView->askBeforeLeaving(std::move(quit));
    return false;
}

void KSMainViewController::viewDidLoad()
{
    m_backgroundView->setColor(KSRGBHexColor(0xF6F7FB));
    m_backgroundView->setRadius(6.0);

    if (KSHomeView *home = homeView()) {
        KSViewAttach::pinToEdges(home, this);
        QPointer<KSMainViewController> self(this);
        home->photoSelectedClosure = [self](const QString &path, KSEraserType type) {
            if (self)
                self->photoSelected(path, type);
        };
    }

    KSNotificationCenter::defaultCenter()->observe(KSMainTitleBarView::kNotificationShowSettingView, this,
                                                   [this](const QVariant &) {
        qCDebug(lcShell).noquote() << QStringLiteral("展示设置画面");
        // Dropped with the controller, whatever thread posted.
        QTimer::singleShot(0, this, &KSMainViewController::showSettingView);
    });
}

KSHomeView *KSMainViewController::homeView()
{
    if (!m_homeViewTried) {
        m_homeViewTried = true;
        m_homeView = loadViewFromNib<KSHomeView>(this);
    }
    return m_homeView;
}

void KSMainViewController::photoSelected(const QString &path, KSEraserType type)
{
    if (KSHomeView *home = homeView())
        home->hide();
    QPointer<KSMainViewController> self(this);
    KSEraseringView::showEraseringView(this, path, type,
                                       [self, path, type](bool success, const std::optional<QString> &cutout) {
        if (self)
            self->eraseringFinished(success, cutout, path, type);
    });
    CommLog::I(QStringLiteral("path ") + path + QStringLiteral(", type ") + KSEraserTypeRawValue(type));
}

void KSMainViewController::eraseringFinished(bool success, const std::optional<QString> &cutoutPath,
                                             const QString &photoPath, KSEraserType type)
{
    emit eraseringDidFinish(success, cutoutPath.value_or(QString()));
    if (success && cutoutPath && !cutoutPath->isEmpty()) {
        showEditView(photoPath, *cutoutPath, type);
        return;
    }
    if (KSHomeView *home = homeView())
        home->show();
}

void KSMainViewController::showEditView(const QString &photoPath, const QString &cutoutPath, KSEraserType type)
{
    QPointer<KSMainViewController> self(this);
    KSEraserEditView *editor = KSEraserEditView::showEditView(
        this, photoPath, cutoutPath,
        [self, type, cutoutPath](KSEditBackType backType, const std::optional<QString> &path) {
            if (self)
                self->editViewLeft(backType, path, type, cutoutPath);
        });
    m_editView = editor;
    if (editor)
        return;
    // No editor: the cut-out has nowhere to go, and an empty window would
    // leave the user stranded.
    QFile::remove(cutoutPath);
    if (KSHomeView *home = homeView())
        home->show();
}

void KSMainViewController::editViewLeft(KSEditBackType backType, const std::optional<QString> &path,
                                        KSEraserType type, const QString &cutoutPath)
{
    // Gone before the next job can write a cut-out of the same photo under
    // the same name.
    QFile::remove(cutoutPath);
    switch (backType) {
    case KSEditBackType::goHome:
        if (KSHomeView *home = homeView())
            home->show();
        break;
    case KSEditBackType::selelectePhoto:
        if (path && !path->isEmpty()) {
            photoSelected(*path, type);
            break;
        }
        // Without a photo there is no job to show: home rather than nothing.
        if (KSHomeView *home = homeView())
            home->show();
        break;
    case KSEditBackType::save:
        break;
    }
}

void KSMainViewController::showSettingView()
{
    KSSettingView *panel = loadViewFromNib<KSSettingView>();
    if (!panel)
        return;
    KSViewAttach::pinToEdges(panel, this);
}

KSEraserEditView *KSMainViewController::editView() const
{
    return m_editView;
}
