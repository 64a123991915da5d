#include "KSCutExport.h"
#include "KSCutOptions.h"
#include "KSLocalService.h"
#include "PhotoFixtures.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

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
    QString output;
};

// Waits for a started run to end.
Run finish(QProcess &process)
{
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        return run;
    }
    run.exitCode = process.exitCode();
    run.errors = QString::fromLocal8Bit(process.readAllStandardError());
    run.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    return run;
}

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
    return finish(process);
}

// Runs cutora through the shell, for arguments that are bytes rather than
// text (names that are no UTF-8): `script` sees the program as $0.
Run runCutoraInShell(const QString &script, const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("sh"), QStringList{"-c", script, QStringLiteral(CUTORA_BINARY)} + arguments);
    return finish(process);
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
    void listedPathsKeepOneALine_data();
    void listedPathsKeepOneALine();
    void outputsAreCheckedBeforeAnyJob_data();
    void outputsAreCheckedBeforeAnyJob();
    void photoNamesSayWhatIsWrong();
    void oddNamesAreWrittenAndListed();
    void twoCommandsIntoOneFolderTakeDistinctNames();
    void cutsOutThroughTheLocalService_data();
    void cutsOutThroughTheLocalService();
    void badPhotosFailByNameAndTheRestGoOn();
    void twoCommandsAtOnceRunEachTaskOnce();
    void aServiceThatTakesAnotherTokenIsWaitedFor();
    void aFullDiskIsNamed_data();
    void aFullDiskIsNamed();
    void theTerminalShowsTheLogOnlyWithVerbose_data();
    void theTerminalShowsTheLogOnlyWithVerbose();
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
    // Refused before any job: no file system takes the name.
    QTest::newRow("an output name of 256 bytes") << QStringList{c, "--cut", "a.jpg", "--type", "person", "--out", QString(252, u'o') + ".png"} << false << 0;
    QTest::newRow("an output name of 255 bytes") << QStringList{c, "--cut", "a.jpg", "--type", "person", "--out", QString(251, u'o') + ".png"} << true << 1;
    QTest::newRow("an output name that was no UTF-8") << QStringList{c, "--cut", "a.jpg", "--type", "person", "--out", "o\ufffd.png"} << false << 0;
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
    QString error;
    // Held names stay taken until their pictures are written.
    const std::optional<KSOutputClaim> first = options.claimOutput(QStringLiteral("/photos/a.jpg"), &error);
    const std::optional<KSOutputClaim> second = options.claimOutput(QStringLiteral("/elsewhere/a.heic"), &error);
    QVERIFY2(first && second, qPrintable(error));
    QCOMPARE(first->path(), dir.filePath("a.png"));
    QCOMPARE(second->path(), dir.filePath("a(1).png"));

    // A PNG photo that lives in the output folder is never written over.
    const QString own = dir.filePath(QStringLiteral("b.png"));
    QVERIFY(PhotoFixtures::writeFile(own, "not really a picture"));
    const std::optional<KSOutputClaim> beside = options.claimOutput(own, &error);
    QVERIFY2(beside, qPrintable(error));
    QCOMPARE(beside->path(), dir.filePath("b(1).png"));
}

void TestKSCutCommand::listedPathsKeepOneALine_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("listed");
    QTest::newRow("a plain name as it is") << "/out/photo (1).png" << "/out/photo (1).png";
    QTest::newRow("Chinese as it is") << "/out/照片.png" << "/out/照片.png";
    QTest::newRow("a newline escaped") << "/out/a\nb.png" << "/out/a\\nb.png";
    QTest::newRow("a tab and a return") << "/out/a\tb\r.png" << "/out/a\\tb\\r.png";
    // Escaped too, so that an escape in the list always means one character.
    QTest::newRow("a backslash doubled") << "/out/a\\n.png" << "/out/a\\\\n.png";
    // Octal, as POSIX printf %b reads it.
    QTest::newRow("other control characters in octal") << QStringLiteral("/out/a\x1b\x7f.png") << "/out/a\\0033\\0177.png";
}

void TestKSCutCommand::listedPathsKeepOneALine()
{
    QFETCH(QString, path);
    QFETCH(QString, listed);
    QCOMPARE(KSCutOptions::listedPath(path), listed);
}

