#include "KSMainViewController.h"

#include "CommLang.h"
#include "CommLog.h"
#include "CommProductInfo.h"
#include "CommUpdate.h"
#include "KSAppSetting.h"
#include "KSBatchIntake.h"
#include "KSBatchView.h"
#include "KSColorConst.h"
#include "KSColorView.h"
#include "KSCommonUtils.h"
#include "KSDropHintView.h"
#include "KSEraserEditView.h"
#include "KSEraseringView.h"
#include "KSFeedbackWindow.h"
#include "KSFileConst.h"
#include "KSHomeView.h"
#include "KSImageWriter.h"
#include "KSLogCategories.h"
#include "KSMainTitleBarView.h"
#include "KSMainWindow.h"
#include "KSNibLoadable.h"
#include "KSNotice.h"
#include "KSNoticeWindow.h"
#include "KSNotificationCenter.h"
#include "KSPhotoPicker.h"
#include "KSRelaunchWindow.h"
#include "KSSavePhotoSuccessView.h"
#include "KSServiceConnection.h"
#include "KSSettingView.h"
#include "KSShareLib.h"
#include "KSShortcutKeys.h"
#include "KSTypeQuestionWindow.h"
#include "KSEraserErrorView.h"
#include "KSUpdateWindow.h"
#include "KSUserDefaultKit.h"
#include "KSViewAttach.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QGridLayout>
#include <QMimeData>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <memory>

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
    // The update, feedback and notice windows are ours; the checks behind
    // them are the common utilities'.
    KSUpdateWindow::installPresenter();
    KSFeedbackWindow::installPresenter();
    KSNoticeWindow::observeNotices(this);
    if (const auto product = CommProductInfo::getInfoWithProductID(KSAppSetting::kProductID,
                                                                   KSAppSetting::appLanguage(), KSAppSetting::appType()))
        CommUpdate::setFeedUrl(QUrl(product->updateFeed));
    // Nothing goes out at start unless the user allowed it.
    if (KSAppSetting::checkUpdatesAtStart())
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
    // A batch's editor keeps its edits with the batch: the batch asks for both.
    if (m_batchView) {
        if (!m_batchView->wouldLoseWork())
            return true;
        m_batchView->askBeforeLeaving(std::move(quit));
        return false;
    }
    KSEraserEditView *editor = editView();
    if (!editor || !editor->hasUnsavedEdits())
        return true;
    editor->askBeforeLeaving(std::move(quit));
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
        home->photoDroppedClosure = [self](const QString &path) {
            if (self)
                self->askTypeThenOpen(path);
        };
        home->photosChosenClosure = [self](const QStringList &paths, std::optional<KSEraserType> type) {
            if (self)
                self->openPhotos(paths, type);
        };
    }
    const auto bind = [this](const QKeySequence &keys, void (KSMainViewController::*action)()) {
        auto *shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    bind(KSShortcutKeys::open(), &KSMainViewController::openPhotoByShortcut);
    bind(KSShortcutKeys::paste(), &KSMainViewController::pastePhoto);

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
    KSUserDefaultKit::saveToUserDefaultsForKey(kLastEraserType, KSEraserTypeRawValue(type));
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
    forgetPastedPhoto(photoPath);
    if (KSHomeView *home = homeView())
        home->show();
}

void KSMainViewController::showEditView(const QString &photoPath, const QString &cutoutPath, KSEraserType type)
{
    QPointer<KSMainViewController> self(this);
    KSEraserEditView *editor = KSEraserEditView::showEditView(
        this, photoPath, cutoutPath,
        [self, type, cutoutPath, photoPath](KSEditBackType backType, const std::optional<QString> &path) {
            if (!self)
                return;
            self->editViewLeft(backType, path, type, cutoutPath);
            if (backType != KSEditBackType::save)
                self->forgetPastedPhoto(photoPath);
        });
    if (editor)
        return;
    forgetPastedPhoto(photoPath);
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
    panel->setFocus(Qt::OtherFocusReason);
    QPointer<KSMainViewController> self(this);
    panel->languageDidChangeClosure = [self] {
        KSRelaunchWindow::offerRelaunch([self] {
            if (self)
                self->relaunch();
        });
    };
}

void KSMainViewController::relaunch()
{
    // Unsaved edits are not lost to a restart: the editor asks first.
    QPointer<KSMainViewController> self(this);
    if (!shouldTerminate([self] {
            if (self)
                self->relaunch();
        }))
        return;
    // The new run starts its own service on the same data folder.
    KSServiceConnection::defaultConnection()->stop();
    if (relaunchClosure)
        relaunchClosure();
}

std::optional<KSEraserType> KSMainViewController::lastEraserType()
{
    return KSEraserTypeFromRawValue(KSUserDefaultKit::getFromUserDefaults_NSString(kLastEraserType));
}

