#include "CommLang.h"
#include "KSCommonUtils.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSettings>
#include <QTest>

class TestCommLang : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void tablesAreCompiledIn();
    void everyTableHoldsEveryKey();
    void translatedTextsStayPut();
    void offeredLanguagesInMenuOrder();

    void langNameFromLocale_data();
    void langNameFromLocale();

    void textThatIsNoKeyComesBackUnchanged();
    void currentLanguageFollowsStoreUntilSet();
    void registeringAppInfoSwitchesLanguage();
};

void TestCommLang::init()
{
    CommLang::setCurrentLanguage({});
    QSettings(QStringLiteral("Cutora"), QStringLiteral("Cutora")).clear();
}

void TestCommLang::tablesAreCompiledIn()
{
    // No Q_INIT_RESOURCE anywhere: linking the static library must be enough.
    QVERIFY(QFile::exists(QStringLiteral(":/lang/keys.json")));
    QVERIFY(QFile::exists(QStringLiteral(":/product/products.json")));
}

void TestCommLang::everyTableHoldsEveryKey()
{
    const QStringList keys = CommLang::allKeys();
    QVERIFY(keys.size() >= 60);
    QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());

    for (const CommLangInfo &info : CommLang::GetAppLangInfos()) {
        QFile file(QStringLiteral(":/lang/%1.json").arg(info.langName));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(info.langName));
        const QJsonObject table = QJsonDocument::fromJson(file.readAll()).object();
        for (const QString &key : keys) {
            const auto text = CommLang::textInLanguage(key, info.langName);
            QVERIFY2(text && !text->trimmed().isEmpty(),
                     qPrintable(info.langName + QStringLiteral(" lacks ") + key));
        }
        // A text in a table but not in the key list is a typo or a leftover.
        for (const QString &key : table.keys())
            QVERIFY2(keys.contains(key), qPrintable(info.langName + QStringLiteral(" has stray ") + key));
    }
}

void TestCommLang::translatedTextsStayPut()
{
    // Screens pass already translated texts through GetAppLang again (the size
    // panel measures them, and matches group titles by text), so a translation
    // must never itself be a key with another translation.
    for (const CommLangInfo &info : CommLang::GetAppLangInfos()) {
        CommLang::setCurrentLanguage(info.langName);
        for (const QString &key : CommLang::allKeys()) {
            const QString text = CommLang::GetAppLang(key);
            QCOMPARE(CommLang::GetAppLang(text), text);
        }
    }
}

void TestCommLang::offeredLanguagesInMenuOrder()
{
    const QList<CommLangInfo> infos = CommLang::GetAppLangInfos();
    QCOMPARE(infos.size(), 2);
    QCOMPARE(infos.at(0).langName, QStringLiteral("English"));
    QCOMPARE(infos.at(1).langName, QStringLiteral("ChineseSimplified"));
    QCOMPARE(infos.at(1).langDisplayName, QStringLiteral("简体中文"));
    QVERIFY(!CommLang::GetAppLangInfoWithLangName(QStringLiteral("German")));
    QCOMPARE(CommLang::GetAppLangInfoWithLangName(QStringLiteral("ChineseSimplified"))->langDisplayName,
             QStringLiteral("简体中文"));
}

void TestCommLang::langNameFromLocale_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("langName");

    QTest::newRow("en_US") << "en_US" << "English";
    QTest::newRow("zh_CN") << "zh_CN" << "ChineseSimplified";
    QTest::newRow("zh-Hans with a hyphen") << "zh-Hans" << "ChineseSimplified";
    QTest::newRow("zh_Hans_CN") << "zh_Hans_CN" << "ChineseSimplified";
    QTest::newRow("zh-Hans-SG") << "zh-Hans-SG" << "ChineseSimplified";
    QTest::newRow("bare zh") << "zh" << "ChineseSimplified";
    QTest::newRow("POSIX form zh_CN.UTF-8") << "zh_CN.UTF-8" << "ChineseSimplified";
    // Traditional Chinese has no table of its own.
    QTest::newRow("zh_TW is Traditional") << "zh_TW" << "English";
    QTest::newRow("zh-Hant-HK") << "zh-Hant-HK" << "English";
    QTest::newRow("other language") << "de_DE" << "English";
    QTest::newRow("C locale") << "C" << "English";
    QTest::newRow("empty") << "" << "English";
    QTest::newRow("garbage") << "%%%" << "English";
    QTest::newRow("a langName maps to itself") << "ChineseSimplified" << "ChineseSimplified";
    QTest::newRow("langName in another case") << "english" << "English";
}

void TestCommLang::langNameFromLocale()
{
    QFETCH(QString, id);
    QFETCH(QString, langName);
    QCOMPARE(CommLang::GetLangName(id), langName);
}

void TestCommLang::textThatIsNoKeyComesBackUnchanged()
{
    CommLang::setCurrentLanguage(QStringLiteral("ChineseSimplified"));
    QCOMPARE(CommLang::GetAppLang(QStringLiteral("Cancel")), QStringLiteral("取消"));
    QCOMPARE(CommLang::GetAppLang(QStringLiteral("1000x1000px")), QStringLiteral("1000x1000px"));
    QCOMPARE(CommLang::GetAppLang(QString()), QString());
    // Keys are case-sensitive.
    QCOMPARE(CommLang::GetAppLang(QStringLiteral("cancel")), QStringLiteral("cancel"));
}

void TestCommLang::currentLanguageFollowsStoreUntilSet()
{
    QSettings store(QStringLiteral("Cutora"), QStringLiteral("Cutora"));
    store.setValue(QStringLiteral("userdefaultAppLanguage"), QStringLiteral("ChineseSimplified"));
    store.sync();
    QCOMPARE(CommLang::currentLanguage(), QStringLiteral("ChineseSimplified"));
    QCOMPARE(CommLang::GetAppLang(QStringLiteral("Setting")), QStringLiteral("设置"));

    // A locale identifier stored by hand still selects a table.
    store.setValue(QStringLiteral("userdefaultAppLanguage"), QStringLiteral("en_GB"));
    store.sync();
    QCOMPARE(CommLang::currentLanguage(), QStringLiteral("English"));

    CommLang::setCurrentLanguage(QStringLiteral("zh_CN"));
    QCOMPARE(CommLang::currentLanguage(), QStringLiteral("ChineseSimplified"));
}

void TestCommLang::registeringAppInfoSwitchesLanguage()
{
    CommAppInfo info;
    info.setAppLang(QStringLiteral("English"));
    KSCommonUtils::initWithCommAppInfo(info, nullptr);
    QCOMPARE(CommLang::GetAppLang(QStringLiteral("Setting")), QStringLiteral("Settings"));

    // The settings panel re-registers after a language pick and relabels itself at once.
    info.setAppLang(QStringLiteral("ChineseSimplified"));
    KSCommonUtils::setAppInfo(info);
    QCOMPARE(CommLang::GetAppLang(QStringLiteral("Setting")), QStringLiteral("设置"));
}

QTEST_GUILESS_MAIN(TestCommLang)
#include "tst_commlang.moc"