void TestKSCutCommand::outputsAreCheckedBeforeAnyJob_data()
{
    QTest::addColumn<QStringList>("output");  // DIR stands for a fresh folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("--out in a folder that does not exist")
        << QStringList{"--out", "DIR/missing/cut.png"} << 1 << "--out: the folder DIR/missing does not exist";
    QTest::newRow("--out naming a folder") << QStringList{"--out", "DIR"} << 1 << "--out: DIR is a folder";
    QTest::newRow("--out in a file as if a folder")
        << QStringList{"--out", "DIR/photo.jpg/cut.png"} << 1 << "--out: DIR/photo.jpg is not a folder";
    QTest::newRow("--out-dir naming a file") << QStringList{"--out-dir", "DIR/photo.jpg"} << 1 << "--out-dir: DIR/photo.jpg is a file";
    QTest::newRow("--out too long a name")
        << QStringList{"--out", "DIR/" + QString(260, u'x') + ".png"} << 2 << "--out: the name is 264 bytes long";
}

void TestKSCutCommand::outputsAreCheckedBeforeAnyJob()
{
    QFETCH(QStringList, output);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
    QVERIFY(PhotoFixtures::writeFile(photo, PhotoFixtures::encoded(studioPhoto(300, 200), "jpeg")));
    output.replaceInStrings(QStringLiteral("DIR"), dir.path());
    const QString logPath = QDir(qEnvironmentVariable("XDG_CACHE_HOME")).filePath(QStringLiteral("Cutora/cutora.log"));
    const qint64 logBefore = QFileInfo(logPath).size();

    const Run run = runCutora(QStringList{"--cut", photo, "--type", "object"} + output);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.errors.contains(message.replace(QStringLiteral("DIR"), dir.path())), qPrintable(run.errors));
    // Said before a job started: the photo was never uploaded.
    QCOMPARE(QFileInfo(logPath).size(), logBefore);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("photo.jpg")});
}

void TestKSCutCommand::photoNamesSayWhatIsWrong()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("holiday")));
    // "bad\377.jpg": a byte no UTF-8 text has, as old file systems may hold.
    const QByteArray badName = QFile::encodeName(dir.path()) + "/bad\377.jpg";
    // Made through its bytes: as text the name would be another one.
    FILE *bad = std::fopen(badName.constData(), "wb");
    QVERIFY(bad);
    const QByteArray bytes = PhotoFixtures::encoded(studioPhoto(300, 200), "jpeg");
    QCOMPARE(std::fwrite(bytes.constData(), 1, size_t(bytes.size()), bad), size_t(bytes.size()));
    std::fclose(bad);
    const Run run = runCutoraInShell(QStringLiteral(R"sh(exec "$0" --cut "$1" "$(printf '%s/bad\377.jpg' "$2")" --type object --out-dir "$3")sh"),
                                     {dir.filePath(QStringLiteral("holiday")), dir.path(), dir.filePath(QStringLiteral("out"))});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains(QStringLiteral("holiday: this is a folder, not a photo")), qPrintable(run.errors));
    QVERIFY2(run.errors.contains(QStringLiteral("the name is not valid UTF-8")), qPrintable(run.errors));
    QVERIFY(!run.errors.contains(QStringLiteral("no such file")));
    // As text the name is not the file's: remove it through its bytes.
    std::remove(badName.constData());
}

