#include "CommLang.h"
#include "CommPassport.h"
#include "KSAppSetting.h"
#include "KSBatch.h"
#include "KSBatchLeaveWindow.h"
#include "KSBatchView.h"
#include "KSDropHintView.h"
#include "KSEraserEditView.h"
#include "KSEraserErrorView.h"
#include "KSEraseringView.h"
#include "KSFileConst.h"
#include "KSHomeTypeSelectedView.h"
#include "KSHomeView.h"
#include "KSHoverButton.h"
#include "KSMainTitleBarView.h"
#include "KSMainViewController.h"
#include "KSNotificationCenter.h"
#include "KSPhotoPicker.h"
#include "KSRelaunchWindow.h"
#include "KSSettingView.h"
#include "KSTypeQuestionWindow.h"
#include "KSUnsavedEditsView.h"
#include "KSUserDefaultKit.h"
#include "NoticeLog.h"
#include "Settle.h"
#include "ShownWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTest>
#include <QUrl>
#include <QUndoCommand>
#include <QUndoStack>
#include <memory>
#include <thread>

namespace {

// The jobs the progress screen starts, kept so that a test plays their
// reports as the job manager would, from a thread of its own.
struct StartedJobs
{
    struct Job
    {
        QString filePath;
        KSEraserType type;
        KSEraseringView::JobReport report;
    };
    QList<Job> jobs;

    void report(bool success, const std::optional<QString> &path, double progress)
    {
        const KSEraseringView::JobReport report = jobs.last().report;
        std::thread([report, success, path, progress] { report(success, path, progress); }).join();
    }
};

// A file dragged from a file manager and dropped at `at`, through the
// events a real drag sends. Whether the target showed a hint during it.
bool dropFile(QWidget *target, const QPoint &at, const QString &path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    auto *hint = target->findChild<KSDropHintView *>(QString(), Qt::FindDirectChildrenOnly);
    const bool hinted = enter.isAccepted() && hint && hint->isVisible();
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return hinted;
}

// Files dragged together and dropped at `at`.
void dropFiles(QWidget *target, const QPoint &at, const QStringList &paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

// The open question for the type of a photo without a card, if any.
KSTypeQuestionWindow *typeQuestion()
{
    return shownWindow<KSTypeQuestionWindow>();
}

} // namespace

// The screen flow of the main window: home -> progress -> error or result ->
// home, and the settings panel over whatever is shown.
class TestMainViewController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pickedPhotoRunsBehindProgressScreen_data();
    void pickedPhotoRunsBehindProgressScreen();
    void backFromErrorScreenShowsHomeOnce();
    void retryFromErrorScreenRunsSamePhotoAgain();
    void finishedCutoutGoesOnWithItsPath();
    void finishedCutoutOpensEditorBesidePhoto();
    void leavingEditorDeletesItsCutout_data();
    void leavingEditorDeletesItsCutout();
    void settingsNotificationLaysPanelOnTop_data();
    void settingsNotificationLaysPanelOnTop();
    void reportAfterControllerHasGoneIsDropped();
    void quittingWithUnsavedEditsAsksFirst_data();
    void quittingWithUnsavedEditsAsksFirst();
    void droppedPhotoTakesTheCardItFallsOn_data();
    void droppedPhotoTakesTheCardItFallsOn();
    void photoWithoutACardAsksForTheType_data();
    void photoWithoutACardAsksForTheType();
    void badPhotoFromOutsideIsToldBeforeTheType_data();
    void badPhotoFromOutsideIsToldBeforeTheType();
    void openShortcutUsesTheLastCardsType();
    void pastedPictureIsDeletedWithItsJob();
    void photoDroppedOnTheEditorOpensInstead();
    void aRunningCutoutTakesNoOtherPhoto();
    void languageChangeOffersARestart_data();
    void languageChangeOffersARestart();
    void severalPhotosOrAFolderOpenTheBatch_data();
    void severalPhotosOrAFolderOpenTheBatch();
    void photosArrivingAtTheBatchJoinIt();
    void leavingTheBatchWithWorkLeftAsksFirst();

private:
    void pickWithCard(KSEraserType type);
    KSEraserEditView *finishInEditor(KSEraserType type, const QString &cutout);

