#include "KSFileConst.h"
#include "KSTempFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

namespace {

int modeOf(const QString &path)
{
    struct stat info{};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

void writeFile(const QString &path, const QByteArray &bytes, int mode, int ageDays = 0)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    QVERIFY(file.flush()); // before the time is set, which a later write would change
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-ageDays), QFileDevice::FileModificationTime));
    file.close();
    QVERIFY(chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
}

QString cachesFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Cutora");
}

} // namespace

// The job's files hold copies of the user's photos: they and their folders
// are the user's alone, and what a killed job left goes in time.
class TestKSTempFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // What an older version left: folders and files others may read,
        // and the empty name a job reserved before it was killed.
        QDir(cachesFolder()).removeRecursively();
        QVERIFY(QDir().mkpath(cachesFolder() + QStringLiteral("/temp")));
        QVERIFY(chmod(QFile::encodeName(cachesFolder()).constData(), 0755) == 0);
        QVERIFY(chmod(QFile::encodeName(cachesFolder() + QStringLiteral("/temp")).constData(), 0755) == 0);
        writeFile(cachesFolder() + QStringLiteral("/temp/killed.png"), {}, 0644, 2);
    }

    void theFirstReservationSweepsWhatKilledJobsLeft()
    {
        const QString path = KSTempFile::reserve(QStringLiteral(".png"));
        QVERIFY(!path.isEmpty());
        QVERIFY(!QFileInfo::exists(cachesFolder() + QStringLiteral("/temp/killed.png")));
        QCOMPARE(modeOf(path), 0600);
        QCOMPARE(modeOf(cachesFolder() + QStringLiteral("/temp")), 0700);
        QCOMPARE(modeOf(cachesFolder()), 0700);
        QFile::remove(path);
    }

    void sweepingKeepsWhatIsFreshOrNotCutorasOwn()
    {
        const QString temp = KSTempAppPathDirector();
        writeFile(temp + QStringLiteral("/old-photo.tif"), "photo", 0600, 2);
        writeFile(temp + QStringLiteral("/fresh.png"), "mask", 0644);
        writeFile(temp + QStringLiteral("/.hidden-old"), {}, 0600, 2);
        const QString outside = QDir(cachesFolder()).filePath(QStringLiteral("outside.txt"));
        writeFile(outside, "the user's", 0644, 2);
        QVERIFY(QFile::link(outside, temp + QStringLiteral("/link-to-outside")));

        QCOMPARE(KSTempFile::sweepLeftovers(QDateTime::currentDateTime().addSecs(-KSTempFile::kLeftoverAgeSeconds)), 2);
        QVERIFY(!QFileInfo::exists(temp + QStringLiteral("/old-photo.tif")));
        QVERIFY(!QFileInfo::exists(temp + QStringLiteral("/.hidden-old")));
        // A job may still be writing a fresh file: it stays, made private.
        QCOMPARE(modeOf(temp + QStringLiteral("/fresh.png")), 0600);
        // A link is no file of Cutora's; neither it nor its target is touched.
        QVERIFY(QFileInfo(temp + QStringLiteral("/link-to-outside")).isSymLink());
        QCOMPARE(modeOf(outside), 0644);
    }
};

QTEST_GUILESS_MAIN(TestKSTempFile)
#include "tst_KSTempFile.moc"