KSEraserEditView *KSMainViewController::editView() const
{
    return findChild<KSEraserEditView *>(QString(), Qt::FindDirectChildrenOnly);
}

bool KSMainViewController::canOpenPhoto() const
{
    // The batch screen takes photos while it shows; its editor does not.
    if (m_batchView)
        return m_batchView->isVisible() && !m_batchView->editView()
               && !findChild<KSSettingView *>(QString(), Qt::FindDirectChildrenOnly);
    // A cut-out under way (or its error screen), and the overlays, keep
    // the screen they cover.
    if (findChild<KSEraseringView *>(QString(), Qt::FindDirectChildrenOnly)
        || findChild<KSSettingView *>(QString(), Qt::FindDirectChildrenOnly)
        || findChild<KSSavePhotoSuccessView *>(QString(), Qt::FindDirectChildrenOnly))
        return false;
    if (KSEraserEditView *editor = editView())
        return !editor->isSaving();
    return m_homeView && m_homeView->isVisible();
}

bool KSMainViewController::openPhoto(const QString &path, std::optional<KSEraserType> type)
{
    // A photo refused before its job holds nothing: the next one replaces it.
    if (!path.isEmpty() && !findChild<KSEraseringView *>(QString(), Qt::FindDirectChildrenOnly))
        if (auto *refused = findChild<KSEraserErrorView *>(QString(), Qt::FindDirectChildrenOnly))
            refused->actionForBack();
    if (path.isEmpty() || !canOpenPhoto())
        return false;
    if (m_batchView)
        return openPhotos({path}, type);
    if (KSEraserEditView *editor = editView()) {
        editor->openAnotherPhoto(path);
        return true;
    }
    // A file that cannot be cut out says so before anything is asked.
    if (const std::optional<KSEraserFailure> problem = KSEraserFailure::checkPhotoFile(path)) {
        showPhotoProblem(path, *problem);
        return true;
    }
    if (!type) {
        askTypeThenOpen(path);
        return true;
    }
    QPointer<KSMainViewController> self(this);
    KSPhotoPicker::whenSignedIn([self, path, type] {
        if (self && self->canOpenPhoto())
            self->photoSelected(path, *type);
    });
    return true;
}

bool KSMainViewController::openPhotos(const QStringList &paths, std::optional<KSEraserType> type)
{
    if (paths.isEmpty())
        return false;
    if (!m_batchView && !KSBatchIntake::wantsBatch(paths))
        return openPhoto(paths.constFirst(), type);
    if (!canOpenPhoto())
        return false;
    QPointer<KSMainViewController> self(this);
    const auto start = [self, paths](std::optional<KSEraserType> chosen, bool subFolders) {
        if (!self || !chosen)
            return;
        // The editor of one photo is left first, as "Open Another Photo" leaves it.
        KSEraserEditView *editor = self->m_batchView ? nullptr : self->editView();
        if (!editor) {
            self->addToBatch(paths, *chosen, subFolders);
            return;
        }
        QPointer<KSEraserEditView> weakEditor(editor);
        editor->askBeforeLeaving([self, weakEditor, paths, chosen, subFolders] {
            if (weakEditor)
                weakEditor->actionForGoHome();
            if (self)
                self->addToBatch(paths, *chosen, subFolders);
        });
    };
    const bool hasFolder = std::any_of(paths.begin(), paths.end(), [](const QString &path) {
        return QFileInfo(path).isDir();
    });
    // A card's type answers the question, unless a folder asks about its sub-folders.
    if (type && !hasFolder) {
        start(type, false);
        return true;
    }
    KSTypeQuestionWindow::askForBatch(paths, start);
    return true;
}

void KSMainViewController::addToBatch(const QStringList &paths, KSEraserType type, bool subFolders)
{
    QPointer<KSMainViewController> self(this);
    KSPhotoPicker::whenSignedIn([self, paths, type, subFolders] {
        if (!self)
            return;
        KSUserDefaultKit::saveToUserDefaultsForKey(kLastEraserType, KSEraserTypeRawValue(type));
        if (!self->m_batchView) {
            if (KSHomeView *home = self->homeView())
                home->hide();
            self->m_batchView = KSBatchView::showBatchView(self);
            self->m_batchView->backClosure = [self] {
                if (self)
                    self->closeBatch();
            };
            CommLog::I(QStringLiteral("batch opened"));
        }
        self->m_batchView->addPaths(paths, type, subFolders);
    });
}

void KSMainViewController::closeBatch()
{
    if (!m_batchView)
        return;
    // The batch cancels its jobs and deletes its cut-outs as it goes.
    KSViewAttach::removeFromSuperview(m_batchView);
    m_batchView = nullptr;
    for (const QString &pasted : QSet<QString>(m_pastedPhotos))
        forgetPastedPhoto(pasted);
    if (KSHomeView *home = homeView())
        home->show();
}