    QTemporaryDir m_dir;
    QString m_photo;
    StartedJobs m_started;
    std::unique_ptr<KSMainViewController> m_controller;
};

void TestMainViewController::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_photo = m_dir.filePath(QStringLiteral("dog.jpg"));
    // Large enough to pass the look a photo from outside gets first.
    QImage photo(32, 24, QImage::Format_RGB32);
    photo.fill(Qt::darkGreen);
    QVERIFY(photo.save(m_photo));
    // Signed in, the picker goes straight to its dialog.
    QVERIFY(CommPassport::signIn(QStringLiteral("token"), QStringLiteral("Ann"), QString()));
}

void TestMainViewController::init()
{
    m_started = {};
    KSEraseringView::setJobStarter([this](const QString &path, KSEraserType type, KSEraseringView::JobReport report,
                                          KSEraseringView::JobFailure) {
        m_started.jobs.append({path, type, std::move(report)});
        return KSEraserManager::JobId(m_started.jobs.size());
    });
    const QString photo = m_photo;
    KSPhotoPicker::setPhotoDialogRunner([photo](QFileDialog &) { return QStringList{photo}; });
    m_controller = std::make_unique<KSMainViewController>();
    m_controller->resize(1080, 519);
    m_controller->show();
    m_controller->viewDidLoad();
}

void TestMainViewController::cleanup()
{
    m_controller.reset();
    for (QWidget *window : QApplication::topLevelWidgets())
        window->close();
    settle();
    KSEraseringView::setJobStarter({});
    KSPhotoPicker::setPhotoDialogRunner({});
}

void TestMainViewController::pickWithCard(KSEraserType type)
{
    KSHomeView *home = m_controller->homeView();
    QVERIFY(home && home->isVisible());
    KSHomeTypeSelectedView *card = type == KSEraserType::person ? home->personBtn() : home->objectBtn();
    QTest::mouseClick(card->button(), Qt::LeftButton);
    QTRY_COMPARE(m_started.jobs.size(), 1);
}

void TestMainViewController::pickedPhotoRunsBehindProgressScreen_data()
{
    QTest::addColumn<KSEraserType>("type");
    QTest::newRow("person card") << KSEraserType::person;
    QTest::newRow("object card") << KSEraserType::object;
}

void TestMainViewController::pickedPhotoRunsBehindProgressScreen()
{
    QFETCH(KSEraserType, type);
    pickWithCard(type);

    QCOMPARE(m_started.jobs.first().filePath, m_photo);
    QCOMPARE(m_started.jobs.first().type, type);
    QVERIFY(m_controller->homeView()->isHidden());
    auto *progress = m_controller->findChild<KSEraseringView *>();
    QVERIFY(progress && progress->isVisible());
    QCOMPARE(progress->geometry(), m_controller->rect());
}

void TestMainViewController::backFromErrorScreenShowsHomeOnce()
{
    QSignalSpy finished(m_controller.get(), &KSMainViewController::eraseringDidFinish);
    pickWithCard(KSEraserType::object);

    m_started.report(false, std::nullopt, 0.05);
    m_started.report(false, std::nullopt, -1.0);
    KSEraserErrorView *error = nullptr;
    QTRY_VERIFY((error = m_controller->findChild<KSEraserErrorView *>()) && error->isVisible());
    QVERIFY(m_controller->homeView()->isHidden());

    QTest::mouseClick(error->backToHomeBtn(), Qt::LeftButton);
    settle();

    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(0).toBool(), false);
    QCOMPARE(finished.first().at(1).toString(), QString());
    QVERIFY(m_controller->homeView()->isVisible());
    QVERIFY(!m_controller->findChild<KSEraseringView *>());
    QVERIFY(!m_controller->findChild<KSEraserErrorView *>());
}

void TestMainViewController::retryFromErrorScreenRunsSamePhotoAgain()
{
    QSignalSpy finished(m_controller.get(), &KSMainViewController::eraseringDidFinish);
    pickWithCard(KSEraserType::person);
    m_started.report(false, std::nullopt, -1.0);
    KSEraserErrorView *error = nullptr;
    QTRY_VERIFY((error = m_controller->findChild<KSEraserErrorView *>()) != nullptr);

    QTest::mouseClick(error->refreshBtn(), Qt::LeftButton);
    settle();

    QCOMPARE(m_started.jobs.size(), 2);
    QCOMPARE(m_started.jobs.last().filePath, m_photo);
    QCOMPARE(m_started.jobs.last().type, KSEraserType::person);
    QVERIFY(m_controller->findChild<KSEraseringView *>()->isVisible());
    QVERIFY(m_controller->homeView()->isHidden());
    QCOMPARE(finished.size(), 0);
}

