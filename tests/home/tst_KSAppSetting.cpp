#include "KSAppSetting.h"

#include "CommLang.h"
#include "CommPassport.h"
#include "KSBookmark.h"
#include "KSUserDefaultKit.h"
#include "NoticeLog.h"

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
    void cleanup() { CommPassport::signOut(); }
    void sizeTitles_data();
    void sizeTitles();
    void originalSizeKeepsThePhotosPixels();
    void formatTitles_data();
    void formatTitles();
    void setByTitleWritesOnlyKnownTitles();
    void firstLanguageIsSystemsThenStored();
    void outputFolders();
    void pickerAsksForSignInThenOpensTheDialog();
    void pickerOpensInTheLastFolder();
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

static QString jpgTitle()
{
    return CommLang::GetAppLang(QStringLiteral("JpgIntroduce"));
}

void tst_KSAppSetting::init()
{
    KSUserDefaultKit::openStore()->clear();
    KSAppSetting::setPhotoDialogRunner({});
    KSAppSetting::setSignInRequestHandler({});
    QVERIFY(CommPassport::signIn(QStringLiteral("token"), QStringLiteral("Ann"), QString()));
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

void tst_KSAppSetting::pickerAsksForSignInThenOpensTheDialog()
{
    QVERIFY(CommPassport::signOut());
    QList<std::function<void()>> signInRequests;
    int dialogsShown = 0;
    const QString photo = m_photos.filePath(QStringLiteral("after-sign-in.jpg"));
    KSAppSetting::setSignInRequestHandler([&](std::function<void()> signedIn) { signInRequests << signedIn; });
    KSAppSetting::setPhotoDialogRunner([&](QFileDialog &) {
        ++dialogsShown;
        return QStringList{photo};
    });
    QString received;
    KSAppSetting::selectPhoto([&](const QString &path) { received = path; });
    QCOMPARE(signInRequests.size(), 1);
    QCOMPARE(dialogsShown, 0);

    // The account window closes signed in: the pick goes on where it stopped.
    QVERIFY(CommPassport::signIn(QStringLiteral("token"), QStringLiteral("Ann"), QString()));
    signInRequests.first()();
    QCOMPARE(dialogsShown, 1);
    QTRY_COMPARE(received, photo);
}

void tst_KSAppSetting::pickerOpensInTheLastFolder()
{
    QString directory;
    QString answer;
    KSAppSetting::setPhotoDialogRunner([&](QFileDialog &dialog) {
        directory = dialog.directory().absolutePath();
        return QStringList{answer};
    });
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    QVERIFY(QDir().mkpath(pictures));
    QCOMPARE(KSAppSetting::photoDirectory(), pictures);

    QTemporaryDir album;
    answer = QDir(album.path()).filePath(QStringLiteral("beach.png"));
    KSAppSetting::selectPhoto();
    answer = QDir(album.path()).filePath(QStringLiteral("dunes.png"));
    KSAppSetting::selectPhoto();
    QCOMPARE(directory, QDir(album.path()).absolutePath());

    // A folder gone since: the pictures folder again, or home without one.
    QVERIFY(album.remove());
    QCOMPARE(KSAppSetting::photoDirectory(), pictures);
    QVERIFY(QDir(pictures).removeRecursively());
    QCOMPARE(KSAppSetting::photoDirectory(), QDir::homePath());
}

void tst_KSAppSetting::pickerHandsOnAndBookmarksThePhoto()
{
    const QString photo = m_photos.filePath(QStringLiteral("IMG_0001.HEIC"));
    QFile file(photo);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QString filter;
    KSAppSetting::setPhotoDialogRunner([&](QFileDialog &dialog) {
        if (dialog.fileMode() == QFileDialog::ExistingFile && dialog.windowModality() == Qt::ApplicationModal)
            filter = dialog.nameFilters().join(u' ');
        return QStringList{photo};
    });
    QString received;
    KSAppSetting::selectPhoto([&](const QString &path) { received = path; });
    for (const char *pattern : {"*.jpg", "*.JPG", "*.png", "*.jpeg", "*.bmp", "*.tiff", "*.heic", "*.HEIC"})
        QVERIFY2(filter.contains(QLatin1String(pattern)), pattern);
    // Handed on from the event loop, once the dialog is gone.
    QVERIFY(received.isEmpty());
    QTRY_COMPARE(received, photo);
    QVERIFY(KSBookmark::defaultShareBookmark()->BookmarkStartAccessingSecurityScopedResourceWithFilePath(photo));
    QVERIFY(KSBookmark::defaultShareBookmark()->BookmarkStopAccessingSecurityScopedResourceWithFilePath(photo));
}

void tst_KSAppSetting::pickerCancelOrWrongTypeDoesNothing_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<bool>("notice"); // the user hears why nothing follows
    QTest::newRow("cancelled") << QStringList{} << false;
    QTest::newRow("typed-in other type") << QStringList{QStringLiteral("movie.gif")} << true;
}

void tst_KSAppSetting::pickerCancelOrWrongTypeDoesNothing()
{
    QFETCH(QStringList, chosen);
    QFETCH(bool, notice);
    NoticeLog log;
    const QList<KSNotice> &notices = log.notices;
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
    QCOMPARE(notices.size(), notice ? 1 : 0);
    if (notice)
        QVERIFY2(notices.first().message.contains(QStringLiteral("movie.gif")), qPrintable(notices.first().message));
}

QTEST_MAIN(tst_KSAppSetting)
#include "tst_KSAppSetting.moc"
