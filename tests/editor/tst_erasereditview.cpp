#include "CommLang.h"
#include "CommPassport.h"
#include "EditorFixture.h"
#include "EditTestOutput.h"
#include "KSAppSetting.h"
#include "KSColorConst.h"
#include "KSEditChangeBackgroundView.h"
#include "KSEditChangeSizeView.h"
#include "KSEditGeometry.h"
#include "KSEditImageShowView.h"
#include "KSEditResultView.h"
#include "KSEditTempCleaner.h"
#include "KSEidtCutImageView.h"
#include "KSEraserEditView.h"
#include "KSFilppedImageView.h"
#include "KSFlippedView.h"
#include "KSHoverButton.h"
#include "KSImageDragView.h"
#include "KSPhotoPicker.h"
#include "KSSavePhotoSuccessView.h"
#include "KSViewportGeometry.h"
#include "NoticeLog.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <memory>

namespace {

using Mode = KSEraserEditView::Mode;

struct BackReport
{
    KSEditBackType type;
    std::optional<QString> path;
};

// A cut-out whose subject is a rectangle, red on its left half and blue on
// its right half, so that a mirrored save can be told from a plain one.
QImage cutoutPicture()
{
    QImage picture(240, 160, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int y = 40; y < 120; ++y) {
        for (int x = 60; x < 180; ++x)
            picture.setPixelColor(x, y, x < 120 ? QColor(Qt::red) : QColor(Qt::blue));
    }
    return picture;
}

void press(KSHoverButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

// The editor screen: its three modes, how the chosen colour and size reach
// the canvases, saving through the overlay, and the two ways out with the
// clean-up of the files it owns.
class TestEraserEditView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void toolButtonsSwitchModes_data();
    void toolButtonsSwitchModes();
    void chosenColourReachesBothCanvases();
    void chosenSizeShowsResultCanvasInCompareLayout_data();
    void chosenSizeShowsResultCanvasInCompareLayout();
    void subjectMovedOnEitherCanvasKeepsItsPlace();
    void saveReportsThroughOverlay_data();
    void saveReportsThroughOverlay();
    void mirroredSubjectIsSavedMirrored_data();
    void mirroredSubjectIsSavedMirrored();
    void goingHomeDeletesTempFilesASecondLater_data();
    void goingHomeDeletesTempFilesASecondLater();
    void loadingAnotherPhotoReportsItsPath_data();
    void loadingAnotherPhotoReportsItsPath();
    void keysSaveCopyAndClosePanels_data();
    void keysSaveCopyAndClosePanels();
    void saveAsWritesWhereTheUserChose_data();
    void saveAsWritesWhereTheUserChose();

private:
    void chooseSize(double width, double height);
    QImage saveAndRead();

    QTemporaryDir m_dir;
    QString m_photo;
    QString m_cutout;
    QString m_outputDir;
    std::unique_ptr<QWidget> m_host;
    QPointer<KSEraserEditView> m_editor;
    QList<BackReport> m_reports;
};

void TestEraserEditView::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_photo = m_dir.filePath(QStringLiteral("photo.jpg"));
    QImage photo(240, 160, QImage::Format_RGB32);
    photo.fill(Qt::darkGreen);
    QVERIFY(photo.save(m_photo));
    // The photo picker asks for sign-in first otherwise.
    QVERIFY(CommPassport::signIn(QStringLiteral("token"), QStringLiteral("Ann"), QString()));
}

void TestEraserEditView::init()
{
    m_cutout = m_dir.filePath(QStringLiteral("beach.png"));
    QVERIFY(cutoutPicture().save(m_cutout));
    m_outputDir = freshOutputDirectory(m_dir);
    QVERIFY(!m_outputDir.isEmpty());

    m_reports.clear();
    m_editor = openEditorOver(m_host, QSize(1056, 500), m_photo, m_cutout,
                              [this](KSEditBackType type, const std::optional<QString> &path) {
        m_reports.append({type, path});
    });
    QVERIFY(m_editor);
    QVERIFY(m_editor->cutImageEditView()->imageSize().has_value());
}

void TestEraserEditView::cleanup()
{
    closeEditorHost(m_host);
    KSPhotoPicker::setPhotoDialogRunner({});
    KSEraserEditView::setSaveDialogRunner({});
}