void TestMainViewController::finishedCutoutGoesOnWithItsPath()
{
    QSignalSpy finished(m_controller.get(), &KSMainViewController::eraseringDidFinish);
    const QString cutout = m_dir.filePath(QStringLiteral("dog-cut.png"));
    QImage picture(8, 6, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QVERIFY(picture.save(cutout));
    pickWithCard(KSEraserType::object);

    m_started.report(false, std::nullopt, 0.7);
    m_started.report(true, cutout, 1.0);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(0).toBool(), true);
    QCOMPARE(finished.first().at(1).toString(), cutout);
    settle();
    QVERIFY(!m_controller->findChild<KSEraseringView *>());
}

KSEraserEditView *TestMainViewController::finishInEditor(KSEraserType type, const QString &cutout)
{
    QImage picture(8, 6, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    picture.setPixelColor(3, 3, Qt::red);
    if (!picture.save(cutout))
        return nullptr;
    pickWithCard(type);
    m_started.report(true, cutout, 1.0);
    if (!QTest::qWaitFor([this] { return m_controller->findChild<KSEraserEditView *>() != nullptr; }, 5000))
        return nullptr;
    settle();
    return m_controller->findChild<KSEraserEditView *>();
}

void TestMainViewController::finishedCutoutOpensEditorBesidePhoto()
{
    const QString cutout = m_dir.filePath(QStringLiteral("dog-cut.png"));
    KSEraserEditView *editor = finishInEditor(KSEraserType::object, cutout);
    QVERIFY(editor);

    QVERIFY(editor->isVisible());
    QCOMPARE(editor->geometry(), m_controller->rect());
    QCOMPARE(editor->originalImagePath(), std::optional<QString>(m_photo));
    QCOMPARE(editor->eraserImagePath(), std::optional<QString>(cutout));
    QVERIFY(m_controller->homeView()->isHidden());
    QVERIFY(QFile::exists(cutout));
}

void TestMainViewController::leavingEditorDeletesItsCutout_data()
{
    QTest::addColumn<KSEraserType>("type");
    QTest::addColumn<bool>("loadAnother");

    QTest::newRow("back to home") << KSEraserType::person << false;
    QTest::newRow("another photo of a person runs a person job") << KSEraserType::person << true;
    QTest::newRow("another photo of an object runs an object job") << KSEraserType::object << true;
}

void TestMainViewController::leavingEditorDeletesItsCutout()
{
    QFETCH(KSEraserType, type);
    QFETCH(bool, loadAnother);

    const QString cutout = m_dir.filePath(QStringLiteral("cat-cut.png"));
    KSEraserEditView *editor = finishInEditor(type, cutout);
    QVERIFY(editor);
    const QString other = m_dir.filePath(QStringLiteral("cat.png"));
    QVERIFY(QImage(8, 6, QImage::Format_RGB32).save(other));
    KSPhotoPicker::setPhotoDialogRunner([other](QFileDialog &) { return QStringList{other}; });

    QTest::mouseClick(loadAnother ? editor->reorderSelectedPhotoBtn() : editor->goHomeBtn(), Qt::LeftButton);
    settle();

    // The editor's cut-out goes at once, whichever way it was left.
    QVERIFY(!QFile::exists(cutout));
    QVERIFY(!m_controller->findChild<KSEraserEditView *>());
    if (!loadAnother) {
        QVERIFY(m_controller->homeView()->isVisible());
        QCOMPARE(m_started.jobs.size(), 1);
        return;
    }
    QVERIFY(m_controller->homeView()->isHidden());
    QCOMPARE(m_started.jobs.size(), 2);
    QCOMPARE(m_started.jobs.last().filePath, other);
    QCOMPARE(m_started.jobs.last().type, type);
    auto *progress = m_controller->findChild<KSEraseringView *>();
    QVERIFY(progress && progress->isVisible());
}

void TestMainViewController::settingsNotificationLaysPanelOnTop_data()
{
    QTest::addColumn<int>("posts");
    QTest::addColumn<bool>("fromWorkerThread");
    QTest::addColumn<bool>("overProgress");

    QTest::newRow("one request over home") << 1 << false << false;
    QTest::newRow("each request adds a panel") << 2 << false << false;
    QTest::newRow("posted from another thread") << 1 << true << false;
    QTest::newRow("over the progress screen") << 1 << false << true;
}

void TestMainViewController::settingsNotificationLaysPanelOnTop()
{
    QFETCH(int, posts);
    QFETCH(bool, fromWorkerThread);
    QFETCH(bool, overProgress);

    if (overProgress)
        pickWithCard(KSEraserType::person);
    for (int i = 0; i < posts; ++i) {
        const auto post = [] {
            KSNotificationCenter::defaultCenter()->post(KSMainTitleBarView::kNotificationShowSettingView);
        };
        if (fromWorkerThread)
            std::thread(post).join();
        else
            post();
    }
    QTRY_COMPARE(m_controller->findChildren<KSSettingView *>().size(), posts);

    KSSettingView *panel = m_controller->findChildren<KSSettingView *>().last();
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->geometry(), m_controller->rect());
    // On top of the screen that was showing.
    QCOMPARE(m_controller->children().last(), panel);
}

