// The batch screen over a real batch whose jobs run against a scripted
// cut-out service on 127.0.0.1: what the grid's cells do with clicks, the
// keys, the look chosen once, the way into the editor and back, leaving,
// and Export All's outcome.

#include "CommLang.h"
#include "CommPassport.h"
#include "KSBatch.h"
#include "KSBatchCellGeometry.h"
#include "KSBatchExportDoneWindow.h"
#include "KSBatchItemDelegate.h"
#include "KSBatchLeaveWindow.h"
#include "KSBatchLookPanel.h"
#include "KSBatchModel.h"
#include "KSBatchView.h"
#include "KSBackgroundPicturePage.h"
#include "KSColorConst.h"
#include "KSEditBackgroundPanel.h"
#include "KSEditChangeBackgroundView.h"
#include "KSEditChangeSizeView.h"
#include "KSEditDocument.h"
#include "KSEraserEditView.h"
#include "KSHoverButton.h"
#include "KSServiceAddress.h"
#include "KSShadowPage.h"
#include "KSTaskFlow.h"
#include "KSViewSlider.h"
#include "NoticeLog.h"
#include "ScriptedCutoutService.h"
#include "ShownWindow.h"

#include <QDir>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <memory>

using State = KSBatchItem::State;

class TestBatchView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void folderFillsTheGridAndListsWhatItSkipped();
    void retryOnAFailedCellRunsItAgainWithoutSelecting();
    void keysSelectRemoveAndOpen();
    void editorReturnsToTheBatchWithTheEditsKept();
    void lookChosenOnceReachesTheBatch();
    void lookCarriesThePictureAndTheShadowChosen();
    void leavingWithWorkLeftAsksFirst_data();
    void leavingWithWorkLeftAsksFirst();
    void exportAllSaysWhatWasWrittenAndWhere();
    void exportWithNothingDoneSaysSo();

private:
    QString writePhoto(const QString &name, QColor colour = QColor(40, 90, 160));
    // A batch screen of `count` photos, waited for until all are done.
    KSBatchView *batchOfDonePhotos(int count);
    State stateAt(KSBatchView *view, int row) const;
    QRect cellRect(KSBatchView *view, int row) const;

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedCutoutService> m_service;
    std::unique_ptr<QWidget> m_host;
    bool m_failing = false;
};

void TestBatchView::initTestCase()
{
    QVERIFY(m_dir.isValid());
    KSTaskFlow::setPollInterval(std::chrono::milliseconds(50));
}

void TestBatchView::init()
{
    QVERIFY(CommPassport::signIn(QStringLiteral("user-token"), QStringLiteral("Tester"), QString()));
    m_service = std::make_unique<ScriptedCutoutService>();
    QVERIFY(m_service->server.isListening());
    KSServiceAddress::setDefaultServiceURL(m_service->baseUrl());
    m_failing = false;
    m_service->server.script("GET", ScriptedCutoutService::kPollPath, [this](const RecordedRequest &) {
        if (m_failing)
            return ScriptedReply::json(ScriptedCutoutService::envelope({{"status", -1}, {"error", "engine failed"}}));
        return ScriptedReply::json(
            ScriptedCutoutService::envelope({{"status", 2}, {"mask_file_url", m_service->maskUrl()}}));
    });
    m_host = std::make_unique<QWidget>();
    m_host->resize(1100, 720);
    m_host->show();
    KSBatchLookPanel::setFolderDialogRunner({});
}

void TestBatchView::cleanup()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window != m_host.get() && window->isVisible())
            window->close();
    m_host.reset();
    KSBackgroundPicturePage::setPictureDialogRunner({});
    QTest::qWait(0);
    m_service.reset();
    CommPassport::signOut();
}

QString TestBatchView::writePhoto(const QString &name, QColor colour)
{
    QImage photo(64, 48, QImage::Format_RGB32);
    photo.fill(colour);
    const QString path = m_dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return photo.save(path) ? path : QString();
}

KSBatchView *TestBatchView::batchOfDonePhotos(int count)
{
    auto *view = KSBatchView::showBatchView(m_host.get());
    QStringList photos;
    for (int i = 0; i < count; ++i)
        photos << writePhoto(QStringLiteral("done/%1/photo-%2.png").arg(QTest::currentTestFunction()).arg(i));
    view->addPaths(photos, KSEraserType::object, false);
    [&] { QTRY_COMPARE_WITH_TIMEOUT(view->batch()->summary().done, count, 20000); }();
    return view;
}