void TestEraserEditView::chooseSize(double width, double height)
{
    press(m_editor->changeSizeBtn());
    QVERIFY(m_editor->letSizeSettingView());
    m_editor->letSizeSettingView()->returnClosure(width, height);
    press(m_editor->changeSizeBtn());
}

QImage TestEraserEditView::saveAndRead()
{
    QSignalSpy finished(m_editor.data(), &KSEraserEditView::saveDidFinish);
    press(m_editor->savePhotoBtn());
    if (!finished.wait(10000))
        return {};
    return QImage(finished.first().at(0).toString());
}

void TestEraserEditView::toolButtonsSwitchModes_data()
{
    QTest::addColumn<QStringList>("presses");
    QTest::addColumn<Mode>("mode");

    QTest::newRow("colour button opens the colour panel") << QStringList{"bg"} << Mode::colourPanel;
    QTest::newRow("second press of the colour button returns to compare") << QStringList{"bg", "bg"} << Mode::compare;
    QTest::newRow("size button opens the size panel") << QStringList{"size"} << Mode::sizePanel;
    QTest::newRow("size panel replaces the colour panel") << QStringList{"bg", "size"} << Mode::sizePanel;
    QTest::newRow("colour panel replaces the size panel") << QStringList{"size", "bg"} << Mode::colourPanel;
    QTest::newRow("second press of the size button returns to compare") << QStringList{"size", "size"} << Mode::compare;
}

void TestEraserEditView::toolButtonsSwitchModes()
{
    QFETCH(QStringList, presses);
    QFETCH(Mode, mode);

    for (const QString &button : presses)
        press(button == QLatin1String("bg") ? m_editor->changeBgBtn() : m_editor->changeSizeBtn());
    settle();

    QCOMPARE(m_editor->mode(), mode);
    QCOMPARE(m_editor->changeBgBtn()->isSelected(), mode == Mode::colourPanel);
    QCOMPARE(m_editor->changeSizeBtn()->isSelected(), mode == Mode::sizePanel);
    KSEidtCutImageView *crop = m_editor->cutImageEditView();
    const KSChangeType changeType = mode == Mode::colourPanel ? KSChangeType::background
                                    : mode == Mode::sizePanel ? KSChangeType::size
                                                              : KSChangeType::none;
    QCOMPARE(crop->changeType(), changeType);
    // The subject can be dragged in the size mode only.
    QCOMPARE(crop->imageDragView()->isCanDrag(), mode == Mode::sizePanel);

    const bool compare = mode == Mode::compare;
    QCOMPARE(m_editor->originalImageEditView()->isVisible(), compare);
    QCOMPARE(m_editor->originalLabel()->isVisible(), compare);
    // The previews grow with the centre area, from 430 x 400 and 600 x 400.
    const QSize centre = m_editor->editCenterView()->size();
    QCOMPARE(crop->size(), compare ? KSViewportGeometry::compareViewSize(centre, QSize(430, 400))
                                   : KSViewportGeometry::panelViewSize(centre, QSize(600, 400)));

    // The panel host holds the open panel only.
    KSEditChangeBackgroundView *colourPanel = m_editor->changeBackgroundView();
    KSEditChangeSizeView *sizePanel = m_editor->letSizeSettingView();
    QCOMPARE(colourPanel && colourPanel->isVisible(), mode == Mode::colourPanel);
    QCOMPARE(sizePanel && sizePanel->isVisible(), mode == Mode::sizePanel);
    const int hostWidth = m_editor->leftSubSettingView()->width();
    QCOMPARE(hostWidth, mode == Mode::colourPanel ? KSEraserEditView::kColourPanelWidth
                        : mode == Mode::sizePanel ? sizePanel->calculativeWidth()
                                                  : 0);
}

void TestEraserEditView::chosenColourReachesBothCanvases()
{
    chooseSize(800, 800);
    QVERIFY(m_editor->resultView());

    press(m_editor->changeBgBtn());
    KSEditChangeBackgroundView *panel = m_editor->changeBackgroundView();
    QVERIFY(panel);
    // No colour yet: the transparent cell is marked.
    QCOMPARE(panel->selectedIndex(), 0);
    panel->chooseItemAtIndex(1);
    QCOMPARE(m_editor->cutImageEditView()->changeBackgroundColor(), KSRGBHexColor(0xFF0000));
    QVERIFY(m_editor->resultView());
    QCOMPARE(m_editor->resultView()->changeBackgroundColor(), KSRGBHexColor(0xFF0000));

    // A new panel marks the colour the subject has now.
    press(m_editor->changeBgBtn());
    press(m_editor->changeBgBtn());
    QVERIFY(m_editor->changeBackgroundView() && m_editor->changeBackgroundView() != panel);
    QCOMPARE(m_editor->changeBackgroundView()->selectedIndex(), 1);
}