void TestMainViewController::reportAfterControllerHasGoneIsDropped()
{
    const QString cutout = m_dir.filePath(QStringLiteral("late-cut.png"));
    QVERIFY(QImage(4, 4, QImage::Format_ARGB32).save(cutout));
    pickWithCard(KSEraserType::person);
    const QWidgetList windowsBefore = QApplication::topLevelWidgets();

    m_controller.reset();
    settle();
    // The job runs on and ends after its screen and the controller have gone.
    m_started.report(false, std::nullopt, 0.5);
    m_started.report(true, cutout, 1.0);
    settle();

    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY(windowsBefore.contains(window) || !window->isVisible());
}

void TestMainViewController::quittingWithUnsavedEditsAsksFirst_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("leave");
    QTest::addColumn<bool>("quits");

    QTest::newRow("nothing to lose: quits at once") << false << false << true;
    QTest::newRow("cancelled: stays") << true << false << false;
    QTest::newRow("edits left: quits") << true << true << true;
}

void TestMainViewController::quittingWithUnsavedEditsAsksFirst()
{
    QFETCH(bool, edited);
    QFETCH(bool, leave);
    QFETCH(bool, quits);

    KSEraserEditView *editor = finishInEditor(KSEraserType::person, m_dir.filePath(QStringLiteral("owl-cut.png")));
    QVERIFY(editor);
    if (edited)
        editor->undoStack()->push(new QUndoCommand(QStringLiteral("an edit")));
    int quitCalls = 0;
    const bool now = m_controller->shouldTerminate([&quitCalls] { ++quitCalls; });
    QCOMPARE(now, !edited);
    if (edited) {
        auto *question = m_controller->findChild<KSUnsavedEditsView *>();
        QVERIFY(question && question->isVisible());
        QTest::mouseClick(leave ? question->discardBtn() : question->cancelBtn(), Qt::LeftButton);
        settle();
    }
    QCOMPARE(quitCalls, edited && quits ? 1 : 0);
    // Asked again after leaving the edits, the answer is yes at once.
    if (edited && quits)
        QVERIFY(m_controller->shouldTerminate([] {}));
    QVERIFY(m_controller->editView());
}

void TestMainViewController::droppedPhotoTakesTheCardItFallsOn_data()
{
    QTest::addColumn<KSEraserType>("type");
    QTest::newRow("on the person card") << KSEraserType::person;
    QTest::newRow("on the object card") << KSEraserType::object;
}

void TestMainViewController::droppedPhotoTakesTheCardItFallsOn()
{
    QFETCH(KSEraserType, type);
    KSHomeView *home = m_controller->homeView();
    KSHomeTypeSelectedView *card = type == KSEraserType::person ? home->personBtn() : home->objectBtn();
    QVERIFY(dropFile(home, card->geometry().center(), m_photo));
    QTRY_COMPARE(m_started.jobs.size(), 1);
    QCOMPARE(m_started.jobs.first().filePath, m_photo);
    QCOMPARE(m_started.jobs.first().type, type);
    QVERIFY(!typeQuestion());
    QVERIFY(!home->dropHintView()->isVisible());
}

