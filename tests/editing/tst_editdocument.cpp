#include "EditTestRect.h"
#include "KSEditDocument.h"
#include "KSMaskedPicture.h"
#include "KSOutputRender.h"
#include "KSSizePresets.h"
#include "PhotoFixtures.h"

#include <QSignalSpy>
#include <QTest>
#include <QUndoStack>

namespace {

// A 400 x 300 cut-out with an opaque 100 x 80 subject at (150, 110), red on
// its left half and blue on its right half.
QImage cutoutPicture()
{
    QImage picture(400, 300, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int y = 110; y < 190; ++y) {
        for (int x = 150; x < 250; ++x)
            picture.setPixelColor(x, y, x < 200 ? QColor(Qt::red) : QColor(Qt::blue));
    }
    return picture;
}

KSEditChangeSizeItem sizeItem(qint64 width, qint64 height, const QString &key = QString())
{
    KSEditChangeSizeItem item;
    item.width = width;
    item.height = height;
    item.key = key;
    return item;
}

// Writes 0 (erased) into `rect` of the document's mask as one edit, the way
// a brush does, and returns the edit.
KSMaskEdit eraseRect(KSEditDocument &document, const QRect &rect)
{
    KSMaskEditStore &store = document.picture()->store();
    store.beginEdit();
    store.prepare(rect);
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        std::fill_n(store.row(y) + rect.left(), rect.width(), uchar(0));
    KSMaskEdit edit = store.commitEdit();
    document.picture()->maskChanged(edit.rects());
    return edit;
}

} // namespace

// The editor's document without any widget: each edit is one step of the
// history, undone and redone exactly, and what a save renders follows it.
class TestEditDocument : public QObject
{
    Q_OBJECT

private slots:
    void loadingFindsTheSubject();
    void loadingRefusesWhatCannotBeEdited();
    void placeAndMirrorUndoExactly();
    void backgroundStepsJoinWhileDragging();
    void framingIsOneStepAndRestoresExactly();
    void facesArrivingJoinTheFramingStep();
    void cutSubjectKeepsItsCutOnTheFramesEdge();
    void maskEditsUndoPixelExact();
    void deferredBoundsKeepEveryPixelInPlace();
    void renderRequestFollowsTheState();
    void cleanStateFollowsTheHistory();
};

void TestEditDocument::loadingFindsTheSubject()
{
    KSEditDocument document;
    QSignalSpy subject(&document, &KSEditDocument::subjectChanged);
    QVERIFY(document.setCutout(cutoutPicture()));
    QVERIFY(document.isLoaded());
    QCOMPARE(document.cutoutSize(), QSize(400, 300));
    QCOMPARE(document.subjectBounds(), QRect(150, 110, 100, 80));
    QCOMPARE(document.subjectRect(), QRectF(150, 110, 100, 80));
    QCOMPARE(document.resultCanvasRect(), QRectF(0, 0, 400, 300));
    QCOMPARE(subject.count(), 1);
    // The canvases' reduced copy: the subject alone, never enlarged.
    QCOMPARE(document.reducedSubject().size(), QSize(100, 80));
    QCOMPARE(document.reducedSubjectScale(), 1.0);
    QCOMPARE(document.undoStack()->count(), 0);
}