void TestEraserEditView::chosenSizeShowsResultCanvasInCompareLayout_data()
{
    QTest::addColumn<QSizeF>("size");
    QTest::addColumn<bool>("canvas");

    QTest::newRow("a preset size puts the result canvas in the crop view's place") << QSizeF(295, 413) << true;
    // The regular preset reports the source size.
    QTest::newRow("the source size keeps the crop view") << QSizeF(0, 0) << false;
}

void TestEraserEditView::chosenSizeShowsResultCanvasInCompareLayout()
{
    QFETCH(QSizeF, size);
    QFETCH(bool, canvas);

    chooseSize(size.width(), size.height());
    settle();
    KSEidtCutImageView *crop = m_editor->cutImageEditView();
    QCOMPARE(m_editor->mode(), Mode::compare);
    QCOMPARE(crop->changeBackgroundSize(), size);
    QCOMPARE(m_editor->resultView() != nullptr, canvas);
    QCOMPARE(crop->isVisible(), !canvas);

    QLabel *watermark = m_editor->wartMarkImageView();
    QVERIFY(watermark->isVisible());
    if (!canvas) {
        QCOMPARE(watermark->geometry().center(), crop->geometry().center());
        return;
    }
    KSEditResultView *result = m_editor->resultView();
    QVERIFY(result->isVisible());
    QCOMPARE(result->geometry(), crop->geometry());
    QCOMPARE(watermark->geometry().center(), result->geometry().center());
    // Above the canvas (children are kept in stacking order).
    const QObjectList stack = m_editor->editCenterView()->children();
    QVERIFY(stack.indexOf(watermark) > stack.indexOf(result));
}

void TestEraserEditView::subjectMovedOnEitherCanvasKeepsItsPlace()
{
    KSEidtCutImageView *crop = m_editor->cutImageEditView();
    const QRectF loaded = crop->eraserCropRect();
    QCOMPARE(loaded, QRectF(60, 40, 120, 80));

    // Drag the subject 30 points to the right in the size mode, framed as
    // the photo is (the subject where it was loaded).
    press(m_editor->changeSizeBtn());
    m_editor->letSizeSettingView()->setFitMode(KSFitMode::photo);
    m_editor->letSizeSettingView()->returnClosure(160, 160);
    KSImageDragView *subject = crop->imageDragView();
    const QPoint inside = (subject->frame().center() + crop->imageView()->pos()).toPoint();
    QTest::mousePress(crop, Qt::LeftButton, {}, inside);
    QTest::mouseMove(crop, inside + QPoint(15, 0));
    QTest::mouseMove(crop, inside + QPoint(30, 0));
    QTest::mouseRelease(crop, Qt::LeftButton, {}, inside + QPoint(30, 0));
    const double sizeModeScale = crop->imageScale();
    const QRectF moved = loaded.translated(30 / sizeModeScale, 0);

    // Back to compare: the canvas shows the subject where it was dragged.
    press(m_editor->changeSizeBtn());
    KSEditResultView *result = m_editor->resultView();
    QVERIFY(result);
    const QPointF fittedOrigin((240 - 160) / 2.0, 0);
    QVERIFY(qAbs(result->eraserCropRect().x() - (moved.x() - fittedOrigin.x())) < 1e-6);
    QVERIFY(qAbs(result->eraserCropRect().width() - moved.width()) < 1e-6);

    // Move it on the canvas (a first click selects it), then close and
    // reopen the colour panel: the move survives the canvas being hidden
    // and shown again.
    KSImageDragView *onCanvas = result->imageDragView();
    const QPoint canvasPoint = (onCanvas->frame().center() + result->imageView()->pos()).toPoint();
    QTest::mouseClick(result, Qt::LeftButton, {}, canvasPoint);
    QVERIFY(onCanvas->isCanDrag());
    QTest::mousePress(result, Qt::LeftButton, {}, canvasPoint);
    QTest::mouseMove(result, canvasPoint + QPoint(0, 10));
    QTest::mouseMove(result, canvasPoint + QPoint(0, 20));
    QTest::mouseRelease(result, Qt::LeftButton, {}, canvasPoint + QPoint(0, 20));
    const QRectF canvasMoved = KSEditGeometry::subjectRect(onCanvas->frame(), result->imageScale());

    press(m_editor->changeBgBtn());
    press(m_editor->changeBgBtn());
    QCOMPARE(m_editor->resultView(), result);
    QVERIFY(qAbs(m_editor->resultView()->eraserCropRect().y() - canvasMoved.y()) < 1e-6);

    // And opening the size panel hands the place back to the crop view.
    press(m_editor->changeSizeBtn());
    QVERIFY(qAbs(crop->eraserCropRect().x() - moved.x()) < 1e-6);
    QVERIFY(qAbs(crop->eraserCropRect().y() - (canvasMoved.y() + fittedOrigin.y())) < 1e-6);
}

