#include "CommPassport.h"
#include "EditorFixture.h"
#include "EditTestOutput.h"
#include "KSAppSetting.h"
#include "KSBrushStamp.h"
#include "KSColorConst.h"
#include "KSEditChangeBackgroundView.h"
#include "KSEditChangeSizeView.h"
#include "KSEditResultView.h"
#include "KSEditSizeOptionsView.h"
#include "KSEidtCutImageView.h"
#include "KSEraserEditView.h"
#include "KSFilppedImageView.h"
#include "KSFraming.h"
#include "KSHoverButton.h"
#include "KSImageDragView.h"
#include "KSMaskedPicture.h"
#include "KSTouchUpBrush.h"
#include "KSTouchUpPanel.h"
#include "KSUnsavedEditsView.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QUndoStack>
#include <QWheelEvent>
#include <memory>

namespace {

// Larger than the canvas at 100 %, so that there is something to pan.
constexpr QSize kPicture(1500, 1000);
const QRectF kSubject(300, 200, 550, 700); // a red figure, kept by the cut-out
const QRectF kBlob(1075, 375, 275, 225);   // a blue box beside it, wrongly kept
const QColor kBackdrop(150, 150, 150);

// The photograph: grey backdrop, the figure and the box.
QImage photo()
{
    QImage image(kPicture, QImage::Format_RGB32);
    image.fill(kBackdrop);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 40, 40));
    painter.drawEllipse(kSubject);
    painter.setBrush(QColor(40, 60, 200));
    painter.drawRect(kBlob);
    return image;
}

// The cut-out the job made of it: the figure and, wrongly, the box.
QImage cutout()
{
    QImage image = photo().convertToFormat(QImage::Format_ARGB32);
    QImage mask(kPicture, QImage::Format_Grayscale8);
    mask.fill(0);
    QPainter painter(&mask);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(kSubject);
    painter.drawRect(kBlob);
    painter.end();
    image.setAlphaChannel(mask);
    return image;
}

int maskAt(const QImage &mask, QPoint p)
{
    return mask.constScanLine(p.y())[p.x()];
}

// The share of the pixels well inside `region` whose mask is at least 128.
double keptShare(const QImage &mask, const QRectF &region, bool round)
{
    int inside = 0, kept = 0;
    const QRectF core = region.adjusted(4, 4, -4, -4);
    for (int y = int(core.top()); y < int(core.bottom()); ++y)
        for (int x = int(core.left()); x < int(core.right()); ++x) {
            const QPointF d = QPointF(x + 0.5, y + 0.5) - core.center();
            if (round && std::pow(d.x() / (core.width() / 2), 2) + std::pow(d.y() / (core.height() / 2), 2) > 1)
                continue;
            ++inside;
            kept += maskAt(mask, QPoint(x, y)) >= 128;
        }
    return inside ? double(kept) / inside : 0.0;
}

void sendWheel(QWidget *widget, QPointF at, int delta)
{
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

void drag(QWidget *widget, Qt::MouseButton button, QPoint from, QPoint to, int steps = 8)
{
    QTest::mousePress(widget, button, {}, from);
    for (int i = 1; i <= steps; ++i)
        QTest::mouseMove(widget, from + (to - from) * i / steps);
    QTest::mouseRelease(widget, button, {}, to);
}

// Where a picture pixel shows on the canvas.
QPoint onScreen(KSEditCanvasView *canvas, QPointF picturePoint)
{
    return (canvas->imageViewFrame().topLeft() + picturePoint * canvas->imageScale()).toPoint();
}

} // namespace