State TestBatchView::stateAt(KSBatchView *view, int row) const
{
    return State(view->batch()->model()->index(row).data(KSBatchModel::StateRole).toInt());
}

QRect TestBatchView::cellRect(KSBatchView *view, int row) const
{
    return view->gridView()->visualRect(view->batch()->model()->index(row));
}

void TestBatchView::folderFillsTheGridAndListsWhatItSkipped()
{
    const QString folder = m_dir.filePath(QStringLiteral("mixed"));
    writePhoto(QStringLiteral("mixed/b.png"));
    writePhoto(QStringLiteral("mixed/a.png"));
    writePhoto(QStringLiteral("mixed/inner/c.png"));
    QFile text(m_dir.filePath(QStringLiteral("mixed/notes.txt")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a photo");
    text.close();

    KSBatchView *view = KSBatchView::showBatchView(m_host.get());
    view->addPaths({folder}, KSEraserType::person, false);
    QTRY_COMPARE_WITH_TIMEOUT(view->batch()->summary().done, 2, 20000);
    QCOMPARE(view->gridView()->model()->rowCount(), 2);
    QCOMPARE(view->batch()->model()->index(0).data(KSBatchModel::NameRole).toString(), QStringLiteral("a.png"));

    // The text file and the sub-folder are named with their reasons, not dropped.
    QVERIFY(view->skippedBtn()->isVisible());
    // Folded under its header until asked for.
    QVERIFY(!view->skippedList()->isVisible());
    view->skippedBtn()->click();
    QVERIFY(view->skippedList()->isVisible());
    QCOMPARE(view->skippedList()->count(), 2);
    QStringList lines;
    for (int i = 0; i < view->skippedList()->count(); ++i)
        lines << view->skippedList()->item(i)->text();
    QVERIFY2(lines.join(u'|').contains(QStringLiteral("notes.txt")), qPrintable(lines.join(u'|')));
    QVERIFY(lines.join(u'|').contains(QStringLiteral("inner")));
    for (const QString &line : lines)
        QVERIFY2(line.contains(QStringLiteral(" — ")) && !line.endsWith(QStringLiteral(" — ")), qPrintable(line));
    QVERIFY(view->summaryLabel()->text().contains(QStringLiteral("2")));
    QCOMPARE(view->batchProgressBar()->progress(), 1.0);
    QVERIFY(!view->cancelAllBtn()->isEnabled());
}

void TestBatchView::retryOnAFailedCellRunsItAgainWithoutSelecting()
{
    m_failing = true;
    KSBatchView *view = KSBatchView::showBatchView(m_host.get());
    view->addPaths({writePhoto(QStringLiteral("retry/one.png")), writePhoto(QStringLiteral("retry/two.png"))},
                   KSEraserType::object, false);
    QTRY_COMPARE_WITH_TIMEOUT(view->batch()->summary().failed, 2, 20000);
    QVERIFY(view->batch()->model()->index(0).data(KSBatchModel::CanRetryRole).toBool());
    QVERIFY(!KSBatchItemDelegate::stateText(view->batch()->model()->index(0)).isEmpty());
    view->gridView()->clearSelection();

    m_failing = false;
    const QRect cell = cellRect(view, 1).adjusted(3, 3, -3, -3);
    QTest::mouseClick(view->gridView()->viewport(), Qt::LeftButton, {}, KSBatchCellGeometry::buttonRect(cell).center());
    QVERIFY(stateAt(view, 1) != State::failed);
    // The button is not the cell: nothing got selected by it.
    QVERIFY(view->selectedIds().isEmpty());
    QCOMPARE(stateAt(view, 0), State::failed);
    QTRY_COMPARE_WITH_TIMEOUT(stateAt(view, 1), State::done, 20000);

    // Elsewhere on the cell a click selects it; the retry button of the
    // selection retries it.
    QTest::mouseClick(view->gridView()->viewport(), Qt::LeftButton, {}, cellRect(view, 0).topLeft() + QPoint(12, 12));
    QCOMPARE(view->selectedIds(), QList<KSBatchItem::Id>{view->batch()->idAt(0)});
    QVERIFY(view->retryBtn()->isEnabled());
    view->retryBtn()->click();
    QTRY_COMPARE_WITH_TIMEOUT(stateAt(view, 0), State::done, 20000);
}

void TestBatchView::keysSelectRemoveAndOpen()
{
    KSBatchView *view = batchOfDonePhotos(3);
    view->gridView()->setFocus();
    QTest::keyClick(view->gridView(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view->selectedIds().size(), 3);

    // Delete removes what is selected; the photo after it becomes current.
    view->gridView()->selectionModel()->setCurrentIndex(view->batch()->model()->index(1),
                                                        QItemSelectionModel::ClearAndSelect);
    const KSBatchItem::Id third = view->batch()->idAt(2);
    QTest::keyClick(view->gridView(), Qt::Key_Delete);
    QCOMPARE(view->batch()->count(), 2);
    QCOMPARE(view->batch()->model()->idAt(view->gridView()->currentIndex()), third);

    // Enter opens the current photo in the editor, over the batch screen.
    QTest::keyClick(view->gridView(), Qt::Key_Return);
    QVERIFY(view->editView());
    QCOMPARE(view->editedId(), third);
    QVERIFY(!view->isVisible());
    QVERIFY(view->editView()->editsForBatch());
    QVERIFY(!view->editView()->reorderSelectedPhotoBtn()->isVisible());
}

void TestBatchView::editorReturnsToTheBatchWithTheEditsKept()
{
    KSBatchView *view = batchOfDonePhotos(2);
    const KSBatchItem::Id id = view->batch()->idAt(1);
    const QString cutout = view->batch()->item(id)->cutoutPath;
    QVERIFY(QFile::exists(cutout));
    view->openInEditor(id);
    KSEraserEditView *editor = view->editView();
    QVERIFY(editor);
    KSEditDocument *document = editor->document();
    QCOMPARE(document, view->batch()->existingDocument(id));
    document->chooseBackground(KSEditBackground::ofColour(KSRGBHexColor(0xFF0000)));
    QVERIFY(editor->undoStack()->canUndo());
    // The edits are the batch's: leaving does not ask.
    QVERIFY(!editor->hasUnsavedEdits());

    QSignalSpy changed(view->batch(), &KSBatch::itemChanged);
    editor->actionForGoHome();
    QTRY_VERIFY(!view->editView());
    QVERIFY(view->isVisible());
    QCOMPARE(view->editedId(), KSBatchItem::Id(0));
    QCOMPARE(view->gridView()->currentIndex().row(), 1);
    // The document, its history and the cut-out stay with the photo.
    QCOMPARE(view->batch()->existingDocument(id), document);
    QCOMPARE(document->undoStack()->count(), 1);
    QCOMPARE(document->background().colour, KSColor(KSRGBHexColor(0xFF0000)));
    QTRY_VERIFY(view->batch()->item(id)->hasOwnEdits);
    QTRY_VERIFY(!changed.isEmpty());
    QTest::qWait(1200);
    QVERIFY(QFile::exists(cutout));

    // Opened again, it is the same document with the same history.
    view->openInEditor(id);
    QVERIFY(view->editView());
    QCOMPARE(view->editView()->document(), document);
    QCOMPARE(view->editView()->undoStack()->count(), 1);
}

void TestBatchView::lookChosenOnceReachesTheBatch()
{
    KSBatchView *view = batchOfDonePhotos(1);
    KSBatchLookPanel *panel = view->lookPanel();

    panel->actionForBackground();
    KSEditChangeBackgroundView *colours = panel->colourPanel();
    QVERIFY(colours && colours->isVisible());
    int white = -1;
    for (int i = 0; i < colours->numberOfItems(); ++i)
        if (colours->dataArray().at(i).hex == 0xFFFFFF)
            white = i;
    QVERIFY(white >= 0);
    colours->chooseItemAtIndex(white);
    QCOMPARE(view->batch()->look().background.colour, KSColor(KSRGBHexColor(0xFFFFFF)));
    QCOMPARE(panel->backgroundBtn()->title(), colours->dataArray().at(white).title);

    panel->actionForSize();
    KSEditChangeSizeView *sizes = panel->sizePanel();
    QVERIFY(sizes && sizes->isVisible());
    QVERIFY(!panel->colourPanel());
    QVERIFY(sizes->choosePreset(QStringLiteral("1000x1000px")));
    QCOMPARE(view->batch()->look().preset.key, QStringLiteral("1000x1000px"));
    QCOMPARE(view->batch()->look().preset.width, 1000);
    QCOMPARE(view->batch()->look().fitMode, KSFitMode::subject);

    panel->chooseFormat(QStringLiteral("png"));
    QCOMPARE(view->batch()->look().format, QStringLiteral("png"));
    QVERIFY(panel->pngBtn()->isSelected() && !panel->jpgBtn()->isSelected());

    KSBatchLookPanel::setFolderDialogRunner([this](const QString &) { return m_dir.filePath(QStringLiteral("out")); });
    panel->actionForFolder();
    QCOMPARE(view->batch()->look().folder, m_dir.filePath(QStringLiteral("out")));
    // A cancelled folder dialog changes nothing.
    KSBatchLookPanel::setFolderDialogRunner([](const QString &) { return QString(); });
    panel->actionForFolder();
    QCOMPARE(view->batch()->look().folder, m_dir.filePath(QStringLiteral("out")));

    // A photo opened now starts from the look.
    view->openInEditor(view->batch()->idAt(0));
    QVERIFY(view->editView());
    QCOMPARE(view->editView()->document()->background().colour, KSColor(KSRGBHexColor(0xFFFFFF)));
    QCOMPARE(view->editView()->document()->framing().presetKey(), QStringLiteral("1000x1000px"));
}

void TestBatchView::lookCarriesThePictureAndTheShadowChosen()
{
    KSBatchView *view = batchOfDonePhotos(1);
    KSBatchLookPanel *panel = view->lookPanel();
    panel->actionForBackground();
    KSEditBackgroundPanel *backgrounds = panel->backgroundPanel();
    QVERIFY(backgrounds && backgrounds->isVisible());

    backgrounds->showPage(KSEditBackgroundPanel::Page::shadow);
    QTest::mouseClick(backgrounds->shadowPage()->kindButton(KSEditShadow::Kind::contact), Qt::LeftButton);
    QCOMPARE(view->batch()->look().shadow.kind, KSEditShadow::Kind::contact);

    QImage picture(120, 80, QImage::Format_RGB32);
    picture.fill(QColor(200, 120, 40));
    const QString path = m_dir.filePath(QStringLiteral("look picture.png"));
    QVERIFY(picture.save(path));
    KSBackgroundPicturePage::setPictureDialogRunner([path](QFileDialog &) { return path; });
    QSignalSpy loaded(backgrounds, &KSEditBackgroundPanel::pictureLoaded);
    backgrounds->showPage(KSEditBackgroundPanel::Page::picture);
    QTest::mouseClick(backgrounds->picturePage()->chooseButton(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 10000);
    QVERIFY(loaded.at(0).at(1).toBool());
    const KSBatchLook look = view->batch()->look();
    QCOMPARE(look.background.kind, KSEditBackground::Kind::picture);
    QCOMPARE(look.background.picturePath, path);
    // The picture leaves the shadow chosen before it.
    QCOMPARE(look.shadow.kind, KSEditShadow::Kind::contact);
    QCOMPARE(panel->look(), look);
    QVERIFY(panel->backgroundBtn()->title().contains(CommLang::GetAppLang(QStringLiteral("ShadowContact"))));

    // Opened again, the panel shows the look, not a fresh start.
    panel->closeOpenPanel();
    panel->actionForBackground();
    QCOMPARE(panel->backgroundPanel()->currentPage(), KSEditBackgroundPanel::Page::picture);
    QCOMPARE(panel->lookDocument()->shadow(), look.shadow);
    QCOMPARE(view->batch()->look(), look);

    // A photo opened now starts from it, with nothing to undo.
    view->openInEditor(view->batch()->idAt(0));
    QVERIFY(view->editView());
    KSEditDocument *document = view->editView()->document();
    QCOMPARE(document->background(), look.background);
    QCOMPARE(document->shadow(), look.shadow);
    QCOMPARE(document->undoStack()->count(), 0);
}

void TestBatchView::leavingWithWorkLeftAsksFirst_data()
{
    QTest::addColumn<bool>("exportFirst");
    QTest::addColumn<bool>("agree");
    QTest::newRow("done photos not exported, the user stays") << false << false;
    QTest::newRow("done photos not exported, the user leaves") << false << true;
    QTest::newRow("everything exported: no question") << true << false;
}

void TestBatchView::leavingWithWorkLeftAsksFirst()
{
    QFETCH(bool, exportFirst);
    QFETCH(bool, agree);
    KSBatchView *view = batchOfDonePhotos(1);
    int left = 0;
    view->backClosure = [&left] { ++left; };
    if (exportFirst) {
        KSBatchLook look = view->batch()->look();
        look.folder = m_dir.filePath(QStringLiteral("leave-out"));
        QDir().mkpath(look.folder);
        view->lookPanel()->setLook(look);
        view->batch()->setLook(look);
        QSignalSpy done(view, &KSBatchView::exportDidFinish);
        view->exportAll();
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 20000);
        if (auto *outcome = shownWindow<KSBatchExportDoneWindow>())
            outcome->close();
    }

    view->actionForGoHome();
    auto *question = shownWindow<KSBatchLeaveWindow>();
    if (exportFirst) {
        QVERIFY(!question);
        QCOMPARE(left, 1);
        return;
    }
    QVERIFY(question);
    QCOMPARE(left, 0);
    question->answer(agree);
    QCOMPARE(left, agree ? 1 : 0);
}

void TestBatchView::exportAllSaysWhatWasWrittenAndWhere()
{
    m_failing = false;
    KSBatchView *view = batchOfDonePhotos(2);
    // One more photo that fails: it is counted, not written.
    m_failing = true;
    view->addPaths({writePhoto(QStringLiteral("export/bad.png"))}, KSEraserType::object, false);
    QTRY_COMPARE_WITH_TIMEOUT(view->batch()->summary().failed, 1, 20000);

    const QString folder = m_dir.filePath(QStringLiteral("export-out"));
    QDir().mkpath(folder);
    KSBatchLookPanel::setFolderDialogRunner([folder](const QString &) { return folder; });
    view->lookPanel()->actionForFolder();
    QSignalSpy done(view, &KSBatchView::exportDidFinish);
    view->exportAll();
    QVERIFY(view->exportProgressBar()->isVisible());
    // No leaving and no look changes while it writes.
    QVERIFY(!view->goHomeBtn()->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 20000);
    QVERIFY(!view->exportProgressBar()->isVisible());
    QVERIFY(view->goHomeBtn()->isEnabled());

    const auto result = done.first().first().value<KSBatchExport::Result>();
    QCOMPARE(result.written.size(), 2);
    QCOMPARE(result.skipped, 1);
    for (const QString &file : result.written)
        QVERIFY2(QFileInfo(file).absolutePath() == folder && QFile::exists(file), qPrintable(file));

    auto *outcome = shownWindow<KSBatchExportDoneWindow>();
    QVERIFY(outcome);
    const QString message = outcome->findChild<QLabel *>(QStringLiteral("messageLabel"))->text().remove(QChar(0x200B));
    QVERIFY2(message.contains(QStringLiteral("2")) && message.contains(QDir::toNativeSeparators(folder))
                 && message.contains(QStringLiteral("1")),
             qPrintable(message));
    QVERIFY(outcome->findChild<KSHoverButton *>(QStringLiteral("showInFolderBtn")));
    // Exported photos leave nothing to lose but the failed one.
    QVERIFY(!view->batch()->hasUnsavedWork());
}

void TestBatchView::exportWithNothingDoneSaysSo()
{
    m_failing = true;
    KSBatchView *view = KSBatchView::showBatchView(m_host.get());
    view->addPaths({writePhoto(QStringLiteral("nothing/a.png"))}, KSEraserType::object, false);
    QTRY_COMPARE_WITH_TIMEOUT(view->batch()->summary().failed, 1, 20000);
    NoticeLog notices;
    view->exportAll();
    QVERIFY(!view->batchExport()->isRunning());
    QCOMPARE(notices.notices.size(), 1);
    QCOMPARE(notices.notices.first().message, CommLang::GetAppLang(QStringLiteral("BatchNothingDone")));
}

QTEST_MAIN(TestBatchView)
#include "tst_batchview.moc"
