#include "CommProductInfo.h"
#include "CommUtils.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestCommIdentity : public QObject
{
    Q_OBJECT

private slots:
    void productRecordPerLanguage_data();
    void productRecordPerLanguage();
    void unknownProductHasNoRecord();
    void createDirectoryMakesParents();
};

void TestCommIdentity::productRecordPerLanguage_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("homePrefix");

    QTest::newRow("English") << "English" << "https://www.cutora.app/";
    QTest::newRow("ChineseSimplified") << "ChineseSimplified" << "https://www.cutora.app/zh-cn/";
    QTest::newRow("unknown language reads English") << "German" << "https://www.cutora.app/";
}

void TestCommIdentity::productRecordPerLanguage()
{
    QFETCH(QString, lang);
    QFETCH(QString, homePrefix);
    const auto info = CommProductInfo::getInfoWithProductID(449, lang, QStringLiteral("saas"));
    QVERIFY(info);
    QCOMPARE(info->identify, QStringLiteral("Cutora"));
    QCOMPARE(info->urlHome, homePrefix);
    for (const QString &url : {info->urlSupport, info->urlFAQ, info->urlForum, info->urlProduct})
        QVERIFY2(url.startsWith(homePrefix), qPrintable(url));
    QVERIFY(!info->localizedName.isEmpty());
}

void TestCommIdentity::unknownProductHasNoRecord()
{
    QVERIFY(!CommProductInfo::getInfoWithProductID(1, QStringLiteral("English"), QStringLiteral("saas")));
    QCOMPARE(CommProductInfo::getAppIdentifyByID(449), QStringLiteral("Cutora"));
    QVERIFY(CommProductInfo::getAppIdentifyByID(1).isEmpty());
}

void TestCommIdentity::createDirectoryMakesParents()
{
    QTemporaryDir root;
    const QString deep = root.filePath(QStringLiteral("a/b/c"));
    QVERIFY(CommUtils::CreateDirectoryAtPath(deep));
    QVERIFY(QDir(deep).exists());
    QVERIFY(CommUtils::CreateDirectoryAtPath(deep)); // already there

    const QString file = root.filePath(QStringLiteral("plain"));
    QFile(file).open(QIODevice::WriteOnly);
    QVERIFY(!CommUtils::CreateDirectoryAtPath(file));
    QVERIFY(!CommUtils::CreateDirectoryAtPath(QString()));
}

QTEST_GUILESS_MAIN(TestCommIdentity)
#include "tst_commidentity.moc"