// The Touch Up tool with real mouse events on the crop view: brushes that
// change exactly the pixels under them at full size at any zoom, the smart
// brush, undo and redo of every kind of edit, the question before leaving
// with unsaved edits, and the saved picture.
class TestTouchUp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void brushChangesExactlyThePixelsUnderIt_data();
    void brushChangesExactlyThePixelsUnderIt();
    void smartStrokeRemovesAStrayBlobOnly();
    void undoAndRedoRestoreTheMaskByteForByte();
    void undoAndRedoRestoreMovesMirrorColourAndSize();
    void undoRestoresTheFitMode();
    void leavingWithUnsavedEditsAsksFirst_data();
    void leavingWithUnsavedEditsAsksFirst();
    void savedPictureCarriesTheEdits();
    void watermarkStaysOutOfTheWay();
    void keysChangeTheBrushAndShowTheOriginal();

private:
    KSEidtCutImageView *openTouchUp(KSMaskBrush::Mode mode, double diameter, bool smart = false);
    QImage mask() const { return m_editor->cutImageEditView()->maskedPicture()->mask(); }

    QTemporaryDir m_dir;
    QString m_photo;
    QString m_cutout;
    QString m_outputDir;
    std::unique_ptr<QWidget> m_host;
    QPointer<KSEraserEditView> m_editor;
    QList<KSEditBackType> m_reports;
};

void TestTouchUp::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_photo = m_dir.filePath(QStringLiteral("photo.png"));
    QVERIFY(photo().save(m_photo));
    QVERIFY(CommPassport::signIn(QStringLiteral("token"), QStringLiteral("Ann"), QString()));
}

void TestTouchUp::init()
{
    m_cutout = m_dir.filePath(QStringLiteral("figure.png"));
    QVERIFY(cutout().save(m_cutout));
    m_outputDir = freshOutputDirectory(m_dir);
    QVERIFY(!m_outputDir.isEmpty());
    // The fit mode a test chose would otherwise open the next test's panel.
    KSFraming::storeFitMode(KSFitMode::subject);

    m_reports.clear();
    m_editor = openEditorOver(m_host, QSize(1200, 800), m_photo, m_cutout,
                              [this](KSEditBackType type, const std::optional<QString> &) { m_reports.append(type); });
    QVERIFY(m_editor);
    QVERIFY(m_editor->cutImageEditView()->maskedPicture());
    // The photo's pixels arrive for the parts the cut-out lost.
    QTRY_COMPARE(m_editor->cutImageEditView()->maskedPicture()->colours().pixelColor(5, 5), kBackdrop);
}

void TestTouchUp::cleanup()
{
    closeEditorHost(m_host);
}

KSEidtCutImageView *TestTouchUp::openTouchUp(KSMaskBrush::Mode mode, double diameter, bool smart)
{
    QTest::mouseClick(m_editor->touchUpBtn(), Qt::LeftButton);
    KSTouchUpPanel *panel = m_editor->touchUpPanel();
    if (!panel)
        return nullptr;
    QTest::mouseClick(mode == KSMaskBrush::Mode::keep ? panel->keepBtn() : panel->eraseBtn(), Qt::LeftButton);
    KSBrushSettings settings = panel->settings();
    settings.diameter = diameter;
    settings.softness = 0;
    settings.smart = smart;
    panel->setSettings(settings);
    settle();
    KSEidtCutImageView *crop = m_editor->cutImageEditView();
    return crop->changeType() == KSChangeType::touchUp ? crop : nullptr;
}

void TestTouchUp::brushChangesExactlyThePixelsUnderIt_data()
{
    QTest::addColumn<KSMaskBrush::Mode>("mode");
    QTest::addColumn<bool>("actualSize");
    QTest::addColumn<QPointF>("panBy");
    QTest::addColumn<QPointF>("strokeFrom");   // picture pixels the view centre shows before the stroke...
    QTest::addColumn<QPoint>("strokeBy");      // ...and the pointer's way, in view points

    // Fitted, a 30-point brush is 30 / scale pixels wide on the picture.
    QTest::newRow("keep on the backdrop, fitted") << KSMaskBrush::Mode::keep << false << QPointF()
                                                  << QPointF(150, 150) << QPoint(60, 10);
    // At 100 % after a pan the view's centre shows another pixel.
    QTest::newRow("erase across the figure at 100 % after a pan") << KSMaskBrush::Mode::erase << true
                                                                 << QPointF(-40, 25) << QPointF()
                                                                 << QPoint(30, 20);
}