void TestEditDocument::loadingRefusesWhatCannotBeEdited()
{
    KSEditDocument document;
    QString error;
    QVERIFY(!document.setCutout(QImage(), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!document.loadCutout(QStringLiteral("/nonexistent/cut.png"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!document.isLoaded());
    // Nothing to render, and no edit reaches a missing picture.
    QVERIFY(!document.subjectMaker());
    KSMaskEdit none;
    document.swapMaskEdit(none);
    document.frame(sizeItem(100, 100), KSFitMode::subject, QStringLiteral("Size"));
    QVERIFY(!document.awaitsFaces());
}

void TestEditDocument::placeAndMirrorUndoExactly()
{
    KSEditDocument document;
    QVERIFY(document.setCutout(cutoutPicture()));
    QUndoStack *stack = document.undoStack();
    const QRectF start = document.subjectRect();
    const QRectF moved = start.translated(12.25, -7.5);
    const QRectF resized(140.5, 100, 150, 120);

    document.moveSubject(start, moved);
    QCOMPARE(document.subjectRect(), moved);
    document.moveSubject(moved, resized);
    document.mirrorSubject(true);
    QVERIFY(document.isMirrored());
    QCOMPARE(stack->count(), 3);
    // A move and a resize read differently in the undo button's tip.
    QVERIFY(stack->text(0) != stack->text(1));

    stack->undo();
    QVERIFY(!document.isMirrored());
    QCOMPARE(document.subjectRect(), resized);
    stack->undo();
    QCOMPARE(document.subjectRect(), moved);
    stack->undo();
    QCOMPARE(document.subjectRect(), start);
    stack->redo();
    stack->redo();
    stack->redo();
    QCOMPARE(document.subjectRect(), resized);
    QVERIFY(document.isMirrored());
}

void TestEditDocument::backgroundStepsJoinWhileDragging()
{
    KSEditDocument document;
    QVERIFY(document.setCutout(cutoutPicture()));
    QUndoStack *stack = document.undoStack();
    QSignalSpy changed(&document, &KSEditDocument::backgroundChanged);
    const auto colour = [](int hex) { return KSEditBackground::ofColour(KSRGBHexColor(hex)); };

    document.chooseBackground(colour(0xFF0000));
    document.chooseBackground(colour(0xFF0000));
    QCOMPARE(stack->count(), 1);
    QCOMPARE(changed.count(), 1);

    // Steps of one drag in the colour dialog: one step in the history.
    document.chooseBackground(colour(0x102030), true);
    document.chooseBackground(colour(0x203040), true);
    document.chooseBackground(colour(0x304050), true);
    QCOMPARE(stack->count(), 2);
    QCOMPARE(document.background(), colour(0x304050));
    stack->undo();
    QCOMPARE(document.background(), colour(0xFF0000));
    stack->undo();
    QVERIFY(document.background().isTransparent());

    // A preset chosen between two drags keeps them apart.
    stack->redo();
    document.chooseBackground(colour(0x00FF00), true);
    document.chooseBackground(colour(0x0000FF));
    document.chooseBackground(colour(0x00FFFF), true);
    QCOMPARE(stack->count(), 4);
}

void TestEditDocument::framingIsOneStepAndRestoresExactly()
{
    KSEditDocument document;
    QVERIFY(document.setCutout(cutoutPicture()));
    QUndoStack *stack = document.undoStack();
    QSignalSpy framingChanged(&document, &KSEditDocument::framingChanged);
    const KSFramingCommand::State start = document.framingState();

    document.frame(sizeItem(1000, 1000, QStringLiteral("1000x1000px")), KSFitMode::subject, QStringLiteral("Size"));
    QCOMPARE(stack->count(), 1);
    QCOMPARE(framingChanged.count(), 1);
    const KSFramingCommand::State square = document.framingState();
    QCOMPARE(square.framing.backgroundSize, QSizeF(1000, 1000));
    QCOMPARE(square.framing.presetKey(), QStringLiteral("1000x1000px"));
    // The square frame on the cut-out is 300 x 300, centred: the subject
    // fills it but for the margin, centred in it.
    QCOMPARE(document.resultCanvasRect(), QRectF(50, 0, 300, 300));
    QVERIFY(qAbs(square.subjectRect.center().x() - 200) < 1e-6);
    QVERIFY(qAbs(square.subjectRect.center().y() - 150) < 1e-6);
    QVERIFY(square.subjectRect.width() > 200);

    // The same framing again records nothing.
    document.frame(sizeItem(1000, 1000, QStringLiteral("1000x1000px")), KSFitMode::subject, QStringLiteral("Size"));
    QCOMPARE(stack->count(), 1);

    document.frame(sizeItem(1000, 1000, QStringLiteral("1000x1000px")), KSFitMode::photo, QStringLiteral("Fit"));
    QCOMPARE(stack->count(), 2);
    QCOMPARE(document.framing().fitMode, KSFitMode::photo);

    stack->undo();
    QCOMPARE(document.framingState(), square);
    stack->undo();
    QCOMPARE(document.framingState(), start);
    QCOMPARE(document.resultCanvasRect(), QRectF(0, 0, 400, 300));
    stack->redo();
    QCOMPARE(document.framingState(), square);
}

void TestEditDocument::facesArrivingJoinTheFramingStep()
{
    const std::optional<KSEditChangeSizeItem> idSize = KSSizePresets::findItem(QStringLiteral("1Inch"));
    QVERIFY(idSize && idSize->idRule);
    KSEditDocument document;
    QVERIFY(document.setCutout(cutoutPicture()));
    QUndoStack *stack = document.undoStack();
    const KSFramingCommand::State start = document.framingState();

    document.frame(*idSize, KSFitMode::subject, QStringLiteral("Size"));
    QVERIFY(document.awaitsFaces());
    QCOMPARE(stack->count(), 1);
    const KSFramingCommand::State plain = document.framingState();

    // No face: the framing is done again, with its notice, in the same step.
    document.setFaces(KSFaceFinder::Result{});
    document.reframeWithFaces();
    QVERIFY(!document.awaitsFaces());
    QCOMPARE(stack->count(), 1);
    QCOMPARE(document.framing().notice, KSFraming::Notice::noFace);
    stack->undo();
    QCOMPARE(document.framingState(), start);
    stack->redo();
    QCOMPARE(document.framing().notice, KSFraming::Notice::noFace);
    QVERIFY(document.framingState() != plain);

    // A move made before the faces came stays a step of its own.
    KSEditDocument other;
    QVERIFY(other.setCutout(cutoutPicture()));
    other.frame(*idSize, KSFitMode::subject, QStringLiteral("Size"));
    other.moveSubject(other.subjectRect(), other.subjectRect().translated(5, 5));
    other.setFaces(KSFaceFinder::Result{});
    other.reframeWithFaces();
    QCOMPARE(other.undoStack()->count(), 3);
    other.undoStack()->undo();
    QCOMPARE(other.framing().notice, KSFraming::Notice::none);
}

void TestEditDocument::cutSubjectKeepsItsCutOnTheFramesEdge()
{
    KSEditDocument document;
    QVERIFY(document.setCutout(PhotoFixtures::waistUpCutout(QSize(400, 300))));
    QCOMPARE(document.subjectCutEdges(), Qt::Edges(Qt::BottomEdge));
    // 1000 x 1000 shows the canvas's square (50, 0, 300, 300): the torso
    // reaches its bottom, the head keeps 5 % (15 px) above it.
    const QRectF canvasFrame(50, 0, 300, 300);
    document.frame(sizeItem(1000, 1000, QStringLiteral("1000x1000px")), KSFitMode::subject, QStringLiteral("Size"));
    QCOMPARE(document.subjectRect().bottom(), canvasFrame.bottom());
    QVERIFY(qAbs(document.subjectRect().top() - 15) < 1e-6);
    QVERIFY(qAbs(document.subjectRect().center().x() - canvasFrame.center().x()) < 1e-6);

    // An ID size without a face falls back to the same plain fit.
    const std::optional<KSEditChangeSizeItem> idSize = KSSizePresets::findItem(QStringLiteral("OverseaInch1"));
    QVERIFY(idSize && idSize->idRule);
    document.setFaces(KSFaceFinder::Result{});
    document.frame(*idSize, KSFitMode::subject, QStringLiteral("Size"));
    QCOMPARE(document.framing().notice, KSFraming::Notice::noFace);
    QCOMPARE(document.subjectRect().bottom(), canvasFrame.bottom());

    // Erased above the photo's edge, the subject is whole again: centred
    // with its margin all round.
    document.recordMaskEdit(eraseRect(document, QRect(0, 280, 400, 20)), QStringLiteral("Erase"));
    QCOMPARE(document.subjectCutEdges(), Qt::Edges());
    document.frame(sizeItem(1000, 1000, QStringLiteral("1000x1000px")), KSFitMode::subject, QStringLiteral("Size"));
    QVERIFY(qAbs(document.subjectRect().bottom() - 285) < 1e-6);

    // Cut on the left, then mirrored: it sits on the frame's right edge.
    KSEditDocument mirrored;
    QImage leftCut = PhotoFixtures::waistUpCutout(QSize(400, 300)).transformed(QTransform().rotate(90));
    QVERIFY(mirrored.setCutout(leftCut));
    QCOMPARE(mirrored.subjectCutEdges(), Qt::Edges(Qt::LeftEdge));
    mirrored.mirrorSubject(true);
    mirrored.frame(sizeItem(1000, 1000), KSFitMode::subject, QStringLiteral("Size"));
    const QRectF square = mirrored.resultCanvasRect();
    QCOMPARE(mirrored.subjectRect().right(), square.right());
}

void TestEditDocument::maskEditsUndoPixelExact()
{
    KSEditDocument document;
    QVERIFY(document.setCutout(cutoutPicture()));
    const QImage before = document.picture()->mask().copy();
    QSignalSpy maskChanged(&document, &KSEditDocument::maskChanged);

    // An erased band through the subject's middle.
    document.recordMaskEdit(eraseRect(document, QRect(150, 140, 100, 20)), QStringLiteral("Erase"));
    QCOMPARE(maskChanged.count(), 1);
    QVERIFY(maskChanged.first().first().value<QRegion>().contains(QPoint(160, 150)));
    const QImage erased = document.picture()->mask().copy();
    QCOMPARE(qAlpha(erased.pixel(160, 150)) == 0 || qGray(erased.pixel(160, 150)) == 0, true);

    document.undoStack()->undo();
    QCOMPARE(document.picture()->mask(), before);
    document.undoStack()->redo();
    QCOMPARE(document.picture()->mask(), erased);

    // An edit that changed nothing is no step.
    document.recordMaskEdit(KSMaskEdit(), QStringLiteral("Erase"));
    QCOMPARE(document.undoStack()->count(), 1);
}

void TestEditDocument::deferredBoundsKeepEveryPixelInPlace()
{
    KSEditDocument document;
    QVERIFY(document.setCutout(cutoutPicture()));
    const QRectF placed(100, 60, 200, 160); // the subject at twice its size
    document.moveSubject(document.subjectRect(), placed);

    document.setDefersSubjectBounds(true);
    document.recordMaskEdit(eraseRect(document, QRect(150, 110, 50, 80)), QStringLiteral("Erase"));
    // While deferred, the bounds wait.
    QVERIFY(document.subjectIsStale());
    QCOMPARE(document.subjectBounds(), QRect(150, 110, 100, 80));

    QSignalSpy subject(&document, &KSEditDocument::subjectChanged);
    document.setDefersSubjectBounds(false);
    QCOMPARE(subject.count(), 1);
    QCOMPARE(document.subjectBounds(), QRect(200, 110, 50, 80));
    // The blue half stays where it was drawn: the right half of `placed`.
    COMPARE_RECT(document.subjectRect(), QRectF(200, 60, 100, 160));

    // Undone outside a deferral, the bounds follow at once.
    document.undoStack()->undo();
    QCOMPARE(document.subjectBounds(), QRect(150, 110, 100, 80));
    COMPARE_RECT(document.subjectRect(), placed);
}

void TestEditDocument::renderRequestFollowsTheState()
{
    const std::optional<KSEditChangeSizeItem> idSize = KSSizePresets::findItem(QStringLiteral("1Inch"));
    QVERIFY(idSize);
    KSEditDocument document;
    QVERIFY(document.setCutout(cutoutPicture()));
    KSOutputRender::Request request = document.renderRequest(2000);
    QCOMPARE(request.imageSize, QSizeF(400, 300));
    QCOMPARE(request.subjectRect, QRectF(150, 110, 100, 80));
    QCOMPARE(request.backgroundSize, QSizeF(0, 0));
    QCOMPARE(request.maxSide, 2000);
    QVERIFY(request.printSizeMm.isEmpty());

    document.chooseBackground(KSEditBackground::ofColour(KSRGBHexColor(0x00FF00)));
    document.mirrorSubject(true);
    document.frame(*idSize, KSFitMode::photo, QStringLiteral("Size"));
    request = document.renderRequest(2000);
    QCOMPARE(request.backgroundColor, KSRGBHexColor(0x00FF00));
    QVERIFY(request.isMirrorImage);
    QCOMPARE(request.backgroundSize, QSizeF(double(idSize->width), double(idSize->height)));
    QCOMPARE(request.printSizeMm, idSize->printSizeMm);

    // The subject as edited: an erased part is clear in the rendered subject,
    // and an edit made after the maker was taken does not reach it.
    document.recordMaskEdit(eraseRect(document, QRect(150, 110, 10, 10)), QStringLiteral("Erase"));
    const std::function<QImage()> maker = document.subjectMaker();
    document.recordMaskEdit(eraseRect(document, QRect(240, 180, 10, 10)), QStringLiteral("Erase"));
    const QImage subject = maker();
    QCOMPARE(subject.size(), QSize(100, 80));
    QCOMPARE(qAlpha(subject.pixel(5, 5)), 0);
    QCOMPARE(subject.pixelColor(95, 75), QColor(Qt::blue));
    request.subject = subject;
    const QImage output = KSOutputRender::renderOutputImage(request);
    QCOMPARE(output.size(), QSize(int(idSize->width), int(idSize->height)));
}

void TestEditDocument::cleanStateFollowsTheHistory()
{
    KSEditDocument document;
    QVERIFY(document.setCutout(cutoutPicture()));
    QSignalSpy clean(&document, &KSEditDocument::cleanChanged);
    document.mirrorSubject(true);
    QCOMPARE(clean.count(), 1);
    QCOMPARE(clean.last().first().toBool(), false);
    document.undoStack()->setClean();
    QCOMPARE(clean.last().first().toBool(), true);
    document.undoStack()->undo();
    QCOMPARE(clean.last().first().toBool(), false);
}

QTEST_MAIN(TestEditDocument)
#include "tst_editdocument.moc"
