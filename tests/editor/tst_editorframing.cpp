#include "CommLang.h"
#include "CommPassport.h"
#include "FaceFixtures.h"
#include "KSAppSetting.h"
#include "KSEditChangeSizeView.h"
#include "KSEditGeometry.h"
#include "KSEditResultView.h"
#include "KSEditSizeOptionsView.h"
#include "KSEidtCutImageView.h"
#include "KSEraserEditView.h"
#include "KSFilppedImageView.h"
#include "KSHoverButton.h"
#include "KSIdGuideView.h"
#include "KSImageDragView.h"

#include <QComboBox>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

void press(KSHoverButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

// A row of the size panel, clicked as a user does.
void chooseRow(KSEditChangeSizeView *panel, KSHoverButton *group, const QString &key)
{
    press(group);
    QTableWidget *table = panel->tableView();
    for (int row = 0; row < panel->dataArray().at(panel->chooseList()).items.size(); ++row) {
        if (panel->dataArray().at(panel->chooseList()).items.at(row).key != key)
            continue;
        table->scrollTo(table->model()->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(row, 0)).center());
        return;
    }
    QFAIL(qPrintable(QStringLiteral("no row %1").arg(key)));
}

// The subject's rectangle as the crop view shows it, in cut-out pixels.
QRectF shownSubject(KSEidtCutImageView *crop)
{
    return KSEditGeometry::subjectRect(crop->imageDragView()->frame(), crop->imageScale());
}

} // namespace

// The editor frames a size by the size panel's choices: around the subject,
// around the face by an ID rule with its guide, or as the photo; it says
// why an ID size fell back, and saves print sheets.
class TestEditorFraming : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void shopSizeKeepsTheWholeSubject();
    void idSizeFramesTheHeadWithItsGuide();
    void idSizeWithoutAFaceSaysSo();
    void printSheetIsSaved();
    void framingCanBeRestored();

private:
    KSEraserEditView *openEditor(const QImage &cutout);
    KSEditChangeSizeView *openSizePanel();

    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_host;
    QPointer<KSEraserEditView> m_editor;
};

void TestEditorFraming::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(CommPassport::signIn(QStringLiteral("token"), QStringLiteral("Ann"), QString()));
    KSAppSetting::appLanguage();
    KSAppSetting::setAppLanguage(QStringLiteral("English"));
    CommLang::setCurrentLanguage(QStringLiteral("English"));
    KSAppSetting::setOutputDirectory(m_dir.filePath(QStringLiteral("out")));
    KSFraming::storeFitMode(KSFitMode::subject);
}

void TestEditorFraming::cleanup()
{
    m_host.reset();
}

KSEraserEditView *TestEditorFraming::openEditor(const QImage &cutout)
{
    static int run = 0;
    const QString path = m_dir.filePath(QStringLiteral("cut-%1.png").arg(++run));
    if (!cutout.save(path))
        return nullptr;
    m_host = std::make_unique<QWidget>();
    m_host->resize(1200, 640);
    m_host->show();
    m_editor = KSEraserEditView::showEditView(m_host.get(), path, path);
    return m_editor;
}

KSEditChangeSizeView *TestEditorFraming::openSizePanel()
{
    press(m_editor->changeSizeBtn());
    return m_editor->letSizeSettingView();
}

void TestEditorFraming::shopSizeKeepsTheWholeSubject()
{
    // A tall subject that the photo cut off at the top and the bottom: it
    // fills the frame's height and keeps the margin at its whole sides.
    QImage cutout(1200, 800, QImage::Format_ARGB32);
    cutout.fill(Qt::transparent);
    QPainter(&cutout).fillRect(QRect(100, 0, 200, 800), QColor(160, 90, 30));
    QVERIFY(openEditor(cutout));
    KSEditChangeSizeView *panel = openSizePanel();
    chooseRow(panel, panel->eBusinessBtn(), QStringLiteral("800x800px"));

    KSEidtCutImageView *crop = m_editor->cutImageEditView();
    const QRectF frame = KSEditGeometry::maskFrame(*crop->imageSize(), crop->changeBackgroundSize());
    const QRectF subject = shownSubject(crop);
    const double margin = 0.05 * frame.width();
    QVERIFY(frame.adjusted(margin - 1, -1, -margin + 1, 1).contains(subject));
    QVERIFY(qAbs(subject.height() - frame.height()) < 1.0);
    QVERIFY(!m_editor->cropGuideView() || !m_editor->cropGuideView()->isVisible());

    // "Photo" frames the photo's middle: the subject back where it was.
    press(panel->optionsView()->fitPhotoBtn());
    QVERIFY(qAbs(shownSubject(crop).x() - 100) < 1.0);
    QVERIFY(qAbs(shownSubject(crop).height() - 800) < 1.0);

    // The next photo's size panel opens in the mode chosen last.
    QVERIFY(openEditor(cutout));
    panel = openSizePanel();
    QVERIFY(panel->optionsView()->fitPhotoBtn()->isSelected());
    QCOMPARE(panel->fitMode(), KSFitMode::photo);
    press(panel->optionsView()->fitSubjectBtn());
    QCOMPARE(KSFraming::storedFitMode(), KSFitMode::subject);
}

