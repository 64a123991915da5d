#include "KSAppSetting.h"

#include "CommLang.h"
#include "CommPassport.h"
#include "KSBookmark.h"
#include "KSUserDefaultKit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class tst_KSAppSetting : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void freshSizeIsStored2K();
    void sizeTitles_data();
    void sizeTitles();
    void setSizeByTitle_data();
    void setSizeByTitle();
    void formatTitles_data();
    void formatTitles();
    void setFormatByTitle_data();
    void setFormatByTitle();
    void firstLanguageIsSystemsThenStored();
    void languageWithoutFirstRunFallsBackToEnglish();
    void defaultOutputFolderIsCreatedNotStored();
    void storedOutputFolderIsRemade();
    void chosenOutputFolderIsBookmarked();
    void appInfoFollowsLanguage();
    void appTypeFromMarker_data();
    void appTypeFromMarker();
    void pickerAsksForSignInFirst();
    void pickerHandsOnAndBookmarksThePhoto();
    void pickerCancelOrWrongTypeDoesNothing_data();
    void pickerCancelOrWrongTypeDoesNothing();

private:
    QTemporaryDir m_photos;
};

static QString stored(const QString &key)
{
    return KSUserDefaultKit::getFromUserDefaults_NSString(key);
}

void tst_KSAppSetting::init()
{
    KSUserDefaultKit::openStore()->clear();
    KSAppSetting::setPhotoDialogRunner({});
    KSAppSetting::setSignInRequestHandler({});
    QVERIFY(CommPassport::signIn(QStringLiteral("token"), QStringLiteral("Ann"), QString()));
}

void tst_KSAppSetting::cleanup()
{
    CommPassport::signOut();
}

void tst_KSAppSetting::freshSizeIsStored2K()
{
    QCOMPARE(KSAppSetting::outputSize(), 2000);
    QCOMPARE(stored(KSAppSetting::kOutputSize), QStringLiteral("2000"));
    QCOMPARE(KSAppSetting::outputSizeTitle(), QStringLiteral("2K"));
}

void tst_KSAppSetting::sizeTitles_data()
{
    QTest::addColumn<QString>("storedSize");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("title");
    // What a second run reads from the file: text.
    QTest::newRow("4K") << "4000" << 4000 << "4K";
    QTest::newRow("1080P") << "1080" << 1080 << "1080P";
    QTest::newRow("outside the table keeps its size") << "3000" << 3000 << "2K";
    QTest::newRow("zero means unset") << "0" << 2000 << "2K";
    QTest::newRow("negative means unset") << "-4000" << 2000 << "2K";
}

void tst_KSAppSetting::sizeTitles()
{
    QFETCH(QString, storedSize);
    QFETCH(int, size);
    QFETCH(QString, title);
    KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kOutputSize, storedSize);
    QCOMPARE(KSAppSetting::outputSize(), size);
    QCOMPARE(KSAppSetting::outputSizeTitle(), title);
}

void tst_KSAppSetting::setSizeByTitle_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("size");
    QTest::newRow("4K") << "4K" << 4000;
    QTest::newRow("1080P") << "1080P" << 1080;
    QTest::newRow("unknown title writes nothing") << "8K" << 1080;
    QTest::newRow("value is no title") << "4000" << 1080;
}

void tst_KSAppSetting::setSizeByTitle()
{
    QFETCH(QString, title);
    QFETCH(int, size);
    KSAppSetting::setOutputSize(QStringLiteral("1080P"));
    KSAppSetting::setOutputSize(title);
    QCOMPARE(KSAppSetting::outputSize(), size);
}

void tst_KSAppSetting::formatTitles_data()
{
    QTest::addColumn<QString>("storedFormat"); // empty: nothing stored
    QTest::addColumn<QString>("title");
    const QString jpgTitle = CommLang::GetAppLang(QStringLiteral("JpgIntroduce"));
    QTest::newRow("nothing stored") << "" << jpgTitle;
    QTest::newRow("jpg") << "jpg" << jpgTitle;
    QTest::newRow("png") << "png" << "PNG";
    QTest::newRow("unknown reads as jpg") << "gif" << jpgTitle;
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

void tst_KSAppSetting::setFormatByTitle_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("format"); // empty: nothing stored
    QTest::newRow("PNG") << "PNG" << "png";
    QTest::newRow("jpg title") << CommLang::GetAppLang(QStringLiteral("JpgIntroduce")) << "jpg";
    QTest::newRow("value is no title") << "png" << "";
    QTest::newRow("case matters") << "Png" << "";
}

void tst_KSAppSetting::setFormatByTitle()
{
    QFETCH(QString, title);
    QFETCH(QString, format);
    KSAppSetting::setOutputFormat(title);
    QCOMPARE(stored(KSAppSetting::kOutputFormat), format.isEmpty() ? QString() : format);
}

void tst_KSAppSetting::firstLanguageIsSystemsThenStored()
{
    const QString system = CommLang::GetSystemLanguage();
    QCOMPARE(KSAppSetting::appLanguage(), system);
    QCOMPARE(stored(KSAppSetting::kAppLanguage), system);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_BOOL(KSAppSetting::kFirstLaunch, true), false);

    const QString other = system == u"English" ? QStringLiteral("ChineseSimplified") : QStringLiteral("English");
    KSAppSetting::setAppLanguage(other);
    QCOMPARE(KSAppSetting::appLanguage(), other);
}

void tst_KSAppSetting::languageWithoutFirstRunFallsBackToEnglish()
{
    KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kFirstLaunch, false);
    QCOMPARE(KSAppSetting::appLanguage(), QStringLiteral("English"));
    QVERIFY(!KSUserDefaultKit::hasObjectForKey(KSAppSetting::kAppLanguage));
}