void TestMainViewController::photoWithoutACardAsksForTheType_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("answer"); // the question's button
    QTest::newRow("dropped beside the cards, object") << "home" << "objectBtn";
    QTest::newRow("dropped on the window's margin, person") << "window" << "personBtn";
    QTest::newRow("named on the command line, cancelled") << "outside" << "cancelBtn";
}

void TestMainViewController::photoWithoutACardAsksForTheType()
{
    QFETCH(QString, way);
    QFETCH(QString, answer);

    if (way == QLatin1String("home"))
        QVERIFY(dropFile(m_controller->homeView(), QPoint(10, 10), m_photo));
    else if (way == QLatin1String("window"))
        QVERIFY(m_controller->openPhoto(m_photo));
    else
        m_controller->openPhotoWhenReady(m_photo);
    KSTypeQuestionWindow *question = nullptr;
    QTRY_VERIFY((question = typeQuestion()) != nullptr);
    QVERIFY(question->findChild<QLabel *>(QStringLiteral("questionLabel"))->text().contains(QStringLiteral("dog.jpg")));

    QTest::mouseClick(question->findChild<KSHoverButton *>(answer), Qt::LeftButton);
    settle();
    QVERIFY(!typeQuestion());
    if (answer == QLatin1String("cancelBtn")) {
        QVERIFY(m_started.jobs.isEmpty());
        QVERIFY(m_controller->homeView()->isVisible());
        return;
    }
    QTRY_COMPARE(m_started.jobs.size(), 1);
    QCOMPARE(m_started.jobs.first().type, answer == QLatin1String("personBtn") ? KSEraserType::person : KSEraserType::object);
}

void TestMainViewController::badPhotoFromOutsideIsToldBeforeTheType_data()
{
    QTest::addColumn<QString>("name");
    // A folder from outside opens the batch (severalPhotosOrAFolderOpenTheBatch).
    QTest::addColumn<QString>("content"); // "dir" a folder, "none" nothing
    QTest::addColumn<QString>("messageKey");
    const QString longName = QStringLiteral("holiday-") + QString(120, u'x') + QStringLiteral("-end.jpg");
    QTest::newRow("never there") << "nowhere.jpg" << "none" << "ErrorNoSuchFile";
    QTest::newRow("a text file, long name") << longName << "shopping list" << "ErrorNotAPicture";
}

void TestMainViewController::badPhotoFromOutsideIsToldBeforeTheType()
{
    QFETCH(QString, name);
    QFETCH(QString, content);
    QFETCH(QString, messageKey);
    const QString path = m_dir.filePath(name);
    if (content == QLatin1String("dir")) {
        QVERIFY(QDir().mkpath(path));
    } else if (content != QLatin1String("none")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content.toUtf8());
    }

    m_controller->openPhotoWhenReady(path);
    KSEraserErrorView *error = nullptr;
    QTRY_VERIFY((error = m_controller->findChild<KSEraserErrorView *>()) && error->isVisible());
    QVERIFY(!typeQuestion());
    QCOMPARE(error->titleLabel()->text(), CommLang::GetAppLang(messageKey));
    QVERIFY(error->refreshBtn()->isHidden());
    // The screen names the file, the middle of a long name elided.
    const QString shown = error->fileLabel()->text();
    QVERIFY2(shown.contains(name.left(8)) && shown.contains(name.right(8)), qPrintable(shown));
    QCOMPARE(shown.contains(name), name.size() < 40);
    QVERIFY(m_started.jobs.isEmpty());

    error->actionForBack();
    settle();
    QVERIFY(m_controller->homeView()->isVisible());
    QVERIFY(m_started.jobs.isEmpty());

    // A good photo handed over next takes the place of the refusal.
    m_controller->openPhotoWhenReady(path);
    QTRY_VERIFY(m_controller->findChild<KSEraserErrorView *>());
    m_controller->openPhotoWhenReady(m_photo);
    KSTypeQuestionWindow *question = nullptr;
    QTRY_VERIFY((question = typeQuestion()) != nullptr);
    question->choose(KSEraserType::person);
    QTRY_COMPARE(m_started.jobs.size(), 1);
    QCOMPARE(m_started.jobs.first().filePath, m_photo);
}

