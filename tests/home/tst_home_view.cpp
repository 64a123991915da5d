#include "CommPassport.h"
#include "KSHomeTypeSelectedView.h"
#include "KSHomeView.h"
#include "KSHoverButton.h"
#include "KSNibLoadable.h"
#include "KSPhotoPicker.h"
#include "StreamCapture.h"

#include <QEnterEvent>
#include <QFileDialog>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

struct Pick
{
    QString path;
    KSEraserType type;
};

} // namespace

// A click on a card runs the photo picker; a confirmed pick goes up once
// with the card's type, a cancelled one not at all.
class TestHomeView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void cardClickHandsPickUpWithItsType_data();
    void cardClickHandsPickUpWithItsType();
    void cardShowsItIsOneTarget();
    void pickEndingAfterViewHasGoneCallsNothing();
    void cardsStandWhereTheRuleSays();

private:
    std::unique_ptr<KSHomeView> newHome(QList<Pick> &picks);
    QString m_photo;
    QTemporaryDir m_dir;
};

void TestHomeView::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_photo = m_dir.filePath(QStringLiteral("cat.jpg"));
    QImage(4, 4, QImage::Format_RGB32).save(m_photo);
    QVERIFY(CommPassport::signIn(QStringLiteral("token"), QStringLiteral("Ann"), QString()));
}

void TestHomeView::cleanupTestCase()
{
    CommPassport::signOut();
}

void TestHomeView::cleanup()
{
    KSPhotoPicker::setPhotoDialogRunner({});
}

std::unique_ptr<KSHomeView> TestHomeView::newHome(QList<Pick> &picks)
{
    std::unique_ptr<KSHomeView> home(loadViewFromNib<KSHomeView>());
    home->photoSelectedClosure = [&picks](const QString &path, KSEraserType type) { picks.append({path, type}); };
    home->resize(1080, 512);
    home->show();
    return home;
}

void TestHomeView::cardClickHandsPickUpWithItsType_data()
{
    QTest::addColumn<bool>("objectCard");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("where"); // what on the card is clicked or pressed

    QTest::newRow("object card, confirmed") << true << true << "picture";
    QTest::newRow("person card, confirmed") << false << true << "picture";
    QTest::newRow("object card, cancelled") << true << false << "picture";
    // The whole card is one target, not only its picture.
    QTest::newRow("call to action") << false << true << "call to action";
    QTest::newRow("title") << true << true << "title";
    QTest::newRow("explanation") << false << true << "explanation";
    QTest::newRow("margin") << true << true << "margin";
    QTest::newRow("Space with the focus") << false << true << "space";
    QTest::newRow("Enter with the focus") << true << true << "enter";
}

void TestHomeView::cardClickHandsPickUpWithItsType()
{
    QFETCH(bool, objectCard);
    QFETCH(bool, confirm);
    QFETCH(QString, where);

    const QString photo = m_photo;
    KSPhotoPicker::setPhotoDialogRunner([confirm, photo](QFileDialog &) {
        return confirm ? QStringList{photo} : QStringList{};
    });
    QList<Pick> picks;
    auto home = newHome(picks);

    KSHomeTypeSelectedView *card = objectCard ? home->objectBtn() : home->personBtn();
    QVERIFY(card);
    if (where == QLatin1String("space") || where == QLatin1String("enter")) {
        home->activateWindow();
        card->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(card->hasFocus());
        QTest::keyClick(card, where == QLatin1String("space") ? Qt::Key_Space : Qt::Key_Return);
    } else if (where == QLatin1String("margin")) {
        QTest::mouseClick(card, Qt::LeftButton, {}, QPoint(4, card->height() / 2));
    } else {
        QWidget *target = where == QLatin1String("picture")          ? static_cast<QWidget *>(card->button())
                          : where == QLatin1String("call to action") ? static_cast<QWidget *>(card->titleLabelFirst())
                          : where == QLatin1String("title")          ? static_cast<QWidget *>(card->topTitle())
                                                                     : static_cast<QWidget *>(card->titleLabelSecond());
        QTest::mouseClick(target, Qt::LeftButton);
    }
    QTRY_VERIFY(!confirm || !picks.isEmpty());
    QCoreApplication::processEvents();

    if (!confirm) {
        QVERIFY(picks.isEmpty());
        return;
    }
    QCOMPARE(picks.size(), 1);
    QCOMPARE(picks.at(0).path, photo);
    QCOMPARE(picks.at(0).type, objectCard ? KSEraserType::object : KSEraserType::person);
}

void TestHomeView::cardShowsItIsOneTarget()
{
    QList<Pick> picks;
    auto home = newHome(picks);
    KSHomeTypeSelectedView *card = home->personBtn();
    QVERIFY(card);
    QCOMPARE(card->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(!card->toolTip().isEmpty());
    // One keyboard stop for the card, not one for its picture as well.
    QVERIFY(card->focusPolicy() & Qt::TabFocus);
    QCOMPARE(card->button()->focusPolicy(), Qt::NoFocus);

    // The pointer over the card's text lights the whole card up, picture
    // included; it goes dark again when the pointer leaves.
    // (Offscreen, a move inside a window enters no widget: the events are sent.)
    const QPointF onText = card->titleLabelFirst()->geometry().center();
    QEnterEvent enter(onText, onText, card->mapToGlobal(onText));
    QCoreApplication::sendEvent(card, &enter);
    QVERIFY(card->isHighlighted());
    QCOMPARE(card->button()->currentLook(), KSHoverButton::Look::Hover);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(card, &leave);
    QVERIFY(!card->isHighlighted());
    QCOMPARE(card->button()->currentLook(), KSHoverButton::Look::Normal);

    // A press released off the card is given up.
    KSPhotoPicker::setPhotoDialogRunner([this](QFileDialog &) { return QStringList{m_photo}; });
    QTest::mousePress(card->topTitle(), Qt::LeftButton);
    QTest::mouseRelease(card, Qt::LeftButton, {}, QPoint(-20, -20));
    QCoreApplication::processEvents();
    QVERIFY(picks.isEmpty());
}

void TestHomeView::pickEndingAfterViewHasGoneCallsNothing()
{
    const QString photo = m_photo;
    KSPhotoPicker::setPhotoDialogRunner([photo](QFileDialog &) { return QStringList{photo}; });
    QList<Pick> picks;
    auto home = newHome(picks);

    home->personBtn()->actionForEraserBtnWithSender();
    // The pick is answered from the event loop; the view goes first.
    home.reset();
    QCoreApplication::processEvents();

    QVERIFY(picks.isEmpty());
}

void TestHomeView::cardsStandWhereTheRuleSays()
{
    QList<Pick> picks;
    auto home = newHome(picks);
    // 801 wide puts the anchored edges on half points; on whole pixels the
    // cards must still stand the same distance from their sides.
    {
        // Laid out in silence: the terminal is not the window's trace.
        StreamCapture out(STDOUT_FILENO, stdout);
        home->resize(801, 600);
        QCoreApplication::processEvents();
        QCOMPARE(out.text(), QByteArray());
    }

    const QRect person = home->personBtn()->geometry();
    const QRect object = home->objectBtn()->geometry();
    QCOMPARE(person.left(), 101);
    QCOMPARE(801 - (object.left() + object.width()), person.left());
    QCOMPARE(object.size(), person.size());
    QCOMPARE(person.center().y(), 300);
}

QTEST_MAIN(TestHomeView)
#include "tst_home_view.moc"