void tst_KSAppSetting::defaultOutputFolderIsCreatedNotStored()
{
    const QString expected = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                             + QStringLiteral("/cutora");
    QDir(expected).removeRecursively();
    QCOMPARE(KSAppSetting::outputDirectory(), expected);
    QVERIFY(QFileInfo(expected).isDir());
    QVERIFY(!KSUserDefaultKit::hasObjectForKey(KSAppSetting::kOutputDir));
}

void tst_KSAppSetting::storedOutputFolderIsRemade()
{
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("out/deeper"));
    KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kOutputDir, folder);
    QCOMPARE(KSAppSetting::outputDirectory(), folder);
    QVERIFY(QFileInfo(folder).isDir());
}

void tst_KSAppSetting::chosenOutputFolderIsBookmarked()
{
    QTemporaryDir folder;
    KSAppSetting::setOutputDirectory(folder.path());
    QCOMPARE(KSAppSetting::outputDirectory(), folder.path());
    KSBookmark *bookmarks = KSBookmark::defaultShareBookmark();
    QVERIFY(bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(folder.path()));
    QVERIFY(bookmarks->BookmarkStopAccessingSecurityScopedResourceWithFilePath(folder.path()));

    // An empty choice must not replace a working folder.
    KSAppSetting::setOutputDirectory(QString());
    QCOMPARE(KSAppSetting::outputDirectory(), folder.path());
}

void tst_KSAppSetting::appInfoFollowsLanguage()
{
    KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kFirstLaunch, false);
    KSAppSetting::setAppLanguage(QStringLiteral("ChineseSimplified"));
    const CommAppInfo chinese = KSAppSetting::appInfo();
    KSAppSetting::setAppLanguage(QStringLiteral("English"));
    const CommAppInfo english = KSAppSetting::appInfo();
    QCOMPARE(english.appID(), 449);
    QCOMPARE(english.appLang(), QStringLiteral("English"));
    QCOMPARE(chinese.appLang(), QStringLiteral("ChineseSimplified"));
    QVERIFY(!english.appName().isEmpty());
    QVERIFY(english.urlSupport() != chinese.urlSupport());
    QVERIFY(english.appVersion().endsWith(QStringLiteral("(Build 21/05/2021)")));
    QCOMPARE(english.appType(), KSAppSetting::appType());
}

void tst_KSAppSetting::appTypeFromMarker_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no marker file
    QTest::addColumn<QString>("type");
    QTest::newRow("no marker") << QByteArray() << "saas";
    QTest::newRow("line ends removed") << QByteArray("pro\r\n") << "pro";
    QTest::newRow("not UTF-8") << QByteArray("\xff\xfe\x00") << "saas";
    QTest::newRow("empty") << QByteArray("") << "saas";
}

void tst_KSAppSetting::appTypeFromMarker()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, type);
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral(".APP_Type"));
    if (!content.isNull()) {
        QFile file(marker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QCOMPARE(KSAppSetting::appTypeFromMarker(marker), type);
}

void tst_KSAppSetting::pickerAsksForSignInFirst()
{
    QVERIFY(CommPassport::signOut());
    int signInRequests = 0;
    bool dialogShown = false;
    KSAppSetting::setSignInRequestHandler([&] { ++signInRequests; });
    KSAppSetting::setPhotoDialogRunner([&](QFileDialog &) {
        dialogShown = true;
        return QStringList{};
    });
    KSAppSetting::selectPhoto([](const QString &) { QFAIL("no photo without sign-in"); });
    QCOMPARE(signInRequests, 1);
    QVERIFY(!dialogShown);
}

void tst_KSAppSetting::pickerHandsOnAndBookmarksThePhoto()
{
    const QString photo = m_photos.filePath(QStringLiteral("IMG_0001.HEIC"));
    QFile file(photo);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    KSAppSetting::setPhotoDialogRunner([&](QFileDialog &dialog) {
        [&] {
            QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFile);
            QCOMPARE(dialog.windowModality(), Qt::ApplicationModal);
            const QString filter = dialog.nameFilters().join(u' ');
            for (const char *pattern : {"*.jpg", "*.JPG", "*.png", "*.jpeg", "*.bmp", "*.tiff", "*.heic", "*.HEIC"})
                QVERIFY2(filter.contains(QLatin1String(pattern)), pattern);
        }();
        return QStringList{photo};
    });
    QString received;
    KSAppSetting::selectPhoto([&](const QString &path) { received = path; });
    // Handed on from the event loop, after the dialog is gone.
    QVERIFY(received.isEmpty());
    QTRY_COMPARE(received, photo);
    KSBookmark *bookmarks = KSBookmark::defaultShareBookmark();
    QVERIFY(bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(photo));
    QVERIFY(bookmarks->BookmarkStopAccessingSecurityScopedResourceWithFilePath(photo));
}

void tst_KSAppSetting::pickerCancelOrWrongTypeDoesNothing_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::newRow("cancelled") << QStringList{};
    QTest::newRow("typed-in other type") << QStringList{QStringLiteral("movie.gif")};
}

void tst_KSAppSetting::pickerCancelOrWrongTypeDoesNothing()
{
    QFETCH(QStringList, chosen);
    QStringList files;
    for (const QString &name : chosen) {
        files << m_photos.filePath(name);
        QFile file(files.last());
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    KSAppSetting::setPhotoDialogRunner([&](QFileDialog &) { return files; });
    bool called = false;
    KSAppSetting::selectPhoto([&](const QString &) { called = true; });
    QCoreApplication::processEvents();
    QVERIFY(!called);
    for (const QString &path : files)
        QVERIFY(!KSUserDefaultKit::hasObjectForKey(path));
}

QTEST_MAIN(tst_KSAppSetting)
#include "tst_KSAppSetting.moc"