void TestTouchUp::brushChangesExactlyThePixelsUnderIt()
{
    QFETCH(KSMaskBrush::Mode, mode);
    QFETCH(bool, actualSize);
    QFETCH(QPointF, panBy);
    QFETCH(QPointF, strokeFrom);
    QFETCH(QPoint, strokeBy);

    KSEidtCutImageView *crop = openTouchUp(mode, 30);
    QVERIFY(crop);
    const QPoint centre = crop->rect().center();
    // The picture point under the centre, from the fitted view's own numbers.
    const QPointF fittedUnder = (QPointF(centre) - crop->imageViewFrame().topLeft()) / crop->imageScale();
    double scale = crop->imageScale();
    QPointF under = fittedUnder;
    if (actualSize) {
        // 100 % around the pointer: the point under it stays.
        crop->showActualSize(QPointF(centre));
        QCOMPARE(crop->imageScale(), 1.0);
        // The middle button drags the picture with the pointer.
        drag(crop, Qt::MiddleButton, centre, centre + panBy.toPoint());
        scale = 1.0;
        under = fittedUnder - panBy;
    }
    // Move the view so that the stroke starts at the centre: pan there at
    // 100 %; fitted, start from wherever strokeFrom is on screen.
    QPoint from = centre;
    QPointF start = under;
    if (!actualSize) {
        from = (QPointF(centre) + (strokeFrom - under) * scale).toPoint();
        start = under + QPointF(from - centre) / scale;
    }
    const QPointF end = start + QPointF(strokeBy) / scale;
    const QImage before = mask().copy();
    drag(crop, Qt::LeftButton, from, from + strokeBy);
    QCOMPARE(m_editor->undoStack()->count(), 1);

    const double radius = 15 / scale;
    const int target = mode == KSMaskBrush::Mode::keep ? 255 : 0;
    const QImage after = mask();
    int changed = 0;
    for (int y = 0; y < kPicture.height(); ++y)
        for (int x = 0; x < kPicture.width(); ++x) {
            const double d = KSBrushStamp::distanceToSegment(QPointF(x + 0.5, y + 0.5), start, end);
            const int was = maskAt(before, QPoint(x, y));
            const int now = maskAt(after, QPoint(x, y));
            // A point of slack: the pointer's way runs through whole points.
            if (d >= radius + 1 / scale)
                QVERIFY2(now == was, qPrintable(QStringLiteral("outside the brush at %1, %2").arg(x).arg(y)));
            else if (d <= radius - 1 - 1 / scale)
                QVERIFY2(now == target, qPrintable(QStringLiteral("under the brush at %1, %2").arg(x).arg(y)));
            changed += now != was;
        }
    QVERIFY(changed > 0);
}