void TestEraserEditView::saveReportsThroughOverlay_data()
{
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<QSizeF>("backgroundSize");
    QTest::addColumn<QSize>("pictureSize");

    QTest::newRow("no size: the crop view's canvas, as large as the cut-out")
        << true << QSizeF(0, 0) << QSize(240, 160);
    QTest::newRow("a size: the result canvas at the preset size") << true << QSizeF(800, 800) << QSize(800, 800);
    QTest::newRow("an output folder that cannot be made reports the failure")
        << false << QSizeF(0, 0) << QSize();
}

void TestEraserEditView::saveReportsThroughOverlay()
{
    QFETCH(bool, folderWritable);
    QFETCH(QSizeF, backgroundSize);
    QFETCH(QSize, pictureSize);

    if (!folderWritable) {
        // A folder below a plain file can never be made, even by root.
        const QString file = m_dir.filePath(QStringLiteral("plain-file"));
        QFile plain(file);
        QVERIFY(plain.open(QIODevice::WriteOnly));
        KSAppSetting::setOutputDirectory(file + QStringLiteral("/out"));
    }
    if (!backgroundSize.isEmpty())
        chooseSize(backgroundSize.width(), backgroundSize.height());

    QSignalSpy finished(m_editor.data(), &KSEraserEditView::saveDidFinish);
    press(m_editor->savePhotoBtn());
    QVERIFY(finished.wait(10000));
    const QString path = finished.first().at(0).toString();
    settle();

    // The overlay covers the editor's host; the editor stays either way.
    QCOMPARE(m_editor->parentWidget(), m_host.get());
    QCOMPARE(m_editor->mode(), Mode::compare);
    const QList<KSSavePhotoSuccessView *> overlays = m_host->findChildren<KSSavePhotoSuccessView *>();
    QCOMPARE(overlays.size(), 1);
    QVERIFY(overlays.first()->isVisible());
    QCOMPARE(overlays.first()->isErrorMode(), !folderWritable);
    if (!folderWritable) {
        QVERIFY(path.isEmpty());
        QVERIFY(!finished.first().at(1).toString().isEmpty());
        return;
    }
    // A transparent background is saved as PNG under the cut-out's name.
    QCOMPARE(path, QDir(m_outputDir).filePath(QStringLiteral("beach.png")));
    QCOMPARE(overlays.first()->filePath(), path);
    QCOMPARE(QImage(path).size(), pictureSize);
}

void TestEraserEditView::mirroredSubjectIsSavedMirrored_data()
{
    QTest::addColumn<bool>("onResultCanvas");

    QTest::newRow("mirrored on the crop view, saved from the result canvas") << false;
    QTest::newRow("mirrored on the result canvas, saved from the crop view") << true;
}

