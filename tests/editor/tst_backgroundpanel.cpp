#include "CommLang.h"
#include "KSBackdropBlurPage.h"
#include "KSBackgroundPicturePage.h"
#include "KSEditBackgroundPanel.h"
#include "KSEditChangeBackgroundView.h"
#include "KSEditDocument.h"
#include "KSEditSliderRow.h"
#include "KSHoverButton.h"
#include "KSPictureThumbView.h"
#include "KSRecentBackgrounds.h"
#include "KSShadowPage.h"
#include "KSUserDefaultKit.h"
#include "NoticeLog.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <QUrl>

#include <functional>
#include <memory>

namespace {

// A 300 x 200 cut-out with an opaque red subject in its middle.
QImage cutout()
{
    QImage image(300, 200, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 50; y < 150; ++y)
        for (int x = 100; x < 200; ++x)
            image.setPixel(x, y, qRgba(220, 20, 20, 255));
    return image;
}

QString writePicture(const QTemporaryDir &dir, const QString &name, const QColor &colour, QSize size = {80, 40})
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    const QString path = dir.filePath(name);
    return picture.save(path) ? path : QString();
}

// Moves a slider as a drag does: pressed, several values, released.
void dragSlider(QSlider *slider, const QList<int> &values)
{
    slider->setSliderDown(true);
    for (int value : values)
        slider->setValue(value);
    slider->setSliderDown(false);
}

} // namespace

// The background panel on a document of its own: its pages' choices become
// the document's edits (a drag one step), and undo and redo show on them.
class TestBackgroundPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void panelOpensAtThePageOfTheBackground_data();
    void panelOpensAtThePageOfTheBackground();
    void chosenPictureBecomesTheBackgroundAndIsOfferedAgain();
    void unreadablePictureKeepsTheBackgroundAndSaysSo();
    void droppedPictureBecomesTheBackground();
    void pastedPixelsBecomeARememberedPicture();
    void emptyClipboardSaysSoAndChangesNothing();
    void sliderDragIsOneStepOfTheHistory_data();
    void sliderDragIsOneStepOfTheHistory();
    void placementSlidersShowWhatTheyChose();
    void undoAndRedoShowOnThePages();
    void colourAfterAPictureReplacesIt();

private:
    void choosePicture(const QString &path);

    QTemporaryDir m_dir;
    std::unique_ptr<KSEditDocument> m_document;
    std::unique_ptr<KSEditBackgroundPanel> m_panel;
};

void TestBackgroundPanel::init()
{
    CommLang::setCurrentLanguage(QStringLiteral("English"));
    KSUserDefaultKit::removeObjectForKey(KSRecentBackgrounds::kSettingsKey);
    KSBackgroundPicturePage::setPictureDialogRunner({});
    m_document = std::make_unique<KSEditDocument>();
    QVERIFY(m_document->setCutout(cutout()));
    m_panel = std::make_unique<KSEditBackgroundPanel>(m_document.get());
    m_panel->resize(360, 720);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel.get()));
}

void TestBackgroundPanel::cleanup()
{
    m_panel.reset();
    m_document.reset();
    KSBackgroundPicturePage::setPictureDialogRunner({});
}

void TestBackgroundPanel::choosePicture(const QString &path)
{
    KSBackgroundPicturePage::setPictureDialogRunner([path](QFileDialog &) { return path; });
    QSignalSpy loaded(m_panel.get(), &KSEditBackgroundPanel::pictureLoaded);
    QTest::mouseClick(m_panel->picturePage()->chooseButton(), Qt::LeftButton);
    QTRY_COMPARE(loaded.size(), 1);
}

void TestBackgroundPanel::panelOpensAtThePageOfTheBackground_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("page");
    QTest::newRow("a colour: the colour grid") << int(KSEditBackground::Kind::colour)
                                               << int(KSEditBackgroundPanel::Page::colour);
    QTest::newRow("a picture: the picture page") << int(KSEditBackground::Kind::picture)
                                                 << int(KSEditBackgroundPanel::Page::picture);
    QTest::newRow("the backdrop: the blur page") << int(KSEditBackground::Kind::blurredPhoto)
                                                 << int(KSEditBackgroundPanel::Page::blur);
}