void TestTouchUp::smartStrokeRemovesAStrayBlobOnly()
{
    KSEidtCutImageView *crop = openTouchUp(KSMaskBrush::Mode::erase, 12, true);
    QVERIFY(crop);
    // The smart brush is offered first, right under Keep and Erase: the plain
    // Keep brush paints the photo's backdrop back as it is.
    KSTouchUpPanel *panel = m_editor->touchUpPanel();
    QVERIFY(panel->smartCheck()->geometry().bottom() < panel->sizeSlider()->geometry().top());
    QVERIFY(panel->smartCheck()->geometry().top() > panel->keepBtn()->geometry().bottom());
    QVERIFY(keptShare(mask(), kBlob, false) > 0.99);
    const auto view = [crop](QPointF p) { return onScreen(crop, p); };
    // A short stroke across the middle of the box.
    drag(crop, Qt::LeftButton, view(QPointF(1150, 487)), view(QPointF(1275, 487)));
    // Shown at once, the result a moment later.
    QCOMPARE(crop->touchUpBrush()->pendingStrokes().size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(m_editor->undoStack()->count(), 1, 10000);
    QVERIFY(crop->touchUpBrush()->pendingStrokes().isEmpty());

    const double blob = keptShare(mask(), kBlob, false);
    const double subject = keptShare(mask(), kSubject, true);
    QVERIFY2(blob < 0.05, qPrintable(QString::number(blob)));
    QVERIFY2(subject > 0.99, qPrintable(QString::number(subject)));
}

void TestTouchUp::undoAndRedoRestoreTheMaskByteForByte()
{
    KSEidtCutImageView *crop = openTouchUp(KSMaskBrush::Mode::erase, 40);
    QVERIFY(crop);
    const QImage original = mask().copy();
    const QPoint c = crop->rect().center();
    drag(crop, Qt::LeftButton, c, c + QPoint(80, 30));
    QTest::mouseClick(m_editor->touchUpPanel()->keepBtn(), Qt::LeftButton);
    drag(crop, Qt::LeftButton, c + QPoint(-100, -60), c + QPoint(120, -40));
    const QImage edited = mask().copy();
    QCOMPARE(m_editor->undoStack()->count(), 2);
    QVERIFY(edited != original);

    m_editor->setFocus();
    QTest::keyClick(m_editor, Qt::Key_Z, Qt::ControlModifier);
    QTest::mouseClick(m_editor->undoBtn(), Qt::LeftButton);
    QCOMPARE(mask(), original);
    QVERIFY(!m_editor->undoBtn()->isEnabled());
    QTest::keyClick(m_editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(m_editor, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(mask(), edited);

    // Undone outside the Touch Up tool, the subject's place follows too.
    QTest::mouseClick(m_editor->touchUpBtn(), Qt::LeftButton);
    const QRect editedBounds = crop->subjectBounds();
    QTest::mouseClick(m_editor->undoBtn(), Qt::LeftButton);
    QTest::mouseClick(m_editor->undoBtn(), Qt::LeftButton);
    QCOMPARE(mask(), original);
    QCOMPARE(crop->subjectBounds(), crop->maskedPicture()->visibleBounds());
    QCOMPARE(crop->eraserCropRect(), QRectF(crop->subjectBounds()));
    QTest::mouseClick(m_editor->redoBtn(), Qt::LeftButton);
    QTest::mouseClick(m_editor->redoBtn(), Qt::LeftButton);
    QCOMPARE(mask(), edited);
    QCOMPARE(crop->subjectBounds(), editedBounds);
}

void TestTouchUp::undoAndRedoRestoreMovesMirrorColourAndSize()
{
    KSEidtCutImageView *crop = m_editor->cutImageEditView();
    const QRectF placed = crop->eraserCropRect();

    // A size, then a move and a mirror inside its frame.
    QTest::mouseClick(m_editor->changeSizeBtn(), Qt::LeftButton);
    KSEditChangeSizeView *sizePanel = m_editor->letSizeSettingView();
    QVERIFY(sizePanel);
    sizePanel->returnClosure(1000, 1000);
    QCOMPARE(crop->changeBackgroundSize(), QSizeF(1000, 1000));
    // The size frames the subject anew.
    const QRectF framed = crop->eraserCropRect();
    KSImageDragView *subject = crop->imageDragView();
    const QPoint inside = (subject->frame().center() + crop->imageView()->pos()).toPoint();
    drag(crop, Qt::LeftButton, inside, inside + QPoint(25, 10));
    const QRectF moved = crop->eraserCropRect();
    QVERIFY(moved != framed);
    const QPoint mirrorIcon = (subject->frame().bottomLeft() + QPointF(3, -3) + crop->imageView()->pos()).toPoint();
    QTest::mouseClick(crop, Qt::LeftButton, {}, mirrorIcon);
    QVERIFY(subject->isMirrorImage());

    // A colour on the result canvas.
    QTest::mouseClick(m_editor->changeBgBtn(), Qt::LeftButton);
    m_editor->changeBackgroundView()->chooseItemAtIndex(1);
    QVERIFY(m_editor->resultView());
    QCOMPARE(m_editor->resultView()->changeBackgroundColor(), KSRGBHexColor(0xFF0000));
    QCOMPARE(m_editor->undoStack()->count(), 4);

    QTest::mouseClick(m_editor->undoBtn(), Qt::LeftButton);
    QCOMPARE(crop->changeBackgroundColor(), KSClear_Color());
    QCOMPARE(m_editor->resultView()->changeBackgroundColor(), KSClear_Color());
    // The open colour panel marks the colour the subject has again.
    QCOMPARE(m_editor->changeBackgroundView()->selectedIndex(), 0);
    QTest::mouseClick(m_editor->undoBtn(), Qt::LeftButton);
    QVERIFY(!crop->imageDragView()->isMirrorImage());
    QVERIFY(!m_editor->resultView()->imageDragView()->isMirrorImage());
    QTest::mouseClick(m_editor->undoBtn(), Qt::LeftButton);
    QCOMPARE(crop->eraserCropRect(), framed);
    QTest::mouseClick(m_editor->undoBtn(), Qt::LeftButton);
    QCOMPARE(crop->changeBackgroundSize(), QSizeF(0, 0));
    QCOMPARE(crop->eraserCropRect(), placed);
    // Without a size there is no result canvas.
    QVERIFY(!m_editor->resultView());

    for (int i = 0; i < 4; ++i)
        QTest::mouseClick(m_editor->redoBtn(), Qt::LeftButton);
    QCOMPARE(crop->changeBackgroundSize(), QSizeF(1000, 1000));
    QVERIFY(m_editor->resultView());
    QCOMPARE(m_editor->resultView()->changeBackgroundColor(), KSRGBHexColor(0xFF0000));
    QVERIFY(m_editor->resultView()->imageDragView()->isMirrorImage());
    m_editor->actionForChnageBackground();
    QCOMPARE(crop->eraserCropRect(), moved);
}

void TestTouchUp::undoRestoresTheFitMode()
{
    KSEidtCutImageView *crop = m_editor->cutImageEditView();
    QTest::mouseClick(m_editor->changeSizeBtn(), Qt::LeftButton);
    KSEditChangeSizeView *sizePanel = m_editor->letSizeSettingView();
    sizePanel->returnClosure(1000, 1000);
    const QRectF bySubject = crop->eraserCropRect();
    QCOMPARE(sizePanel->fitMode(), KSFitMode::subject);

    QTest::mouseClick(sizePanel->optionsView()->fitPhotoBtn(), Qt::LeftButton);
    QCOMPARE(sizePanel->fitMode(), KSFitMode::photo);
    const QRectF byPhoto = crop->eraserCropRect();
    QVERIFY(byPhoto != bySubject);
    QCOMPARE(m_editor->undoStack()->count(), 2);

    QTest::mouseClick(m_editor->undoBtn(), Qt::LeftButton);
    QCOMPARE(sizePanel->fitMode(), KSFitMode::subject);
    QCOMPARE(crop->eraserCropRect(), bySubject);
    QTest::mouseClick(m_editor->redoBtn(), Qt::LeftButton);
    QCOMPARE(sizePanel->fitMode(), KSFitMode::photo);
    QCOMPARE(crop->eraserCropRect(), byPhoto);
}

void TestTouchUp::leavingWithUnsavedEditsAsksFirst_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("anotherPhoto"); // else Back to Home
    QTest::addColumn<KSUnsavedEditsView::Answer>("answer");
    QTest::addColumn<bool>("left");

    using Answer = KSUnsavedEditsView::Answer;
    QTest::newRow("nothing edited: leaves at once") << false << false << Answer::cancel << true;
    QTest::newRow("cancel stays in the editor") << true << false << Answer::cancel << false;
    QTest::newRow("don't save leaves") << true << false << Answer::discard << true;
    QTest::newRow("save writes the picture, then leaves") << true << false << Answer::save << true;
    // A photo dropped on the editor, or picked through Open Another Photo.
    QTest::newRow("another photo: cancel stays") << true << true << Answer::cancel << false;
    QTest::newRow("another photo: don't save opens it") << true << true << Answer::discard << true;
}

void TestTouchUp::leavingWithUnsavedEditsAsksFirst()
{
    QFETCH(bool, edited);
    QFETCH(bool, anotherPhoto);
    QFETCH(KSUnsavedEditsView::Answer, answer);
    QFETCH(bool, left);

    if (edited) {
        QTest::mouseClick(m_editor->changeBgBtn(), Qt::LeftButton);
        m_editor->changeBackgroundView()->chooseItemAtIndex(3);
    }
    QVERIFY(m_editor->hasUnsavedEdits() == edited);
    if (anotherPhoto)
        m_editor->openAnotherPhoto(m_photo);
    else
        QTest::mouseClick(m_editor->goHomeBtn(), Qt::LeftButton);
    if (edited) {
        QTRY_VERIFY(m_host->findChild<KSUnsavedEditsView *>());
        KSUnsavedEditsView *question = m_host->findChild<KSUnsavedEditsView *>();
        QVERIFY(question->isVisible());
        QVERIFY(m_reports.isEmpty());
        KSHoverButton *button = answer == KSUnsavedEditsView::Answer::save      ? question->saveBtn()
                                : answer == KSUnsavedEditsView::Answer::discard ? question->discardBtn()
                                                                                : question->cancelBtn();
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_reports.size(), left ? 1 : 0, 10000);
    if (left)
        QCOMPARE(m_reports.first(), anotherPhoto ? KSEditBackType::selelectePhoto : KSEditBackType::goHome);
    settle();
    QCOMPARE(bool(m_editor), !left);
    QVERIFY(!m_host->findChild<KSUnsavedEditsView *>());
    const QStringList saved = QDir(m_outputDir).entryList(QDir::Files);
    QCOMPARE(saved.size(), answer == KSUnsavedEditsView::Answer::save ? 1 : 0);
    if (!left)
        QVERIFY(m_editor->hasUnsavedEdits());
}

void TestTouchUp::savedPictureCarriesTheEdits()
{
    KSEidtCutImageView *crop = openTouchUp(KSMaskBrush::Mode::erase, 60);
    QVERIFY(crop);
    const auto view = [crop](QPointF p) { return onScreen(crop, p); };
    // The box scrubbed away, and a strip of backdrop kept left of the figure.
    for (int y = 375; y <= 600; y += 32)
        drag(crop, Qt::LeftButton, view(QPointF(1050, y)), view(QPointF(1375, y)));
    QTest::mouseClick(m_editor->touchUpPanel()->keepBtn(), Qt::LeftButton);
    drag(crop, Qt::LeftButton, view(QPointF(100, 500)), view(QPointF(150, 500)));

    QSignalSpy finished(m_editor.data(), &KSEraserEditView::saveDidFinish);
    QTest::mouseClick(m_editor->savePhotoBtn(), Qt::LeftButton);
    QVERIFY(finished.wait(10000));
    const QImage saved(finished.first().at(0).toString());
    QVERIFY(!saved.isNull());
    QVERIFY(!m_editor->hasUnsavedEdits());
    // The picture spans from the kept strip to the figure's right edge, at
    // the cut-out's own scale: the figure's centre stays the figure's.
    const QRect bounds = crop->subjectBounds();
    QVERIFY(bounds.left() < 150 && bounds.right() < 1000);
    QCOMPARE(saved.size(), kPicture);
    QCOMPARE(saved.pixelColor(575, 550).alpha(), 255);
    QCOMPARE(saved.pixelColor(1212, 487).alpha(), 0);
    // Kept from the photo: its own backdrop colour.
    QCOMPARE(saved.pixelColor(125, 500), kBackdrop);

    // What Ctrl+C copies carries them too.
    QSignalSpy copied(m_editor.data(), &KSEraserEditView::copyDidFinish);
    m_editor->copyResult();
    QVERIFY(copied.wait(10000));
    QVERIFY(copied.first().at(0).toBool());
    const QImage onClipboard = QGuiApplication::clipboard()->image();
    QCOMPARE(onClipboard.size(), kPicture);
    QCOMPARE(onClipboard.pixelColor(1212, 487).alpha(), 0);
    QCOMPARE(onClipboard.pixelColor(125, 500).alpha(), 255);
}

void TestTouchUp::watermarkStaysOutOfTheWay()
{
    QLabel *watermark = m_editor->wartMarkImageView();
    QVERIFY(watermark->isVisible());
    KSEidtCutImageView *crop = openTouchUp(KSMaskBrush::Mode::erase, 30);
    QVERIFY(crop);
    QVERIFY(!watermark->isVisible());
    QTest::mouseClick(m_editor->touchUpBtn(), Qt::LeftButton);
    QVERIFY(watermark->isVisible());

    sendWheel(crop, QPointF(crop->rect().center()), 240);
    QVERIFY(crop->isZoomedIn());
    QVERIFY(!watermark->isVisible());
    m_editor->setFocus();
    QTest::keyClick(m_editor, Qt::Key_0, Qt::ControlModifier);
    QVERIFY(!crop->isZoomedIn());
    QVERIFY(watermark->isVisible());
    QTest::keyClick(m_editor, Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(crop->imageScale(), 1.0);
    QVERIFY(!watermark->isVisible());
}

void TestTouchUp::keysChangeTheBrushAndShowTheOriginal()
{
    KSEidtCutImageView *crop = openTouchUp(KSMaskBrush::Mode::erase, 40);
    QVERIFY(crop);
    m_editor->setFocus();
    QTest::keyClick(m_editor, Qt::Key_BracketRight);
    QCOMPARE(m_editor->touchUpPanel()->settings().diameter, 40 * KSBrushSettings::kSizeStep);
    QCOMPARE(crop->touchUpBrush()->settings().diameter, 40 * KSBrushSettings::kSizeStep);
    QTest::keyClick(m_editor, Qt::Key_BracketLeft);
    QTest::keyClick(m_editor, Qt::Key_BracketLeft);
    QCOMPARE(m_editor->touchUpPanel()->settings().diameter, 40 / KSBrushSettings::kSizeStep);

    // Held, the original photo covers the canvas; released, the result is back.
    QTest::keyPress(m_editor, Qt::Key_O);
    QVERIFY(crop->showsOriginal());
    QTest::keyRelease(m_editor, Qt::Key_O);
    QVERIFY(!crop->showsOriginal());
    QTest::mousePress(m_editor->originalBtn(), Qt::LeftButton);
    QVERIFY(crop->showsOriginal());
    QTest::mouseRelease(m_editor->originalBtn(), Qt::LeftButton);
    QVERIFY(!crop->showsOriginal());

    // Escape closes the tool, as it closes any panel.
    QTest::keyClick(m_editor, Qt::Key_Escape);
    QCOMPARE(m_editor->mode(), KSEraserEditView::Mode::compare);
    QVERIFY(!m_editor->touchUpBtn()->isSelected());
    QCOMPARE(crop->changeType(), KSChangeType::none);
}

QTEST_MAIN(TestTouchUp)
#include "tst_touchup.moc"