void TestEraserEditView::mirroredSubjectIsSavedMirrored()
{
    QFETCH(bool, onResultCanvas);

    const auto mirror = [](KSImageDragView *subject) {
        const QImage before = subject->image();
        subject->beginDragging(subject->frame().topLeft() + QPointF(3, subject->frame().height() - 3));
        QVERIFY(subject->isMirrorImage());
        // The picture flips a moment after the click.
        QTRY_COMPARE(subject->image(), before.mirrored(true, false));
    };
    press(m_editor->changeSizeBtn());
    m_editor->letSizeSettingView()->returnClosure(240, 160);
    if (!onResultCanvas)
        mirror(m_editor->cutImageEditView()->imageDragView());
    press(m_editor->changeSizeBtn());
    QVERIFY(m_editor->resultView());
    if (onResultCanvas) {
        mirror(m_editor->resultView()->imageDragView());
        // Back to the crop view, and to the source size: no result canvas.
        press(m_editor->changeSizeBtn());
        m_editor->letSizeSettingView()->returnClosure(0, 0);
        press(m_editor->changeSizeBtn());
        QVERIFY(!m_editor->resultView());
    }

    const QImage saved = saveAndRead();
    QVERIFY(!saved.isNull());
    QCOMPARE(saved.size(), QSize(240, 160));
    // Blue now on the left of the subject, red on the right.
    QCOMPARE(saved.pixelColor(80, 80), QColor(Qt::blue));
    QCOMPARE(saved.pixelColor(160, 80), QColor(Qt::red));
}

void TestEraserEditView::goingHomeDeletesTempFilesASecondLater_data()
{
    QTest::addColumn<bool>("cutoutGoneBefore");
    QTest::addColumn<bool>("cutoutReplacedAfter");

    QTest::newRow("the cut-out goes") << false << false;
    // The shell deletes the cut-out as soon as it hears goHome.
    QTest::newRow("a cut-out already gone is no fault") << true << false;
    // The next cut-out of the same photo is written under the same name.
    QTest::newRow("a cut-out written anew meanwhile is kept") << false << true;
}

void TestEraserEditView::goingHomeDeletesTempFilesASecondLater()
{
    QFETCH(bool, cutoutGoneBefore);
    QFETCH(bool, cutoutReplacedAfter);

    if (cutoutGoneBefore)
        QVERIFY(QFile::remove(m_cutout));

    press(m_editor->goHomeBtn());
    QCOMPARE(m_reports.size(), 1);
    QCOMPARE(m_reports.first().type, KSEditBackType::goHome);
    QVERIFY(!m_reports.first().path);
    settle();
    QVERIFY(!m_editor);

    // Not at once: a second later.
    QCOMPARE(QFile::exists(m_cutout), !cutoutGoneBefore);
    if (cutoutReplacedAfter) {
        QTest::qWait(20);
        QVERIFY(QFile::remove(m_cutout));
        QVERIFY(cutoutPicture().save(m_cutout));
    }

    if (cutoutReplacedAfter) {
        // Past the cleaner's delay, with room for a loaded machine.
        QTest::qWait(KSEditTempCleaner::kDelayMs + 500);
        QThreadPool::globalInstance()->waitForDone();
        QVERIFY(QFile::exists(m_cutout));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(m_cutout), 5000);
    }
}

void TestEraserEditView::loadingAnotherPhotoReportsItsPath_data()
{
    QTest::addColumn<bool>("chosen");

    QTest::newRow("a chosen photo ends the editor") << true;
    QTest::newRow("a cancelled picker leaves the editor as it was") << false;
}

void TestEraserEditView::loadingAnotherPhotoReportsItsPath()
{
    QFETCH(bool, chosen);

    const QString other = m_dir.filePath(QStringLiteral("other.png"));
    QVERIFY(QImage(20, 20, QImage::Format_RGB32).save(other));
    KSPhotoPicker::setPhotoDialogRunner([chosen, other](QFileDialog &) {
        return chosen ? QStringList{other} : QStringList();
    });
    press(m_editor->reorderSelectedPhotoBtn());
    settle();

    if (!chosen) {
        QVERIFY(m_reports.isEmpty());
        QVERIFY(m_editor && m_editor->isVisible());
        return;
    }
    QCOMPARE(m_reports.size(), 1);
    QCOMPARE(m_reports.first().type, KSEditBackType::selelectePhoto);
    QCOMPARE(m_reports.first().path, std::optional<QString>(other));
    QVERIFY(!m_editor);
    // The cut-out is for the caller to delete.
    QThreadPool::globalInstance()->waitForDone();
    QVERIFY(QFile::exists(m_cutout));
}