void TestMainViewController::openShortcutUsesTheLastCardsType()
{
    m_controller->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_controller.get()));
    // No card used yet: the type is asked after the pick.
    KSUserDefaultKit::removeObjectForKey(KSMainViewController::kLastEraserType);
    QTest::keyClick(m_controller.get(), Qt::Key_O, Qt::ControlModifier);
    KSTypeQuestionWindow *question = nullptr;
    QTRY_VERIFY((question = typeQuestion()) != nullptr);
    question->choose(KSEraserType::object);
    QTRY_COMPARE(m_started.jobs.size(), 1);

    // Back home, Ctrl+O goes with the type of the last cut-out.
    m_started.report(false, std::nullopt, -1.0);
    KSEraserErrorView *error = nullptr;
    QTRY_VERIFY((error = m_controller->findChild<KSEraserErrorView *>()) != nullptr);
    error->actionForBack();
    settle();
    // The question window had the focus; the main window has it again.
    m_controller->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_controller.get()));
    QTest::keyClick(m_controller.get(), Qt::Key_O, Qt::ControlModifier);
    QTRY_COMPARE(m_started.jobs.size(), 2);
    QCOMPARE(m_started.jobs.last().type, KSEraserType::object);
    QVERIFY(!typeQuestion());
}

void TestMainViewController::pastedPictureIsDeletedWithItsJob()
{
    // Named in the interface's language, as the output it becomes.
    CommLang::setCurrentLanguage(QStringLiteral("ChineseSimplified"));
    const auto english = qScopeGuard([] { CommLang::setCurrentLanguage(QStringLiteral("English")); });
    m_controller->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_controller.get()));
    QImage picture(64, 48, QImage::Format_ARGB32);
    picture.fill(QColor(200, 30, 30, 128));
    QGuiApplication::clipboard()->setImage(picture);
    QTest::keyClick(m_controller.get(), Qt::Key_V, Qt::ControlModifier);
    KSTypeQuestionWindow *question = nullptr;
    QTRY_VERIFY((question = typeQuestion()) != nullptr);
    question->choose(KSEraserType::person);
    QTRY_COMPARE(m_started.jobs.size(), 1);

    // The pasted picture is a PNG in the temporary folder, transparency kept.
    const QString pasted = m_started.jobs.first().filePath;
    QVERIFY(pasted.startsWith(KSTempAppPathDirector()));
    QVERIFY2(QFileInfo(pasted).fileName().startsWith(QStringLiteral("粘贴的图片 ")), qPrintable(pasted));
    QCOMPARE(qAlpha(QImage(pasted).pixel(5, 5)), 128);
    m_started.report(false, std::nullopt, -1.0);
    KSEraserErrorView *error = nullptr;
    QTRY_VERIFY((error = m_controller->findChild<KSEraserErrorView *>()) != nullptr);
    error->actionForBack();
    settle();
    QVERIFY(!QFile::exists(pasted));

    // A clipboard without a picture says so.
    m_controller->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_controller.get()));
    NoticeLog log;
    QGuiApplication::clipboard()->setText(QStringLiteral("just words"));
    QTest::keyClick(m_controller.get(), Qt::Key_V, Qt::ControlModifier);
    QTRY_COMPARE(log.notices.size(), 1);
    QCOMPARE(m_started.jobs.size(), 1);
}

void TestMainViewController::photoDroppedOnTheEditorOpensInstead()
{
    const QString cutout = m_dir.filePath(QStringLiteral("drop-cut.png"));
    KSEraserEditView *editor = finishInEditor(KSEraserType::object, cutout);
    QVERIFY(editor);
    const QString other = m_dir.filePath(QStringLiteral("cat.png"));
    QVERIFY(QImage(8, 6, QImage::Format_RGB32).save(other));

    QVERIFY(dropFile(editor, editor->rect().center(), other));
    QTRY_COMPARE(m_started.jobs.size(), 2);
    QCOMPARE(m_started.jobs.last().filePath, other);
    QCOMPARE(m_started.jobs.last().type, KSEraserType::object);
    settle();
    QVERIFY(!QFile::exists(cutout));
}

