#include "KSCutExport.h"
#include "KSCutOptions.h"
#include "KSLocalService.h"
#include "PhotoFixtures.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A studio shot: light grey backdrop, a dark subject in the middle third,
// a small marker square at the subject's top-left so that rotations show.
QImage studioPhoto(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(232, 232, 236));
    QPainter p(&image);
    p.fillRect(QRect(w / 3, h / 4, w / 3, h / 2), QColor(40, 50, 120));
    p.fillRect(QRect(w / 3, h / 4, w / 12, h / 12), QColor(200, 40, 40));
    return image;
}

struct Run
{
    int exitCode = -1;
    QString errors;
};

// Runs cutora; with fullFolder set, that folder is a file system of its own
// with room for 8 KiB, which cutora alone sees (a mount in namespaces of its
// own, which any user may make).
Run runCutora(const QStringList &arguments, const QString &fullFolder = {},
              const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (fullFolder.isEmpty()) {
        process.start(QStringLiteral(CUTORA_BINARY), arguments);
    } else {
        process.start(QStringLiteral("unshare"),
                      QStringList{"--user", "--map-root-user", "--mount", "sh", "-c",
                                  R"(mount -t tmpfs -o size=8k tmpfs "$0" && exec "$@")", fullFolder,
                                  QStringLiteral(CUTORA_BINARY)}
                          + arguments);
    }
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        return run;
    }
    run.exitCode = process.exitCode();
    run.errors = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

int alphaAt(const QImage &image, double fx, double fy)
{
    return qAlpha(image.pixel(int(fx * (image.width() - 1)), int(fy * (image.height() - 1))));
}

} // namespace

class TestKSCutCommand : public QObject
{
    Q_OBJECT

private slots:
    void parsesArguments_data();
    void parsesArguments();
    void outputNamesNeverCollide();
    void cutsOutThroughTheLocalService_data();
    void cutsOutThroughTheLocalService();
    void badPhotosFailByNameAndTheRestGoOn();
    void twoCommandsAtOnceRunEachTaskOnce();
    void aServiceThatTakesAnotherTokenIsWaitedFor();
    void aFullDiskIsNamed_data();
    void aFullDiskIsNamed();
};

void TestKSCutCommand::parsesArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("photos");

    const QString c = QStringLiteral("cutora");
    QTest::newRow("one photo to a file") << QStringList{c, "--cut", "a.jpg", "--type", "person", "--out", "a.png"} << true << 1;
    QTest::newRow("a glob after --cut") << QStringList{c, "--cut", "a.jpg", "b.jpg", "--type=object", "--out-dir", "o"} << true << 2;
    QTest::newRow("repeated --cut with =") << QStringList{c, "--cut=a.jpg", "--cut=b.jpg", "--type", "object", "--out-dir=o"} << true << 2;
    QTest::newRow("no photo") << QStringList{c, "--cut", "--type", "person", "--out", "a.png"} << false << 0;
    QTest::newRow("unknown type") << QStringList{c, "--cut", "a.jpg", "--type", "dog", "--out", "a.png"} << false << 0;
    QTest::newRow("no type") << QStringList{c, "--cut", "a.jpg", "--out", "a.png"} << false << 0;
    QTest::newRow("both outputs") << QStringList{c, "--cut", "a.jpg", "--type", "person", "--out", "a.png", "--out-dir", "o"} << false << 0;
    QTest::newRow("no output") << QStringList{c, "--cut", "a.jpg", "--type", "person"} << false << 0;
    QTest::newRow("one file for two photos") << QStringList{c, "--cut", "a.jpg", "b.jpg", "--type", "person", "--out", "a.png"} << false << 0;
    QTest::newRow("unknown option") << QStringList{c, "--cut", "a.jpg", "--type", "person", "--out", "a.png", "--fast"} << false << 0;
    QTest::newRow("option without its value") << QStringList{c, "--cut", "a.jpg", "--type", "person", "--out"} << false << 0;
}

void TestKSCutCommand::parsesArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    QFETCH(int, photos);
    QString error;
    const auto options = KSCutOptions::parse(arguments, &error);
    QCOMPARE(options.has_value(), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (options)
        QCOMPARE(options->photos.size(), photos);
}

void TestKSCutCommand::outputNamesNeverCollide()
{
    QTemporaryDir dir;
    KSCutOptions options;
    options.outDir = dir.path();
    QStringList taken;
    taken << options.outputPathFor(QStringLiteral("/photos/a.jpg"), taken);
    taken << options.outputPathFor(QStringLiteral("/elsewhere/a.heic"), taken);
    QCOMPARE(taken, (QStringList{dir.filePath("a.png"), dir.filePath("a(1).png")}));

    // A PNG photo that lives in the output folder is never written over.
    const QString own = dir.filePath(QStringLiteral("b.png"));
    QVERIFY(PhotoFixtures::writeFile(own, "not really a picture"));
    QCOMPARE(options.outputPathFor(own, {}), dir.filePath("b(1).png"));
}