void TestKSCutCommand::oddNamesAreWrittenAndListed()
{
    // A name with a newline, and one as long as a name can be: the first is
    // listed on one line, the second written beside its short temporary name.
    QTemporaryDir dir;
    const QString newline = dir.filePath(QStringLiteral("two\nlines.jpg"));
    const QString longest = dir.filePath(QString(251, u'l') + QStringLiteral(".jpg"));
    for (const QString &photo : {newline, longest})
        QVERIFY(PhotoFixtures::writeFile(photo, PhotoFixtures::encoded(studioPhoto(300, 200), "jpeg")));
    const QString outDir = dir.filePath(QStringLiteral("out"));

    const Run run = runCutora({"--cut", newline, longest, "--type", "object", "--out-dir", outDir});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    const QStringList lines = run.output.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines, (QStringList{QDir(outDir).filePath(QStringLiteral("two\\nlines.png")),
                                 QDir(outDir).filePath(QString(251, u'l') + QStringLiteral(".png"))}));
    QCOMPARE(QImage(QDir(outDir).filePath(QStringLiteral("two\nlines.png"))).size(), QSize(300, 200));
    QCOMPARE(QImage(QDir(outDir).filePath(QString(251, u'l') + QStringLiteral(".png"))).size(), QSize(300, 200));
    QCOMPARE(QDir(outDir).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestKSCutCommand::twoCommandsIntoOneFolderTakeDistinctNames()
{
    // Two commands over photos of the same names into one folder: each
    // lists its own files, and each file holds that command's picture.
    QTemporaryDir dir;
    const QSize sizes[2] = {QSize(300, 200), QSize(200, 300)};
    const QString outDir = dir.filePath(QStringLiteral("out"));
    QList<QProcess *> runs;
    for (int run = 0; run < 2; ++run) {
        QStringList photos;
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg"}) {
            const QString photo = dir.filePath(QStringLiteral("in%1/%2").arg(run).arg(QLatin1String(name)));
            QVERIFY(QDir().mkpath(QFileInfo(photo).path()));
            QVERIFY(PhotoFixtures::writeFile(photo, PhotoFixtures::encoded(studioPhoto(sizes[run].width(), sizes[run].height()), "jpeg")));
            photos << photo;
        }
        auto *process = new QProcess(this);
        process->start(QStringLiteral(CUTORA_BINARY),
                       QStringList{"--cut"} + photos + QStringList{"--type", "object", "--out-dir", outDir});
        runs << process;
    }
    QSet<QString> listed;
    for (int run = 0; run < 2; ++run) {
        QVERIFY(runs[run]->waitForFinished(120000));
        QVERIFY2(runs[run]->exitCode() == 0, runs[run]->readAllStandardError().constData());
        const QStringList paths = QString::fromLocal8Bit(runs[run]->readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(paths.size(), 3);
        for (const QString &path : paths) {
            QVERIFY2(!listed.contains(path), qPrintable(path));
            listed.insert(path);
            QCOMPARE(QImage(path).size(), sizes[run]);
        }
    }
    QCOMPARE(QDir(outDir).entryList(QDir::Files | QDir::Hidden).size(), 6);
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
    // Nothing in it to cut out: the service says so, and so must the terminal.
    QImage plain(600, 400, QImage::Format_RGB32);
    plain.fill(QColor(128, 128, 128));
    const QString blank = dir.filePath(QStringLiteral("blank.png"));
    QVERIFY(PhotoFixtures::writeFile(blank, PhotoFixtures::encoded(plain, "png")));
    const QString outDir = dir.filePath(QStringLiteral("out"));

    const Run run = runCutora({"--cut", corrupt, empty, dir.filePath("missing.jpg"), cutOff, tiny, blank, good, "--type",
                               "person", "--out-dir", outDir});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains(corrupt + QStringLiteral(": the picture is damaged or incomplete")), qPrintable(run.errors));
    QVERIFY2(run.errors.contains(empty + QStringLiteral(": the file is empty")), qPrintable(run.errors));
    QVERIFY2(run.errors.contains(QStringLiteral("missing.jpg: no such file")), qPrintable(run.errors));
    QVERIFY2(run.errors.contains(cutOff + QStringLiteral(": the picture is damaged or incomplete")), qPrintable(run.errors));
    QVERIFY2(run.errors.contains(tiny + QStringLiteral(": This picture is too small to cut out.")),
             qPrintable(run.errors));
    QVERIFY2(run.errors.contains(blank + QStringLiteral(": Cutora found no subject to cut out in this photo.")),
             qPrintable(run.errors));
    QVERIFY2(run.errors.contains(QStringLiteral("the cut-out service says: no subject found")), qPrintable(run.errors));
    QCOMPARE(QDir(outDir).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("good.png")});

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
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("out"))));
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

void TestKSCutCommand::theTerminalShowsTheLogOnlyWithVerbose_data()
{
    QTest::addColumn<bool>("verbose");
    QTest::newRow("a plain run") << false;
    QTest::newRow("with --verbose") << true;
}

void TestKSCutCommand::theTerminalShowsTheLogOnlyWithVerbose()
{
    QFETCH(bool, verbose);
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("small.jpg"));
    QVERIFY(PhotoFixtures::writeFile(photo, PhotoFixtures::encoded(studioPhoto(300, 200), "jpeg")));
    const QString out = dir.filePath(QStringLiteral("small.png"));
    QStringList arguments{"--cut", photo, "--type", "object", "--out", out};
    if (verbose)
        arguments << QStringLiteral("--verbose");
    const Run run = runCutora(arguments);
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    QCOMPARE(run.output, out + QLatin1Char('\n'));
    // A log line starts with its time stamp; the protocol's traces with their category.
    const QRegularExpression logLine(QStringLiteral(R"((^|\n)\d{4}-\d\d-\d\d[ T]\d\d:\d\d:\d\d)"));
    QCOMPARE(logLine.match(run.errors).hasMatch(), verbose);
    QCOMPARE(run.errors.contains(QLatin1String("cutora.protocol")), verbose);
    if (!verbose) {
        // What is left is for the user: the bar and which engine made the mask.
        for (const QString &line : run.errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            QVERIFY2(line.startsWith(QLatin1String("small.jpg")), qPrintable(line));
    }
}

QTEST_GUILESS_MAIN(TestKSCutCommand)
#include "tst_kscutcommand.moc"
