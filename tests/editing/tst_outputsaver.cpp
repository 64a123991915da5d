#include "KSAppSetting.h"
#include "KSBookmark.h"
#include "KSColorConst.h"
#include "KSOutputSaver.h"
#include "KSTiffEncoder.h"
#include "KSUserDefaultKit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

// A save from the editor writes what the user sees into the output folder,
// under a free name, and says so; or says that it did not.
class TestOutputSaver : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void savesUnderFreeNamesInTheRightFormat_data();
    void savesUnderFreeNamesInTheRightFormat();
    void failedSaveIsReportedAndLosesNothing_data();
    void failedSaveIsReportedAndLosesNothing();
    void longNamesAreShortenedToFit();
    void asynchronousSaveReportsOnTheContextsThread();

private:
    // The subject as the crop view writes it: TIFF data under a ".png" name.
    QString writeSubject(const QColor &colour);
    KSOutputRender::Request requestFor(const KSColor &colour) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_output;
    QString m_subject;
};

void TestOutputSaver::init()
{
    KSUserDefaultKit::openStore()->clear();
    m_dir = std::make_unique<QTemporaryDir>();
    m_output = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(m_output));
    // The folder was picked in the settings panel, which bookmarks it.
    KSAppSetting::setOutputDirectory(m_output);
    m_subject = writeSubject(QColor(200, 30, 30, 255));
}

QString TestOutputSaver::writeSubject(const QColor &colour)
{
    QImage subject(40, 30, QImage::Format_RGBA8888);
    subject.fill(colour);
    const QString path = m_dir->filePath(QStringLiteral("2026-01-01_10:00:00.png"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(KSTiffEncoder::encode(subject)) <= 0)
        return {};
    return path;
}

KSOutputRender::Request TestOutputSaver::requestFor(const KSColor &colour) const
{
    KSOutputRender::Request request;
    request.imageSize = QSizeF(120, 90);
    request.subjectRect = QRectF(40, 30, 40, 30);
    request.backgroundColor = colour;
    request.maxSide = KSAppSetting::outputSize();
    return request;
}

void TestOutputSaver::savesUnderFreeNamesInTheRightFormat_data()
{
    QTest::addColumn<KSColor>("colour");
    QTest::addColumn<QString>("storedFormat");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QByteArray>("fileFormat");

    QTest::newRow("JPEG on a colour, twice")
        << KSRGBHexColor(0xFFFFFF) << "jpg" << QStringList{"beach.jpg", "beach(1).jpg"} << QByteArray("jpeg");
    QTest::newRow("PNG on a colour when the setting says so")
        << KSRGBHexColor(0xFFFFFF) << "png" << QStringList{"beach.png", "beach(1).png"} << QByteArray("png");
    QTest::newRow("transparent forces PNG over the JPEG setting")
        << KSClear_Color() << "jpg" << QStringList{"beach.png", "beach(1).png"} << QByteArray("png");
}

void TestOutputSaver::savesUnderFreeNamesInTheRightFormat()
{
    QFETCH(KSColor, colour);
    QFETCH(QString, storedFormat);
    QFETCH(QStringList, names);
    QFETCH(QByteArray, fileFormat);
    KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kOutputFormat, storedFormat);

    for (const QString &name : names) {
        const KSOutputSaver::Result result = KSOutputSaver::saveOutputImage(m_subject, QStringLiteral("beach"), requestFor(colour));
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.path, QDir(m_output).filePath(name));

        QImageReader reader(result.path);
        QCOMPARE(reader.format(), fileFormat);
        const QImage saved = reader.read();
        QCOMPARE(saved.size(), QSize(120, 90));
        const bool transparent = colour == KSClear_Color();
        QCOMPARE(saved.hasAlphaChannel(), transparent);
        if (transparent)
            QCOMPARE(qAlpha(saved.pixel(5, 5)), 0);
        const QColor middle = saved.pixelColor(60, 45);
        QVERIFY2(std::abs(middle.red() - 200) < 8 && middle.green() < 40, qPrintable(middle.name()));
    }
    // Only the pictures: no hidden leftovers, and the folder's access closed.
    names.sort();
    QCOMPARE(folderEntries(m_output), names);
    QCOMPARE(KSBookmark::defaultShareBookmark()->openAccessCount(m_output), 0);
}