void TestKSCutCommand::cutsOutThroughTheLocalService_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("expectedSize");
    QTest::newRow("plain JPEG") << "jpeg" << QSize(1500, 1000);
    // Stored 1500 x 1000 and turned a quarter clockwise by the EXIF tag.
    QTest::newRow("EXIF-rotated JPEG") << "exif" << QSize(1000, 1500);
    QTest::newRow("HEIC rotated by its transform") << "heic" << QSize(1000, 1500);
}

void TestKSCutCommand::cutsOutThroughTheLocalService()
{
    QFETCH(QString, kind);
    QFETCH(QSize, expectedSize);
    QTemporaryDir dir;
    const QImage stored = studioPhoto(1500, 1000);
    QString photo = dir.filePath(QStringLiteral("photo.jpg"));
    if (kind == QLatin1String("jpeg"))
        QVERIFY(PhotoFixtures::writeFile(photo, PhotoFixtures::encoded(stored, "jpeg")));
    else if (kind == QLatin1String("exif"))
        QVERIFY(PhotoFixtures::writeFile(photo, PhotoFixtures::jpegWithOrientation(stored, 6)));
    else {
        photo = dir.filePath(QStringLiteral("photo.heic"));
        QVERIFY(PhotoFixtures::writeHeic(stored, photo, 6));
    }
    const QString out = dir.filePath(QStringLiteral("cut.png"));

    const Run run = runCutora({"--cut", photo, "--type", "object", "--out", out});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));

    const QImage cut(out);
    QCOMPARE(cut.size(), expectedSize);
    QVERIFY(cut.hasAlphaChannel());
    // Background corners transparent, the subject's middle opaque.
    for (const QPointF corner : {QPointF(0.02, 0.02), QPointF(0.98, 0.02), QPointF(0.02, 0.98), QPointF(0.98, 0.98)})
        QCOMPARE(alphaAt(cut, corner.x(), corner.y()), 0);
    QCOMPARE(alphaAt(cut, 0.5, 0.5), 255);

    // The red marker sits at the subject's top-left as stored, so after a
    // quarter turn clockwise it is at the subject's top-right.
    const QPoint marker = kind == QLatin1String("jpeg") ? QPoint(1500 / 3 + 40, 1000 / 4 + 20)
                                                        : QPoint(1000 - 1000 / 4 - 20, 1500 / 3 + 40);
    const QColor seen = cut.pixelColor(marker);
    QVERIFY2(seen.red() > 150 && seen.blue() < 100, qPrintable(seen.name()));
}

void TestKSCutCommand::badPhotosFailByNameAndTheRestGoOn()
{
    QTemporaryDir dir;
    const QString corrupt = dir.filePath(QStringLiteral("corrupt.jpg"));
    QVERIFY(PhotoFixtures::writeFile(corrupt, QByteArray::fromHex("ffd8ffe000104a464946") + QByteArray(500, '\x55')));
    const QString empty = dir.filePath(QStringLiteral("empty.png"));
    QVERIFY(PhotoFixtures::writeFile(empty, {}));
    const QString good = dir.filePath(QStringLiteral("good.jpg"));
    const QByteArray goodBytes = PhotoFixtures::encoded(studioPhoto(600, 400), "jpeg");
    QVERIFY(PhotoFixtures::writeFile(good, goodBytes));
    // The first 30 % of a JPEG: its decoder would fill the rest with grey.
    const QString cutOff = dir.filePath(QStringLiteral("cut-off.jpg"));
    QVERIFY(PhotoFixtures::writeFile(cutOff, goodBytes.left(goodBytes.size() * 3 / 10)));
    const QString tiny = dir.filePath(QStringLiteral("tiny.png"));
    QVERIFY(PhotoFixtures::writeFile(tiny, PhotoFixtures::encoded(studioPhoto(1, 1), "png")));
    const QString outDir = dir.filePath(QStringLiteral("out"));

    const Run run = runCutora({"--cut", corrupt, empty, dir.filePath("missing.jpg"), cutOff, tiny, good, "--type",
                               "person", "--out-dir", outDir});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains(corrupt + QStringLiteral(": the picture is damaged or incomplete")), qPrintable(run.errors));
    QVERIFY2(run.errors.contains(empty + QStringLiteral(": the file is empty")), qPrintable(run.errors));
    QVERIFY2(run.errors.contains(QStringLiteral("missing.jpg: no such file")), qPrintable(run.errors));
    QVERIFY2(run.errors.contains(cutOff + QStringLiteral(": the picture is damaged or incomplete")), qPrintable(run.errors));
    QVERIFY2(run.errors.contains(tiny + QStringLiteral(": This picture is too small to cut out.")),
             qPrintable(run.errors));
    QCOMPARE(QDir(outDir).entryList(QDir::Files), QStringList{QStringLiteral("good.png")});

    // A usage error says so and cuts nothing.
    QCOMPARE(runCutora({"--cut", good, "--type", "person"}).exitCode, 2);
}