void TestMainViewController::aRunningCutoutTakesNoOtherPhoto()
{
    pickWithCard(KSEraserType::person);
    QVERIFY(!m_controller->canOpenPhoto());
    QVERIFY(!m_controller->openPhoto(m_photo, KSEraserType::object));
    settle();
    QCOMPARE(m_started.jobs.size(), 1);
    QVERIFY(!typeQuestion());
}

void TestMainViewController::languageChangeOffersARestart_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("Restart Now") << "restartBtn";
    QTest::newRow("Later") << "laterBtn";
}

void TestMainViewController::languageChangeOffersARestart()
{
    QFETCH(QString, answer);
    int relaunches = 0;
    m_controller->relaunchClosure = [&relaunches] { ++relaunches; };
    KSAppSetting::setAppLanguage(QStringLiteral("English"));
    m_controller->showSettingView();
    KSSettingView *panel = m_controller->findChild<KSSettingView *>();
    QVERIFY(panel);
    KSAppSetting::setAppLanguage(QStringLiteral("ChineseSimplified"));
    panel->actionForConfirm();
    settle();

    KSRelaunchWindow *offer = nullptr;
    QTRY_VERIFY((offer = shownWindow<KSRelaunchWindow>()) != nullptr);
    QTest::mouseClick(offer->findChild<KSHoverButton *>(answer), Qt::LeftButton);
    settle();
    QCOMPARE(relaunches, answer == QLatin1String("restartBtn") ? 1 : 0);
    KSAppSetting::setAppLanguage(QStringLiteral("English"));
}

void TestMainViewController::severalPhotosOrAFolderOpenTheBatch_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("answer"); // the question's button; empty when none is asked
    QTest::addColumn<bool>("subFolders");
    QTest::addColumn<int>("photos");
    QTest::addColumn<KSEraserType>("type");
    QTest::newRow("two dropped beside the cards") << "home" << "personBtn" << false << 2 << KSEraserType::person;
    QTest::newRow("two dropped on the object card: its type") << "card" << "" << false << 2 << KSEraserType::object;
    QTest::newRow("two chosen in the person card's dialog") << "dialog" << "" << false << 2 << KSEraserType::person;
    QTest::newRow("a folder dropped on the window, flat") << "folder" << "objectBtn" << false << 2 << KSEraserType::object;
    QTest::newRow("a folder with its sub-folders") << "folder" << "objectBtn" << true << 3 << KSEraserType::object;
    QTest::newRow("named from outside") << "outside" << "personBtn" << false << 2 << KSEraserType::person;
    QTest::newRow("pasted as files") << "paste" << "objectBtn" << false << 2 << KSEraserType::object;
    QTest::newRow("the question closed: nothing opens") << "home" << "cancelBtn" << false << 0 << KSEraserType::person;
}

