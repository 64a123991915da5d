#include "KSFileConst.h"
#include "KSNibLoadable.h"
#include "KSStringExtension.h"
#include "ui_KSNibProbeView.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

// A view laid out by its .ui file.
class KSNibProbeView : public QWidget
{
    Q_OBJECT
public:
    explicit KSNibProbeView(QWidget *parent = nullptr) : QWidget(parent), ui(std::make_unique<Ui::KSNibProbeView>())
    {
        ui->setupUi(this);
    }
    std::unique_ptr<Ui::KSNibProbeView> ui;
};

// A view whose layout needs something that may be missing.
class KSFailingView : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    bool loadNib() { return false; }
};

// The folder functions, the string operations and view loading.
class tst_KSCommonConst : public QObject
{
    Q_OBJECT

private slots:
    void tempFolderIsMadeOnFreshAccount();
    void fileStandingAtFolderPathIsLeftAlone();
    void jsonObjectsOnly_data();
    void jsonObjectsOnly();
    void emailWholeStringMatch_data();
    void emailWholeStringMatch();
    void viewsLoadFromTheirLayout();
};

void tst_KSCommonConst::tempFolderIsMadeOnFreshAccount()
{
    // Not even ~/.cache exists yet.
    const QString cacheRoot = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QDir(cacheRoot).removeRecursively();
    QCOMPARE(KSTempAppWithFileName(QStringLiteral("a.png")), cacheRoot + QStringLiteral("/Cutora/temp/a.png"));
    QVERIFY(QFileInfo(cacheRoot + QStringLiteral("/Cutora/temp")).isDir());
}

void tst_KSCommonConst::fileStandingAtFolderPathIsLeftAlone()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QDir(documents).removeRecursively();
    QVERIFY(QDir().mkpath(documents));
    QFile blocker(documents + QStringLiteral("/download"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.write("keep");
    blocker.close();

    QCOMPARE(KSDownloadAppWithFileName(QStringLiteral("x.jpg")), documents + QStringLiteral("/download/x.jpg"));
    QVERIFY(blocker.open(QIODevice::ReadOnly));
    QCOMPARE(blocker.readAll(), QByteArray("keep"));
}

void tst_KSCommonConst::jsonObjectsOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("members"); // -1: none
    QTest::newRow("one member") << R"({"status":"200"})" << 1;
    QTest::newRow("array") << "[1,2]" << -1;
    QTest::newRow("not json") << "status=200" << -1;
    QTest::newRow("empty") << "" << -1;
}

void tst_KSCommonConst::jsonObjectsOnly()
{
    QFETCH(QString, text);
    QFETCH(int, members);
    const std::optional<QVariantMap> map = dictionaryWithJsonString(text);
    QCOMPARE(map ? int(map->size()) : -1, members);
    // Callers tell a status sent as text from one sent as a number.
    if (map)
        QCOMPARE(map->value(QStringLiteral("status")).typeId(), QMetaType::QString);
}

void tst_KSCommonConst::emailWholeStringMatch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "ann.lee+tag@mail.example.com" << true;
    QTest::newRow("no dot in domain") << "a@localhost" << false;
    QTest::newRow("five letter suffix") << "a@b.abcde" << false;
    QTest::newRow("text around") << "mail me: a@b.com" << false;
}

void tst_KSCommonConst::emailWholeStringMatch()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(isValidateEmail(text), valid);
}

void tst_KSCommonConst::viewsLoadFromTheirLayout()
{
    QWidget parent;
    KSNibProbeView *view = loadViewFromNib<KSNibProbeView>(&parent);
    QVERIFY(view);
    QCOMPARE(view->parentWidget(), &parent);
    QCOMPARE(view->objectName(), QStringLiteral("KSNibProbeView"));
    QVERIFY(view->findChild<QLabel *>(QStringLiteral("titleLabel")));

    // A view that cannot be built is none and leaves nothing behind.
    QCOMPARE(loadViewFromNib<KSFailingView>(&parent), nullptr);
    QVERIFY(parent.findChildren<KSFailingView *>().isEmpty());
}

QTEST_MAIN(tst_KSCommonConst)
#include "tst_KSCommonConst.moc"