void TestEditorFraming::idSizeFramesTheHeadWithItsGuide()
{
    const FaceFixtures::Head head{{600, 430}, 190};
    QVERIFY(openEditor(FaceFixtures::cutoutWithHeads(QSize(1200, 1000), {head})));
    KSEditChangeSizeView *panel = openSizePanel();
    chooseRow(panel, panel->certificateBtn(), QStringLiteral("OverseaInch1"));

    // The face is found off the GUI thread; the framing follows it.
    QTRY_VERIFY_WITH_TIMEOUT(m_editor->faces().has_value(), 10000);
    QTRY_VERIFY(m_editor->cropGuideView() && m_editor->cropGuideView()->isVisible());
    QCOMPARE(m_editor->framingNotice(), KSFraming::Notice::none);
    QVERIFY(panel->optionsView()->notice().isEmpty());

    // The head fills the rule's share of the 2 x 2 in frame: 1 to 1 3/8 in
    // of 2 in, with the crown in the frame.
    KSEidtCutImageView *crop = m_editor->cutImageEditView();
    const QRectF frame = KSEditGeometry::maskFrame(*crop->imageSize(), crop->changeBackgroundSize());
    const QRectF subject = shownSubject(crop);
    const double scale = subject.height() / m_editor->cutImageEditView()->subjectPixelSize().height();
    const double shownHead = 2 * head.halfHeight * scale;
    QVERIFY2(shownHead >= frame.height() * 0.5 && shownHead <= frame.height() * 0.6875,
             qPrintable(QString::number(shownHead / frame.height())));

    // The saved photo is 600 x 600 at 300 dpi.
    QSignalSpy finished(m_editor.data(), &KSEraserEditView::saveDidFinish);
    press(m_editor->savePhotoBtn());
    QVERIFY(finished.wait(10000));
    const QImage saved(finished.first().at(0).toString());
    QCOMPARE(saved.size(), QSize(600, 600));
    QCOMPARE(qRound(saved.dotsPerMeterX() * 0.0254), 300);
    // The panel closed, the result shows the picture as saved: no guide.
    QVERIFY(m_editor->mode() == KSEraserEditView::Mode::compare);
    QVERIFY(m_editor->resultView()->isVisible());
    for (const KSIdGuideView *guide : m_editor->findChildren<KSIdGuideView *>())
        QVERIFY(!guide->isVisible());
}

void TestEditorFraming::idSizeWithoutAFaceSaysSo()
{
    QImage cutout(900, 1200, QImage::Format_ARGB32);
    cutout.fill(Qt::transparent);
    QPainter(&cutout).fillRect(QRect(300, 200, 300, 900), QColor(30, 90, 160));
    QVERIFY(openEditor(cutout));
    KSEditChangeSizeView *panel = openSizePanel();
    chooseRow(panel, panel->certificateBtn(), QStringLiteral("1Inch"));
    QTRY_VERIFY_WITH_TIMEOUT(m_editor->faces().has_value(), 10000);
    QTRY_COMPARE(m_editor->framingNotice(), KSFraming::Notice::noFace);
    QLabel *notice = panel->optionsView()->noticeLbl();
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), KSFraming::noticeText(KSFraming::Notice::noFace));
    // The guide stays, for placing the head by hand.
    QVERIFY(m_editor->cropGuideView()->isVisible());

    // A shop size has nothing to say, and no guide.
    chooseRow(panel, panel->eBusinessBtn(), QStringLiteral("1000x1000px"));
    QVERIFY(!notice->isVisible());
    QVERIFY(!m_editor->cropGuideView()->isVisible());
}

void TestEditorFraming::printSheetIsSaved()
{
    QVERIFY(openEditor(FaceFixtures::cutoutWithHeads(QSize(1000, 1000), {{{500, 430}, 190}})));
    KSEditChangeSizeView *panel = openSizePanel();
    KSEditSizeOptionsView *options = panel->optionsView();
    chooseRow(panel, panel->eBusinessBtn(), QStringLiteral("800x800px"));
    QVERIFY(!options->printSheetBtn()->isVisible());
    chooseRow(panel, panel->certificateBtn(), QStringLiteral("Min2Inch"));
    QVERIFY(options->printSheetBtn()->isVisible());
    options->paperBox()->setCurrentIndex(options->paperBox()->findData(int(KSPrintSheet::Paper::a6)));

    QSignalSpy finished(m_editor.data(), &KSEraserEditView::saveDidFinish);
    press(options->printSheetBtn());
    QVERIFY(finished.wait(10000));
    const QString path = finished.first().at(0).toString();
    QVERIFY2(QFileInfo(path).completeBaseName().endsWith(QStringLiteral("-A6")), qPrintable(path));
    const QImage sheet(path);
    QCOMPARE(sheet.size(), QSize(1240, 1748));
    QCOMPARE(qRound(sheet.dotsPerMeterY() * 0.0254), 300);
    // The panel stays open for another sheet.
    QCOMPARE(m_editor->mode(), KSEraserEditView::Mode::sizePanel);
}

void TestEditorFraming::framingCanBeRestored()
{
    QVERIFY(openEditor(FaceFixtures::cutoutWithHeads(QSize(1000, 800), {{{500, 380}, 170}})));
    openSizePanel();
    QVERIFY(m_editor->setFraming(KSFitMode::photo, QStringLiteral("1000x1000px")));
    KSEditChangeSizeView *panel = m_editor->letSizeSettingView();
    QCOMPARE(panel->fitMode(), KSFitMode::photo);
    QCOMPARE(panel->chosenItem().key, QStringLiteral("1000x1000px"));
    QCOMPARE(m_editor->cutImageEditView()->changeBackgroundSize(), QSizeF(1000, 1000));
    QVERIFY(panel->optionsView()->fitPhotoBtn()->isSelected());

    // An unknown key changes nothing.
    QVERIFY(!m_editor->setFraming(KSFitMode::subject, QStringLiteral("A0")));
    QCOMPARE(panel->fitMode(), KSFitMode::photo);
    QCOMPARE(panel->chosenItem().key, QStringLiteral("1000x1000px"));
}

QTEST_MAIN(TestEditorFraming)
#include "tst_editorframing.moc"