void TestMainViewController::severalPhotosOrAFolderOpenTheBatch()
{
    QFETCH(QString, way);
    QFETCH(QString, answer);
    QFETCH(bool, subFolders);
    QFETCH(int, photos);
    QFETCH(KSEraserType, type);

    const QString folder = m_dir.filePath(QStringLiteral("batch-%1").arg(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/inner")));
    QStringList files;
    for (const QString &name : {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("inner/c.jpg")}) {
        QVERIFY(QFile::copy(m_photo, folder + u'/' + name));
        files << folder + u'/' + name;
    }
    const QStringList two = files.mid(0, 2);
    KSHomeView *home = m_controller->homeView();
    if (way == QLatin1String("home")) {
        dropFiles(home, QPoint(10, 10), two);
    } else if (way == QLatin1String("card")) {
        dropFiles(home, home->objectBtn()->geometry().center(), two);
    } else if (way == QLatin1String("dialog")) {
        KSPhotoPicker::setPhotoDialogRunner([two](QFileDialog &dialog) {
            return dialog.fileMode() == QFileDialog::ExistingFiles ? two : QStringList();
        });
        QTest::mouseClick(home->personBtn()->button(), Qt::LeftButton);
    } else if (way == QLatin1String("folder")) {
        QVERIFY(m_controller->openPhotos({folder}));
    } else if (way == QLatin1String("outside")) {
        m_controller->openPhotosWhenReady(two);
    } else {
        auto *data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(two.at(0)), QUrl::fromLocalFile(two.at(1))});
        QGuiApplication::clipboard()->setMimeData(data);
        m_controller->pastePhoto();
    }
    settle();
    if (!answer.isEmpty()) {
        KSTypeQuestionWindow *question = nullptr;
        QTRY_VERIFY((question = typeQuestion()) != nullptr);
        // The sub-folders are offered for a folder only.
        QCOMPARE(question->subFoldersBox() != nullptr, way == QLatin1String("folder"));
        if (subFolders)
            question->subFoldersBox()->setChecked(true);
        QTest::mouseClick(question->findChild<KSHoverButton *>(answer), Qt::LeftButton);
        settle();
    }
    QVERIFY(!typeQuestion());
    // A batch never goes through the one photo's progress screen.
    QVERIFY(m_started.jobs.isEmpty());
    if (photos == 0) {
        QVERIFY(!m_controller->batchView());
        QVERIFY(home->isVisible());
        return;
    }
    KSBatchView *batch = m_controller->batchView();
    QVERIFY(batch && batch->isVisible());
    QVERIFY(home->isHidden());
    QTRY_COMPARE(batch->batch()->count(), photos);
    for (KSBatchItem::Id id : batch->batch()->ids())
        QCOMPARE(batch->batch()->item(id)->type, type);
}

void TestMainViewController::photosArrivingAtTheBatchJoinIt()
{
    const QString other = m_dir.filePath(QStringLiteral("join-other.jpg"));
    QVERIFY(QFile::copy(m_photo, other));
    QVERIFY(m_controller->openPhotos({m_photo, other}, KSEraserType::person));
    settle();
    KSBatchView *batch = m_controller->batchView();
    QVERIFY(batch);
    QTRY_COMPARE(batch->batch()->count(), 2);

    // One photo more, dropped on the window, joins the batch after the question.
    const QString third = m_dir.filePath(QStringLiteral("join-third.jpg"));
    QVERIFY(QFile::copy(m_photo, third));
    QVERIFY(m_controller->openPhoto(third));
    KSTypeQuestionWindow *question = nullptr;
    QTRY_VERIFY((question = typeQuestion()) != nullptr);
    question->choose(KSEraserType::object);
    QTRY_COMPARE(batch->batch()->count(), 3);
    QVERIFY(m_started.jobs.isEmpty());
    QVERIFY(m_controller->dropHintText() == CommLang::GetAppLang(QStringLiteral("BatchDropHint")));
    // The same photo again is not taken twice; it is listed as skipped.
    QVERIFY(m_controller->openPhotos({m_photo, other}, KSEraserType::person));
    QTRY_COMPARE(batch->skipped().size(), 2);
    QCOMPARE(batch->batch()->count(), 3);
}

void TestMainViewController::leavingTheBatchWithWorkLeftAsksFirst()
{
    const QString other = m_dir.filePath(QStringLiteral("leave-other.jpg"));
    QVERIFY(QFile::copy(m_photo, other));
    QVERIFY(m_controller->openPhotos({m_photo, other}, KSEraserType::person));
    settle();
    KSBatchView *batch = m_controller->batchView();
    QTRY_COMPARE(batch->batch()->count(), 2);
    if (!batch->wouldLoseWork())
        QSKIP("the jobs ended before the question could be asked");

    int quits = 0;
    QVERIFY(!m_controller->shouldTerminate([&quits] { ++quits; }));
    KSBatchLeaveWindow *question = shownWindow<KSBatchLeaveWindow>();
    QVERIFY(question);
    question->answer(false);
    QCOMPARE(quits, 0);
    QVERIFY(m_controller->batchView());

    // Home asks the same; leaving closes the batch and shows home.
    batch->actionForGoHome();
    question = shownWindow<KSBatchLeaveWindow>();
    QVERIFY(question);
    question->answer(true);
    settle();
    QVERIFY(!m_controller->batchView());
    QVERIFY(m_controller->homeView()->isVisible());
    QVERIFY(m_controller->shouldTerminate([] {}));
}

QTEST_MAIN(TestMainViewController)
#include "tst_main_view_controller.moc"