void TestBackgroundPanel::panelOpensAtThePageOfTheBackground()
{
    QFETCH(int, kind);
    QFETCH(int, page);
    switch (KSEditBackground::Kind(kind)) {
    case KSEditBackground::Kind::colour: m_document->setBackground(KSEditBackground::ofColour(KSRGBHexColor(0xFF0000))); break;
    case KSEditBackground::Kind::picture: {
        QImage picture(20, 20, QImage::Format_RGB32);
        picture.fill(Qt::green);
        m_document->setBackground(*KSEditBackground::ofPicture(picture));
        break;
    }
    case KSEditBackground::Kind::blurredPhoto: m_document->setBackground(KSEditBackground::ofBlurredPhoto()); break;
    }
    KSEditBackgroundPanel panel(m_document.get());
    QCOMPARE(int(panel.currentPage()), page);
    QVERIFY(panel.pageButton(KSEditBackgroundPanel::Page(page))->isSelected());
}

void TestBackgroundPanel::chosenPictureBecomesTheBackgroundAndIsOfferedAgain()
{
    const QString path = writePicture(m_dir, QStringLiteral("beach.png"), Qt::green);
    const int steps = m_document->undoStack()->count();
    choosePicture(path);
    const KSEditBackground background = m_document->background();
    QCOMPARE(int(background.kind), int(KSEditBackground::Kind::picture));
    QCOMPARE(background.picturePath, path);
    QVERIFY(background.picture && background.picture->pixelColor(0, 0) == QColor(Qt::green));
    QCOMPARE(m_document->undoStack()->count(), steps + 1);
    QCOMPARE(KSRecentBackgrounds::pictures(), QStringList{path});

    // Its thumbnail is offered, marked, and choosing another thumbnail's
    // picture takes that one.
    const QString other = writePicture(m_dir, QStringLiteral("forest.png"), Qt::darkGreen);
    choosePicture(other);
    const QList<KSPictureThumbView *> thumbs = m_panel->picturePage()->recentThumbs();
    QCOMPARE(thumbs.size(), 2);
    QCOMPARE(thumbs.at(0)->path(), other);
    QVERIFY(thumbs.at(0)->isSelected());
    QVERIFY(!thumbs.at(1)->isSelected());
    QSignalSpy loaded(m_panel.get(), &KSEditBackgroundPanel::pictureLoaded);
    QTest::mouseClick(thumbs.at(1), Qt::LeftButton);
    QTRY_COMPARE(loaded.size(), 1);
    QCOMPARE(m_document->background().picturePath, path);
    QTRY_VERIFY(m_panel->picturePage()->recentThumbs().value(0) && m_panel->picturePage()->recentThumbs().at(0)->hasThumbnail());
}

void TestBackgroundPanel::unreadablePictureKeepsTheBackgroundAndSaysSo()
{
    m_document->chooseBackground(KSEditBackground::ofColour(KSRGBHexColor(0x438EDB)));
    const KSEditBackground before = m_document->background();
    const int steps = m_document->undoStack()->count();
    const QString path = m_dir.filePath(QStringLiteral("broken.jpg"));
    QFile broken(path);
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture at all");
    broken.close();
    // Offered earlier, it is offered no more once it fails.
    KSRecentBackgrounds::remember(path);

    NoticeLog notices;
    QSignalSpy loaded(m_panel.get(), &KSEditBackgroundPanel::pictureLoaded);
    KSBackgroundPicturePage::setPictureDialogRunner([path](QFileDialog &) { return path; });
    QTest::mouseClick(m_panel->picturePage()->chooseButton(), Qt::LeftButton);
    QTRY_COMPARE(loaded.size(), 1);
    QCOMPARE(loaded.at(0).at(1).toBool(), false);
    QVERIFY(m_document->background() == before);
    QCOMPARE(m_document->undoStack()->count(), steps);
    QCOMPARE(notices.notices.size(), 1);
    QCOMPARE(notices.notices.at(0).message, CommLang::GetAppLang(QStringLiteral("BackgroundPictureUnreadable")));
    QCOMPARE(notices.notices.at(0).detail, path);
    QVERIFY(!KSRecentBackgrounds::pictures().contains(path));
}

