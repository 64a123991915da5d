#include "KSPhotoPicker.h"

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

class tst_KSPhotoPicker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { CommPassport::signOut(); }
    void pickerAsksForSignInThenOpensTheDialog();
    void pickerOpensInTheLastFolder();
    void pickerHandsOnAndBookmarksThePhoto();
    void pickerCancelOrWrongTypeDoesNothing_data();
    void pickerCancelOrWrongTypeDoesNothing();

private:
    QTemporaryDir m_photos;
};

void tst_KSPhotoPicker::init()
{
    KSUserDefaultKit::openStore()->clear();
    KSPhotoPicker::setPhotoDialogRunner({});
    KSPhotoPicker::setSignInRequestHandler({});
    QVERIFY(CommPassport::signIn(QStringLiteral("token"), QStringLiteral("Ann"), QString()));
}

void tst_KSPhotoPicker::pickerAsksForSignInThenOpensTheDialog()
{
    QVERIFY(CommPassport::signOut());
    QList<std::function<void()>> signInRequests;
    int dialogsShown = 0;
    const QString photo = m_photos.filePath(QStringLiteral("after-sign-in.jpg"));
    KSPhotoPicker::setSignInRequestHandler([&](std::function<void()> signedIn) { signInRequests << signedIn; });
    KSPhotoPicker::setPhotoDialogRunner([&](QFileDialog &) {
        ++dialogsShown;
        return QStringList{photo};
    });
    QString received;
    KSPhotoPicker::selectPhoto([&](const QString &path) { received = path; });
    QCOMPARE(signInRequests.size(), 1);
    QCOMPARE(dialogsShown, 0);

    // The account window closes signed in: the pick goes on where it stopped.
    QVERIFY(CommPassport::signIn(QStringLiteral("token"), QStringLiteral("Ann"), QString()));
    signInRequests.first()();
    QCOMPARE(dialogsShown, 1);
    QTRY_COMPARE(received, photo);
}

void tst_KSPhotoPicker::pickerOpensInTheLastFolder()
{
    QString directory;
    QString answer;
    KSPhotoPicker::setPhotoDialogRunner([&](QFileDialog &dialog) {
        directory = dialog.directory().absolutePath();
        return QStringList{answer};
    });
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    QVERIFY(QDir().mkpath(pictures));
    QCOMPARE(KSPhotoPicker::photoDirectory(), pictures);

    QTemporaryDir album;
    answer = QDir(album.path()).filePath(QStringLiteral("beach.png"));
    KSPhotoPicker::selectPhoto();
    answer = QDir(album.path()).filePath(QStringLiteral("dunes.png"));
    KSPhotoPicker::selectPhoto();
    QCOMPARE(directory, QDir(album.path()).absolutePath());

    // A folder gone since: the pictures folder again, or home without one.
    QVERIFY(album.remove());
    QCOMPARE(KSPhotoPicker::photoDirectory(), pictures);
    QVERIFY(QDir(pictures).removeRecursively());
    QCOMPARE(KSPhotoPicker::photoDirectory(), QDir::homePath());
}

void tst_KSPhotoPicker::pickerHandsOnAndBookmarksThePhoto()
{
    const QString photo = m_photos.filePath(QStringLiteral("IMG_0001.HEIC"));
    QFile file(photo);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QString filter;
    KSPhotoPicker::setPhotoDialogRunner([&](QFileDialog &dialog) {
        if (dialog.fileMode() == QFileDialog::ExistingFile && dialog.windowModality() == Qt::ApplicationModal)
            filter = dialog.nameFilters().join(u' ');
        return QStringList{photo};
    });
    QString received;
    KSPhotoPicker::selectPhoto([&](const QString &path) { received = path; });
    for (const char *pattern :
         {"*.jpg", "*.JPG", "*.png", "*.jpeg", "*.bmp", "*.tif", "*.tiff", "*.webp", "*.WEBP", "*.heic", "*.HEIC", "*.heif"})
        QVERIFY2(filter.contains(QLatin1String(pattern)), pattern);
    // Handed on from the event loop, once the dialog is gone.
    QVERIFY(received.isEmpty());
    QTRY_COMPARE(received, photo);
    QVERIFY(KSBookmark::defaultShareBookmark()->BookmarkStartAccessingSecurityScopedResourceWithFilePath(photo));
    QVERIFY(KSBookmark::defaultShareBookmark()->BookmarkStopAccessingSecurityScopedResourceWithFilePath(photo));
}

void tst_KSPhotoPicker::pickerCancelOrWrongTypeDoesNothing_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<bool>("notice"); // the user hears why nothing follows
    QTest::newRow("cancelled") << QStringList{} << false;
    QTest::newRow("typed-in other type") << QStringList{QStringLiteral("movie.gif")} << true;
}

void tst_KSPhotoPicker::pickerCancelOrWrongTypeDoesNothing()
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
    KSPhotoPicker::setPhotoDialogRunner([&](QFileDialog &) { return files; });
    bool called = false;
    KSPhotoPicker::selectPhoto([&](const QString &) { called = true; });
    QCoreApplication::processEvents();
    QVERIFY(!called);
    for (const QString &path : files)
        QVERIFY(!KSUserDefaultKit::hasObjectForKey(path));
    QCOMPARE(notices.size(), notice ? 1 : 0);
    if (notice)
        QVERIFY2(notices.first().message.contains(QStringLiteral("movie.gif")), qPrintable(notices.first().message));
}

QTEST_MAIN(tst_KSPhotoPicker)
#include "tst_KSPhotoPicker.moc"
