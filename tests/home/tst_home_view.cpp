#include "CommPassport.h"
#include "KSHomeTypeSelectedView.h"
#include "KSHomeView.h"
#include "KSHoverButton.h"
#include "KSNibLoadable.h"
#include "KSPhotoPicker.h"

#include <QFileDialog>
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

    QTest::newRow("object card, confirmed") << true << true;
    QTest::newRow("person card, confirmed") << false << true;
    QTest::newRow("object card, cancelled") << true << false;
}

void TestHomeView::cardClickHandsPickUpWithItsType()
{
    QFETCH(bool, objectCard);
    QFETCH(bool, confirm);

    const QString photo = m_photo;
    KSPhotoPicker::setPhotoDialogRunner([confirm, photo](QFileDialog &) {
        return confirm ? QStringList{photo} : QStringList{};
    });
    QList<Pick> picks;
    auto home = newHome(picks);

    KSHomeTypeSelectedView *card = objectCard ? home->objectBtn() : home->personBtn();
    QVERIFY(card);
    QTest::mouseClick(card->button(), Qt::LeftButton);
    QTest::qWait(0);
    QCoreApplication::processEvents();

    if (!confirm) {
        QVERIFY(picks.isEmpty());
        return;
    }
    QCOMPARE(picks.size(), 1);
    QCOMPARE(picks.at(0).path, photo);
    QCOMPARE(picks.at(0).type, objectCard ? KSEraserType::object : KSEraserType::person);
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
    home->resize(801, 600);
    QCoreApplication::processEvents();

    const QRect person = home->personBtn()->geometry();
    const QRect object = home->objectBtn()->geometry();
    QCOMPARE(person.left(), 101);
    QCOMPARE(801 - (object.left() + object.width()), person.left());
    QCOMPARE(object.size(), person.size());
    QCOMPARE(person.center().y(), 300);
}

QTEST_MAIN(TestHomeView)
#include "tst_home_view.moc"