void TestBackgroundPanel::droppedPictureBecomesTheBackground()
{
    const QString path = writePicture(m_dir, QStringLiteral("dropped.png"), Qt::yellow);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPointF point(180, 300);
    QDragEnterEvent enter(point.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_panel.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QSignalSpy loaded(m_panel.get(), &KSEditBackgroundPanel::pictureLoaded);
    QApplication::sendEvent(m_panel.get(), &drop);
    QTRY_COMPARE(loaded.size(), 1);
    QCOMPARE(m_document->background().picturePath, path);
    QCOMPARE(m_panel->currentPage(), KSEditBackgroundPanel::Page::picture);
}

void TestBackgroundPanel::pastedPixelsBecomeARememberedPicture()
{
    QImage pixels(64, 32, QImage::Format_RGB32);
    pixels.fill(Qt::magenta);
    QApplication::clipboard()->setImage(pixels);
    QSignalSpy loaded(m_panel.get(), &KSEditBackgroundPanel::pictureLoaded);
    QTest::mouseClick(m_panel->picturePage()->pasteButton(), Qt::LeftButton);
    QTRY_COMPARE(loaded.size(), 1);
    const KSEditBackground background = m_document->background();
    QCOMPARE(int(background.kind), int(KSEditBackground::Kind::picture));
    QCOMPARE(background.picture->pixelColor(10, 10), QColor(Qt::magenta));
    // Kept as a file, so that the next session offers it too.
    QVERIFY(QFile::exists(background.picturePath));
    QCOMPARE(KSRecentBackgrounds::pictures().value(0), background.picturePath);
}

void TestBackgroundPanel::emptyClipboardSaysSoAndChangesNothing()
{
    QApplication::clipboard()->clear();
    NoticeLog notices;
    const int steps = m_document->undoStack()->count();
    m_panel->showPage(KSEditBackgroundPanel::Page::picture);
    // Ctrl+V inside the page pastes there.
    m_panel->picturePage()->setFocus();
    QTest::keyClick(m_panel->picturePage(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(notices.notices.size(), 1);
    QCOMPARE(notices.notices.at(0).message, CommLang::GetAppLang(QStringLiteral("ClipboardNoPicture")));
    QCOMPARE(m_document->undoStack()->count(), steps);
}

void TestBackgroundPanel::sliderDragIsOneStepOfTheHistory_data()
{
    QTest::addColumn<QString>("control");
    QTest::newRow("the backdrop's blur") << QStringLiteral("blur");
    QTest::newRow("a contact shadow's darkness") << QStringLiteral("contact");
    QTest::newRow("a drop shadow's offset") << QStringLiteral("drop");
    QTest::newRow("a picture's zoom") << QStringLiteral("zoom");
}

void TestBackgroundPanel::sliderDragIsOneStepOfTheHistory()
{
    QFETCH(QString, control);
    QSlider *slider = nullptr;
    if (control == QLatin1String("blur")) {
        m_document->chooseBackground(KSEditBackground::ofBlurredPhoto(0.0));
        slider = m_panel->blurPage()->strengthRow()->slider();
    } else if (control == QLatin1String("contact")) {
        m_document->chooseShadow(KSEditShadow::contact());
        slider = m_panel->shadowPage()->contactRows().at(0)->slider();
    } else if (control == QLatin1String("drop")) {
        m_document->chooseShadow(KSEditShadow::drop());
        slider = m_panel->shadowPage()->dropRows().at(0)->slider();
    } else {
        QImage picture(400, 100, QImage::Format_RGB32);
        picture.fill(Qt::green);
        m_document->chooseBackground(*KSEditBackground::ofPicture(picture));
        slider = m_panel->picturePage()->zoomRow()->slider();
    }
    QUndoStack *stack = m_document->undoStack();
    const int steps = stack->count();
    const KSEditBackground background = m_document->background();
    const KSEditShadow shadow = m_document->shadow();

    const int low = slider->minimum() + (slider->maximum() - slider->minimum()) / 4;
    dragSlider(slider, {low, low + 5, low + 10, low + 20});
    QCOMPARE(stack->count(), steps + 1);
    const KSEditBackground dragged = m_document->background();
    const KSEditShadow draggedShadow = m_document->shadow();
    QVERIFY(!(dragged == background) || !(draggedShadow == shadow));
    // A second drag is a step of its own.
    dragSlider(slider, {low + 30, low + 40});
    QCOMPARE(stack->count(), steps + 2);

    stack->undo();
    QVERIFY(m_document->background() == dragged);
    QVERIFY(m_document->shadow() == draggedShadow);
    QCOMPARE(slider->value(), low + 20);
    stack->undo();
    QVERIFY(m_document->background() == background);
    QVERIFY(m_document->shadow() == shadow);
    stack->redo();
    QVERIFY(m_document->background() == dragged);
    QCOMPARE(slider->value(), low + 20);
}

void TestBackgroundPanel::placementSlidersShowWhatTheyChose()
{
    // Wider than the 300 x 200 frame: it can move left and right at once,
    // up and down only once zoomed.
    QImage picture(600, 200, QImage::Format_RGB32);
    picture.fill(Qt::green);
    m_document->chooseBackground(*KSEditBackground::ofPicture(picture));
    KSBackgroundPicturePage *page = m_panel->picturePage();
    QVERIFY(page->zoomRow()->isEnabled());

    page->shiftXRow()->slider()->setValue(50);
    // Half the way to the picture's edge: (600 - 300) / 2 / 300 / 2.
    QCOMPARE(m_document->background().pictureOffset.x(), 0.25);
    page->zoomRow()->slider()->setValue(200);
    page->shiftYRow()->slider()->setValue(-100);
    const KSEditBackground placed = m_document->background();
    QCOMPARE(placed.pictureScale, 2.0);
    QCOMPARE(placed.pictureOffset.y(), -0.5);

    // Another value shown and back: the sliders read the document again.
    m_document->undoStack()->undo();
    QCOMPARE(page->shiftYRow()->value(), 0);
    m_document->undoStack()->redo();
    QCOMPARE(page->zoomRow()->value(), 200);
    QCOMPARE(page->shiftXRow()->value(), 50);
    QCOMPARE(page->shiftYRow()->value(), -100);

    QTest::mouseClick(page->resetButton(), Qt::LeftButton);
    QCOMPARE(m_document->background().pictureScale, 1.0);
    QCOMPARE(m_document->background().pictureOffset, QPointF());
    QCOMPARE(page->zoomRow()->value(), KSBackgroundPicturePage::kMinZoom);
}

void TestBackgroundPanel::undoAndRedoShowOnThePages()
{
    m_panel->showPage(KSEditBackgroundPanel::Page::blur);
    QTest::mouseClick(m_panel->blurPage()->useButton(), Qt::LeftButton);
    QCOMPARE(int(m_document->background().kind), int(KSEditBackground::Kind::blurredPhoto));
    QVERIFY(m_panel->blurPage()->isApplied());
    QCOMPARE(m_panel->colourPage()->selectedIndex(), -1);

    m_panel->showPage(KSEditBackgroundPanel::Page::shadow);
    QTest::mouseClick(m_panel->shadowPage()->kindButton(KSEditShadow::Kind::contact), Qt::LeftButton);
    QCOMPARE(int(m_document->shadow().kind), int(KSEditShadow::Kind::contact));

    QUndoStack *stack = m_document->undoStack();
    stack->undo();
    QCOMPARE(int(m_panel->shadowPage()->shownShadow().kind), int(KSEditShadow::Kind::none));
    QVERIFY(m_panel->shadowPage()->kindButton(KSEditShadow::Kind::none)->isSelected());
    stack->undo();
    QVERIFY(!m_panel->blurPage()->isApplied());
    QVERIFY(!m_panel->blurPage()->useButton()->isSelected());
    // Transparent again: its cell is marked.
    QCOMPARE(m_panel->colourPage()->selectedIndex(), 0);
    stack->redo();
    stack->redo();
    QVERIFY(m_panel->blurPage()->isApplied());
    QVERIFY(m_panel->shadowPage()->kindButton(KSEditShadow::Kind::contact)->isSelected());
}

void TestBackgroundPanel::colourAfterAPictureReplacesIt()
{
    QImage picture(40, 40, QImage::Format_RGB32);
    picture.fill(Qt::green);
    m_document->chooseBackground(*KSEditBackground::ofPicture(picture));
    m_panel->showPage(KSEditBackgroundPanel::Page::colour);
    // No cell marked: even transparent, the first, can be chosen.
    m_panel->colourPage()->chooseItemAtIndex(0);
    QVERIFY(m_document->background().isTransparent());
    QVERIFY(!m_panel->picturePage()->zoomRow()->isEnabled());
}

QTEST_MAIN(TestBackgroundPanel)
#include "tst_backgroundpanel.moc"