void TestEraserEditView::keysSaveCopyAndClosePanels_data()
{
    QTest::addColumn<QString>("keys");
    QTest::newRow("Ctrl+S saves into the output folder") << "save";
    QTest::newRow("Ctrl+C copies the result with its transparency") << "copy";
    QTest::newRow("Escape closes the open panel") << "escape";
}

void TestEraserEditView::keysSaveCopyAndClosePanels()
{
    QFETCH(QString, keys);
    m_editor->setFocus();
    if (keys == QLatin1String("save")) {
        QSignalSpy finished(m_editor.data(), &KSEraserEditView::saveDidFinish);
        QTest::keyClick(m_editor.data(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().at(0).toString(), QDir(m_outputDir).filePath(QStringLiteral("beach.png")));
    } else if (keys == QLatin1String("copy")) {
        QGuiApplication::clipboard()->clear();
        NoticeLog log;
        QSignalSpy copied(m_editor.data(), &KSEraserEditView::copyDidFinish);
        QTest::keyClick(m_editor.data(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(copied.wait(10000));
        QVERIFY(copied.first().at(0).toBool());
        // The user hears that the copy is done.
        QCOMPARE(log.notices.size(), 1);
        QCOMPARE(log.notices.first().message, CommLang::GetAppLang(QStringLiteral("Copied")));
        const QImage pasted = QGuiApplication::clipboard()->image();
        QVERIFY(!pasted.isNull());
        QVERIFY(pasted.hasAlphaChannel());
        // The transparent background stays transparent.
        QCOMPARE(qAlpha(pasted.pixel(0, 0)), 0);
    } else {
        press(m_editor->changeBgBtn());
        QCOMPARE(m_editor->mode(), Mode::colourPanel);
        QTest::keyClick(m_editor.data(), Qt::Key_Escape);
        QCOMPARE(m_editor->mode(), Mode::compare);
        QVERIFY(!m_editor->changeBgBtn()->isSelected());
    }
}

void TestEraserEditView::saveAsWritesWhereTheUserChose_data()
{
    QTest::addColumn<QString>("typed");       // the name typed into the dialog
    QTest::addColumn<bool>("coloured");       // a white background instead of transparent
    QTest::addColumn<QString>("written");     // the file that appears
    QTest::addColumn<QByteArray>("format");

    QTest::newRow("a PNG name") << "mine.png" << false << "mine.png" << QByteArray("png");
    QTest::newRow("a JPEG name on a colour") << "mine.jpg" << true << "mine.jpg" << QByteArray("jpeg");
    // JPEG cannot keep the transparency: the picture stays PNG, under a name that says so.
    QTest::newRow("a JPEG name on transparency") << "mine.jpg" << false << "mine.jpg.png" << QByteArray("png");
    QTest::newRow("an existing file the user chose to replace") << "existing.png" << false << "existing.png"
                                                                << QByteArray("png");
}

void TestEraserEditView::saveAsWritesWhereTheUserChose()
{
    QFETCH(QString, typed);
    QFETCH(bool, coloured);
    QFETCH(QString, written);
    QFETCH(QByteArray, format);

    QTemporaryDir elsewhere;
    QFile existing(elsewhere.filePath(QStringLiteral("existing.png")));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("old bytes");
    existing.close();
    if (coloured) {
        press(m_editor->changeBgBtn());
        m_editor->changeBackgroundView()->chooseItemAtIndex(3); // white
        press(m_editor->changeBgBtn());
    }
    QStringList filters;
    KSEraserEditView::setSaveDialogRunner([&](QFileDialog &dialog) {
        filters = dialog.nameFilters();
        return elsewhere.filePath(typed);
    });
    QSignalSpy finished(m_editor.data(), &KSEraserEditView::saveDidFinish);
    m_editor->setFocus();
    QTest::keyClick(m_editor.data(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(finished.wait(10000));

    const QString path = elsewhere.filePath(written);
    QCOMPARE(finished.first().at(0).toString(), path);
    QImageReader reader(path);
    QCOMPARE(reader.format(), format);
    QCOMPARE(reader.read().size(), QSize(240, 160));
    // Nothing went into the output folder.
    QVERIFY(QDir(m_outputDir).entryList(QDir::Files).isEmpty());
    // JPEG is offered for a coloured background only.
    QCOMPARE(filters.join(u' ').contains(QStringLiteral("JPEG")), coloured);
}

QTEST_MAIN(TestEraserEditView)
#include "tst_erasereditview.moc"
