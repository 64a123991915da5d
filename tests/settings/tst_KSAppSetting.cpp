#include "KSAppSetting.h"

#include "CommLang.h"
#include "KSBookmark.h"
#include "KSUserDefaultKit.h"

#include <QDate>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class tst_KSAppSetting : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sizeTitles_data();
    void sizeTitles();
    void originalSizeKeepsThePhotosPixels();
    void formatTitles_data();
    void formatTitles();
    void setByTitleWritesOnlyKnownTitles();
    void firstLanguageIsSystemsThenStored();
    void outputFolders();
    void versionNamesTheBuildDate();
};

static QString stored(const QString &key)
{
    return KSUserDefaultKit::getFromUserDefaults_NSString(key);
}

static QString jpgTitle()
{
    return CommLang::GetAppLang(QStringLiteral("JpgIntroduce"));
}

void tst_KSAppSetting::init()
{
    KSUserDefaultKit::openStore()->clear();
}

void tst_KSAppSetting::sizeTitles_data()
{
    QTest::addColumn<QString>("storedSize"); // empty: nothing stored
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("title");
    QTest::newRow("fresh installation") << "" << 2000 << "2K";
    // What a second run reads from the file: text.
    QTest::newRow("4K") << "4000" << 4000 << "4K";
    QTest::newRow("1080P") << "1080" << 1080 << "1080P";
    QTest::newRow("outside the table keeps its size") << "3000" << 3000 << "2K";
    QTest::newRow("negative means unset") << "-4000" << 2000 << "2K";
}

void tst_KSAppSetting::sizeTitles()
{
    QFETCH(QString, storedSize);
    QFETCH(int, size);
    QFETCH(QString, title);
    if (!storedSize.isEmpty())
        KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kOutputSize, storedSize);
    QCOMPARE(KSAppSetting::outputSize(), size);
    QCOMPARE(KSAppSetting::outputSizeTitle(), title);
    QCOMPARE(stored(KSAppSetting::kOutputSize), QString::number(size)); // an unset size is written
}

void tst_KSAppSetting::originalSizeKeepsThePhotosPixels()
{
    const QString original = CommLang::GetAppLang(QStringLiteral("OriginalSize"));
    QVERIFY(original != u"OriginalSize");
    KSAppSetting::setOutputSize(original);
    // Stored apart from 0, which reads as unset.
    QCOMPARE(stored(KSAppSetting::kOutputSize), QString::number(KSAppSetting::kOriginalOutputSize));
    QCOMPARE(KSAppSetting::outputSize(), 0);
    QCOMPARE(KSAppSetting::outputSizeTitle(), original);
    QCOMPARE(KSAppSetting::fileSizes().last().title, original);
}

void tst_KSAppSetting::formatTitles_data()
{
    QTest::addColumn<QString>("storedFormat"); // empty: nothing stored
    QTest::addColumn<QString>("title");
    QTest::newRow("nothing stored") << "" << jpgTitle();
    QTest::newRow("png") << "png" << "PNG";
    QTest::newRow("unknown reads as jpg") << "gif" << jpgTitle();
}

void tst_KSAppSetting::formatTitles()
{
    QFETCH(QString, storedFormat);
    QFETCH(QString, title);
    if (!storedFormat.isEmpty())
        KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kOutputFormat, storedFormat);
    QVERIFY(title != u"JpgIntroduce"); // the language table knows the key
    QCOMPARE(KSAppSetting::outputFormatTitle(), title);
}

void tst_KSAppSetting::setByTitleWritesOnlyKnownTitles()
{
    KSAppSetting::setOutputSize(QStringLiteral("4K"));
    KSAppSetting::setOutputSize(QStringLiteral("8K"));
    KSAppSetting::setOutputSize(QStringLiteral("1080")); // a value, not a title
    QCOMPARE(KSAppSetting::outputSize(), 4000);

    KSAppSetting::setOutputFormat(QStringLiteral("png"));
    QVERIFY(stored(KSAppSetting::kOutputFormat).isNull());
    KSAppSetting::setOutputFormat(QStringLiteral("PNG"));
    QCOMPARE(stored(KSAppSetting::kOutputFormat), QStringLiteral("png"));
    KSAppSetting::setOutputFormat(jpgTitle());
    QCOMPARE(stored(KSAppSetting::kOutputFormat), QStringLiteral("jpg"));
}

void tst_KSAppSetting::firstLanguageIsSystemsThenStored()
{
    const QString system = CommLang::GetSystemLanguage();
    QCOMPARE(KSAppSetting::appLanguage(), system);
    QCOMPARE(stored(KSAppSetting::kAppLanguage), system);

    const QString other = system == u"English" ? QStringLiteral("ChineseSimplified") : QStringLiteral("English");
    KSAppSetting::setAppLanguage(other);
    QCOMPARE(KSAppSetting::appLanguage(), other);
    QCOMPARE(KSAppSetting::appInfo().appLang(), other);

    // Past the first run, a missing language is English, not the system's.
    KSUserDefaultKit::removeObjectForKey(KSAppSetting::kAppLanguage);
    QCOMPARE(KSAppSetting::appLanguage(), QStringLiteral("English"));
}

void tst_KSAppSetting::outputFolders()
{
    const QString fallback = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                             + QStringLiteral("/cutora");
    QDir(fallback).removeRecursively();
    QCOMPARE(KSAppSetting::outputDirectory(), fallback);
    QVERIFY(QFileInfo(fallback).isDir());
    QVERIFY(!KSUserDefaultKit::hasObjectForKey(KSAppSetting::kOutputDir));

    QTemporaryDir root;
    const QString chosen = root.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(chosen));
    KSAppSetting::setOutputDirectory(chosen);
    QVERIFY(KSBookmark::defaultShareBookmark()->BookmarkStartAccessingSecurityScopedResourceWithFilePath(chosen));
    QVERIFY(KSBookmark::defaultShareBookmark()->BookmarkStopAccessingSecurityScopedResourceWithFilePath(chosen));
    // An empty choice must not replace a working folder.
    KSAppSetting::setOutputDirectory(QString());
    // A chosen folder deleted since is made again.
    QVERIFY(QDir(chosen).removeRecursively());
    QCOMPARE(KSAppSetting::outputDirectory(), chosen);
    QVERIFY(QFileInfo(chosen).isDir());
}

void tst_KSAppSetting::versionNamesTheBuildDate()
{
    // The version, a space, and the date this build was configured (or its
    // sources', for a reproducible build), never a fixed date.
    const QString version = KSAppSetting::versionString();
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^(\\S+) \\(Build (\\d{4}-\\d{2}-\\d{2})\\)$")).match(version);
    QVERIFY2(match.hasMatch(), qPrintable(version));
    QCOMPARE(match.captured(1), QStringLiteral(CUTORA_VERSION_STRING));
    const QDate built = QDate::fromString(match.captured(2), Qt::ISODate);
    QVERIFY(built.isValid());
    QVERIFY2(built <= QDate::currentDate().addDays(1), qPrintable(version));
}

QTEST_MAIN(tst_KSAppSetting)
#include "tst_KSAppSetting.moc"