KSBatchView *KSMainViewController::batchView() const
{
    return m_batchView;
}

QString KSMainViewController::dropHintText() const
{
    return CommLang::GetAppLang(m_batchView ? QStringLiteral("BatchDropHint") : QStringLiteral("DropHint"));
}

void KSMainViewController::showPhotoProblem(const QString &path, const KSEraserFailure &problem)
{
    CommLog::I(QStringLiteral("photo refused before its job: %1 (%2)").arg(path, problem.messageKey()));
    if (m_homeView)
        m_homeView->hide();
    QPointer<KSMainViewController> self(this);
    const auto shown = KSEraserErrorView::showErrorView(this, [self, path](bool backToHome) {
        if (!self)
            return;
        if (KSHomeView *home = self->homeView())
            home->show();
        if (backToHome)
            self->forgetPastedPhoto(path);
        else if (!self->openPhoto(path))
            self->forgetPastedPhoto(path);
    }, problem, path);
    if (!shown) {
        if (m_homeView)
            m_homeView->show();
        forgetPastedPhoto(path);
    }
}

void KSMainViewController::askTypeThenOpen(const QString &path)
{
    QPointer<KSMainViewController> self(this);
    KSTypeQuestionWindow::ask(path, [self, path](std::optional<KSEraserType> type) {
        if (!self)
            return;
        if (type)
            self->openPhoto(path, type);
        else
            self->forgetPastedPhoto(path);
    });
}

void KSMainViewController::openPhotoWhenReady(const QString &path)
{
    openPhotosWhenReady({path});
}

void KSMainViewController::openPhotosWhenReady(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    KSServiceConnection *connection = KSServiceConnection::defaultConnection();
    if (connection->state() != KSServiceConnection::State::Starting) {
        openPhotos(paths);
        return;
    }
    // Asking for the type while the built-in service still signs in would
    // show the sign-in window for nothing.
    auto waiting = std::make_shared<QMetaObject::Connection>();
    *waiting = connect(connection, &KSServiceConnection::stateChanged, this, [this, connection, paths, waiting] {
        if (connection->state() == KSServiceConnection::State::Starting)
            return;
        disconnect(*waiting);
        openPhotos(paths);
    });
}

void KSMainViewController::openPhotoByShortcut()
{
    if (!canOpenPhoto())
        return;
    if (m_batchView) {
        QPointer<KSMainViewController> self(this);
        KSPhotoPicker::selectPhotos([self](const QStringList &paths) {
            if (self)
                self->openPhotos(paths);
        });
        return;
    }
    if (KSEraserEditView *editor = editView()) {
        editor->actionForReorderSelectedBtn();
        return;
    }
    if (const std::optional<KSEraserType> type = lastEraserType()) {
        m_homeView->pickPhoto(*type);
        return;
    }
    QPointer<KSMainViewController> self(this);
    KSPhotoPicker::selectPhoto([self](const QString &path) {
        if (self)
            self->askTypeThenOpen(path);
    });
}

void KSMainViewController::pastePhoto()
{
    if (!canOpenPhoto())
        return;
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    // A file copied in a file manager is that file; several are a batch.
    if (const QStringList files = KSDropHintView::droppedFiles(data); !files.isEmpty()) {
        openPhotos(files);
        return;
    }
    const QImage picture = data && data->hasImage() ? qvariant_cast<QImage>(data->imageData()) : QImage();
    if (picture.isNull()) {
        KSNotice::post({CommLang::GetAppLang(QStringLiteral("Tip")),
                        CommLang::GetAppLang(QStringLiteral("ClipboardNoPicture")), {}});
        return;
    }
    // Named for the output it becomes, in the interface's language; written
    // as PNG, which keeps any transparency.
    const QString name = CommLang::GetAppLang(QStringLiteral("PastedPictureName"))
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")))
                         + QStringLiteral(".png");
    const QString path = KSTempAppWithFileName(name);
    const KSImageWriter::Result written = KSImageWriter::writePng(picture, path, 1);
    if (!written.ok) {
        CommLog::E(QStringLiteral("the pasted picture could not be written: ") + written.error);
        KSNotice::post({CommLang::GetAppLang(QStringLiteral("Tip")),
                        CommLang::GetAppLang(QStringLiteral("ErrorCannotWrite")), written.error});
        return;
    }
    m_pastedPhotos.insert(path);
    if (!openPhoto(path))
        forgetPastedPhoto(path);
}

void KSMainViewController::forgetPastedPhoto(const QString &path)
{
    if (m_pastedPhotos.remove(path))
        QFile::remove(path);
}