void TestKSCutCommand::twoCommandsAtOnceRunEachTaskOnce()
{
    // Two runs over photos of the same names, at once, on the same data
    // folder: one service runs every task, each task once, and each run
    // gets the cut-outs of its own photos.
    QTemporaryDir dir;
    const QSize sizes[2] = {QSize(600, 400), QSize(400, 600)};
    const qint64 logSizeBefore =
        QFileInfo(QDir(qEnvironmentVariable("XDG_CACHE_HOME")).filePath(QStringLiteral("Cutora/cutora.log"))).size();
    QList<QProcess *> runs;
    QStringList outDirs;
    for (int run = 0; run < 2; ++run) {
        QStringList photos;
        for (const char *name : {"a.jpg", "b.jpg"}) {
            const QString photo = dir.filePath(QStringLiteral("in%1/%2").arg(run).arg(QLatin1String(name)));
            QVERIFY(QDir().mkpath(QFileInfo(photo).path()));
            QVERIFY(PhotoFixtures::writeFile(photo, PhotoFixtures::encoded(studioPhoto(sizes[run].width(), sizes[run].height()), "jpeg")));
            photos << photo;
        }
        outDirs << dir.filePath(QStringLiteral("out%1").arg(run));
        auto *process = new QProcess(this);
        process->start(QStringLiteral(CUTORA_BINARY),
                       QStringList{"--cut"} + photos + QStringList{"--type", "object", "--out-dir", outDirs.last()});
        runs << process;
    }
    for (int run = 0; run < 2; ++run) {
        QVERIFY(runs[run]->waitForFinished(120000));
        QVERIFY2(runs[run]->exitCode() == 0, runs[run]->readAllStandardError().constData());
        for (const char *name : {"a.png", "b.png"})
            QCOMPARE(QImage(QDir(outDirs[run]).filePath(QLatin1String(name))).size(), sizes[run]);
    }
    QFile log(QDir(qEnvironmentVariable("XDG_CACHE_HOME")).filePath(QStringLiteral("Cutora/cutora.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    log.seek(logSizeBefore);
    const QString written = QString::fromUtf8(log.readAll());
    QStringList done;
    static const QRegularExpression taskDone(QStringLiteral("task ([0-9a-f]{32}) done by"));
    for (auto match = taskDone.globalMatch(written); match.hasNext();)
        done << match.next().captured(1);
    QCOMPARE(done.size(), 4);
    done.removeDuplicates();
    QCOMPARE(done.size(), 4);
}

void TestKSCutCommand::aServiceThatTakesAnotherTokenIsWaitedFor()
{
    // A service of its own holds the data folder this command would use,
    // with an account whose token the command does not have.
    KSLocalService other;
    KSLocalService::Options options;
    options.accountEmail = QStringLiteral("someone@example.org");
    options.token = QStringLiteral("0123456789abcdef0123456789abcdef-other");
    options.modelDescription = QStringLiteral("none");
    QVERIFY2(other.start(options), qPrintable(other.errorString()));

    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
    QVERIFY(PhotoFixtures::writeFile(photo, PhotoFixtures::encoded(studioPhoto(600, 400), "jpeg")));
    const QString out = dir.filePath(QStringLiteral("cut.png"));
    QProcess command;
    command.start(QStringLiteral(CUTORA_BINARY), {"--cut", photo, "--type", "object", "--out", out});
    QByteArray errors;
    QTRY_VERIFY_WITH_TIMEOUT((errors += command.readAllStandardError()).contains("waiting for the cut-out service"), 20000);
    QVERIFY(!QFile::exists(out));

    // Once it ends, the command's own service takes the folder over.
    other.stop();
    QVERIFY(command.waitForFinished(60000));
    QVERIFY2(command.exitCode() == 0, (errors + command.readAllStandardError()).constData());
    QCOMPARE(QImage(out).size(), QSize(600, 400));
}

void TestKSCutCommand::aFullDiskIsNamed_data()
{
    QTest::addColumn<QString>("full"); // "out" or "cache"
    QTest::addColumn<QString>("named"); // the folder the message names, below the full one

    QTest::newRow("the output folder") << "out" << "";
    // The job's files would be cut short there.
    QTest::newRow("the cache folder") << "cache" << "/Cutora/temp";
}

void TestKSCutCommand::aFullDiskIsNamed()
{
    QFETCH(QString, full);
    QFETCH(QString, named);
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
    QVERIFY(PhotoFixtures::writeFile(photo, PhotoFixtures::encoded(studioPhoto(1500, 1000), "jpeg")));
    const QString fullFolder = dir.filePath(full);
    QVERIFY(QDir().mkpath(fullFolder));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (full == QLatin1String("cache"))
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), fullFolder);
    const QString out = dir.filePath(QStringLiteral("out/cut.png"));

    const Run run = runCutora({"--cut", photo, "--type", "object", "--out", out}, fullFolder, environment);
    QCOMPARE(run.exitCode, 1);
    const QString message = QStringLiteral("the disk holding %1 is full").arg(fullFolder + named);
    QVERIFY2(run.errors.contains(message), qPrintable(run.errors));
    QVERIFY(!QFile::exists(out));
}

QTEST_GUILESS_MAIN(TestKSCutCommand)
#include "tst_kscutcommand.moc"
