#include "KSPhotoPicker.h"

#include "CommPassport.h"
#include "KSAppSetting.h"
#include "KSBookmark.h"
#include "KSUserDefaultKit.h"
#include "NoticeLog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
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
    void pickerCancelledDoesNothing();
    void refusedTypeKeepsTheDialogForAnotherChoice_data();
    void refusedTypeKeepsTheDialogForAnotherChoice();
    void severalChosenGoOnTogetherWithOtherTypesAmongThem();

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

void tst_KSPhotoPicker::pickerCancelledDoesNothing()
{
    NoticeLog log;
    int runs = 0;
    KSPhotoPicker::setPhotoDialogRunner([&](QFileDialog &) {
        ++runs;
        return QStringList{};
    });
    bool called = false;
    KSPhotoPicker::selectPhoto([&](const QString &) { called = true; });
    QCoreApplication::processEvents();
    QVERIFY(!called);
    QCOMPARE(runs, 1);
    QVERIFY(log.notices.isEmpty());
    QVERIFY(!KSUserDefaultKit::hasObjectForKey(KSAppSetting::kLastPhotoDir));
}

void tst_KSPhotoPicker::refusedTypeKeepsTheDialogForAnotherChoice_data()
{
    QTest::addColumn<bool>("thenPhoto"); // the second choice: a photo, or cancel
    QTest::newRow("then a photo") << true;
    QTest::newRow("then cancelled") << false;
}

void tst_KSPhotoPicker::refusedTypeKeepsTheDialogForAnotherChoice()
{
    QFETCH(bool, thenPhoto);
    const QString movie = m_photos.filePath(QStringLiteral("movie.gif"));
    const QString photo = m_photos.filePath(QStringLiteral("beach.png"));
    for (const QString &path : {movie, photo}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    int runs = 0;
    bool closedOnRefusal = true;
    QString refusalOnReturn;
    KSPhotoPicker::setPhotoDialogRunner([&](QFileDialog &dialog) {
        ++runs;
        if (runs == 1) {
            // The name typed into the dialog: it must stay open and say why.
            dialog.selectFile(movie);
            static_cast<QDialog &>(dialog).accept();
            closedOnRefusal = dialog.result() == QDialog::Accepted;
            // A platform's dialog closes anyway; the picker shows it again.
            return QStringList{movie};
        }
        QCoreApplication::processEvents();
        if (auto *box = dialog.findChild<QMessageBox *>(QStringLiteral("refusalBox")))
            refusalOnReturn = box->text();
        return thenPhoto ? QStringList{photo} : QStringList{};
    });
    QString received;
    KSPhotoPicker::selectPhoto([&](const QString &path) { received = path; });

    QVERIFY(!closedOnRefusal);
    QCOMPARE(runs, 2);
    QVERIFY2(refusalOnReturn.contains(QStringLiteral("movie.gif")), qPrintable(refusalOnReturn));
    QVERIFY(!KSUserDefaultKit::hasObjectForKey(movie));
    if (thenPhoto)
        QTRY_COMPARE(received, photo);
    QCoreApplication::processEvents();
    QCOMPARE(received, thenPhoto ? photo : QString());
}

void tst_KSPhotoPicker::severalChosenGoOnTogetherWithOtherTypesAmongThem()
{
    // Among several, a file of another type is the batch's to list as
    // skipped with its reason: the dialog does not refuse it.
    const QStringList chosen{m_photos.filePath(QStringLiteral("a.jpg")), m_photos.filePath(QStringLiteral("notes.txt")),
                             m_photos.filePath(QStringLiteral("b.png"))};
    int runs = 0;
    KSPhotoPicker::setPhotoDialogRunner([&](QFileDialog &dialog) {
        ++runs;
        return dialog.fileMode() == QFileDialog::ExistingFiles ? chosen : QStringList{};
    });
    QStringList received;
    KSPhotoPicker::selectPhotos([&](const QStringList &paths) { received = paths; });
    QTRY_COMPARE(received, chosen);
    QCOMPARE(runs, 1);
    QCOMPARE(KSUserDefaultKit::getFromUserDefaults_NSString(KSAppSetting::kLastPhotoDir), m_photos.path());

    // One name alone of another type is refused as for one photo.
    int refusedRuns = 0;
    KSPhotoPicker::setPhotoDialogRunner([&](QFileDialog &) {
        return ++refusedRuns == 1 ? QStringList{chosen.at(1)} : QStringList{};
    });
    received.clear();
    KSPhotoPicker::selectPhotos([&](const QStringList &paths) { received = paths; });
    QCoreApplication::processEvents();
    QCOMPARE(refusedRuns, 2);
    QVERIFY(received.isEmpty());
}

QTEST_MAIN(tst_KSPhotoPicker)
#include "tst_KSPhotoPicker.moc"