void TestOutputSaver::failedSaveIsReportedAndLosesNothing_data()
{
    QTest::addColumn<QString>("problem");
    QTest::newRow("output folder is a file") << "folder is a file";
    QTest::newRow("subject picture gone") << "no subject";
    QTest::newRow("cut-out not loaded") << "no size";
    // Refused before the subject is made or a pixel rendered.
    QTest::newRow("size beyond the limits") << "too large";
    QTest::newRow("sheet that holds no copy") << "no copy fits";
}

void TestOutputSaver::failedSaveIsReportedAndLosesNothing()
{
    QFETCH(QString, problem);
    // A picture from an earlier save stays as it was.
    const QString earlier = QDir(m_output).filePath(QStringLiteral("beach.jpg"));
    {
        QFile file(earlier);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("an earlier picture");
    }
    KSOutputRender::Request request = requestFor(KSRGBHexColor(0xFFFFFF));
    QString subject = m_subject;
    QString folder = m_output;
    if (problem == QLatin1String("folder is a file"))
        folder = earlier;
    else if (problem == QLatin1String("no subject"))
        subject = m_dir->filePath(QStringLiteral("deleted.png"));
    else if (problem == QLatin1String("no size"))
        request.imageSize = QSizeF();
    else if (problem == QLatin1String("too large"))
        // Each side within 30000, the whole beyond 200 megapixels.
        request.backgroundSize = QSizeF(30000, 7000);
    else
        request.printSizeMm = QSizeF(300, 300);

    KSOutputSaver::Job job = KSOutputSaver::prepare(subject, QStringLiteral("beach"), request);
    job.folder = folder;
    int subjectsMade = 0;
    if (problem == QLatin1String("too large") || problem == QLatin1String("no copy fits")) {
        job.makeSubject = [&subjectsMade] {
            ++subjectsMade;
            return QImage(40, 30, QImage::Format_ARGB32_Premultiplied);
        };
    }
    if (problem == QLatin1String("no copy fits"))
        job.sheet = KSPrintSheet::Paper::a6;
    const KSOutputSaver::Result result = KSOutputSaver::run(job);
    QCOMPARE(subjectsMade, 0);
    QVERIFY(!result.ok());
    QVERIFY(result.path.isEmpty());
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(folderEntries(m_output), QStringList{QStringLiteral("beach.jpg")});
    QCOMPARE(readAll(earlier), QByteArray("an earlier picture"));
}

void TestOutputSaver::longNamesAreShortenedToFit()
{
    // A photo's name may be as long as a file name can be; the saved
    // picture's name, with its "(1)" and extension, must fit as well.
    KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kOutputFormat, QStringLiteral("jpg"));
    const QString base(252, u'n');
    for (int i = 0; i < 2; ++i) {
        const KSOutputSaver::Result result =
            KSOutputSaver::saveOutputImage(m_subject, base, requestFor(KSRGBHexColor(0xFFFFFF)));
        QVERIFY2(result.ok(), qPrintable(result.error));
        QVERIFY(QFileInfo(result.path).fileName().size() <= 255);
    }
    QCOMPARE(folderEntries(m_output).size(), 2);
}

void TestOutputSaver::asynchronousSaveReportsOnTheContextsThread()
{
    KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kOutputFormat, QStringLiteral("jpg"));
    QObject context;
    QList<KSOutputSaver::Result> results;
    QThread *reportedOn = nullptr;
    KSOutputSaver::saveOutputImageAsync(m_subject, QStringLiteral("beach"), requestFor(KSRGBHexColor(0x112233)), &context,
                                        [&](const KSOutputSaver::Result &result) {
                                            results.append(result);
                                            reportedOn = QThread::currentThread();
                                        });
    QTRY_COMPARE(results.size(), 1);
    QCOMPARE(results.constFirst().path, QDir(m_output).filePath(QStringLiteral("beach.jpg")));
    QCOMPARE(reportedOn, QThread::currentThread());

    // A screen that has gone by the time the file is written hears nothing.
    auto gone = std::make_unique<QObject>();
    bool called = false;
    KSOutputSaver::saveOutputImageAsync(m_subject, QStringLiteral("beach"), requestFor(KSRGBHexColor(0x112233)), gone.get(),
                                        [&](const KSOutputSaver::Result &) { called = true; });
    gone.reset();
    QTRY_COMPARE(folderEntries(m_output).size(), 2);
    QTest::qWait(50);
    QVERIFY(!called);
}

QTEST_MAIN(TestOutputSaver)
#include "tst_outputsaver.moc"
