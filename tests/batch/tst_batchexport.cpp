#include "KSBatchExport.h"

#include "BatchFixture.h"
#include "KSAppSetting.h"
#include "KSEditDocument.h"
#include "KSOutputSaver.h"
#include "KSPrintSheet.h"
#include "KSSizePresets.h"
#include "KSUserDefaultKit.h"
#include "WorkQuiet.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

Q_DECLARE_METATYPE(KSBatchExport::Result)
Q_DECLARE_METATYPE(KSEditBackground)
Q_DECLARE_METATYPE(KSEditShadow)

// The export of all: every done photo written as the editor's Save of it
// writes it, failures and cancelled photos skipped and told.
class TestBatchExport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    KSLocalService m_service;

    static QByteArray bytesOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static KSBatchExport::Result exportAll(KSBatch &batch, KSBatchExport &exporter, QList<int> *steps = nullptr)
    {
        QSignalSpy finished(&exporter, &KSBatchExport::finished);
        QObject context;
        if (steps)
            QObject::connect(&exporter, &KSBatchExport::progress, &context, [steps](int done, int) { steps->append(done); });
        if (!exporter.start())
            return {};
        if (!finished.wait(60000))
            return {};
        Q_UNUSED(batch);
        return finished.at(0).at(0).value<KSBatchExport::Result>();
    }

    // The editor's Save of a document, into the settings' folder.
    static KSOutputSaver::Result saveAlone(KSEditDocument *document, const QString &baseName)
    {
        KSOutputSaver::Job job =
            KSOutputSaver::prepare(QString(), baseName, document->renderRequest(KSAppSetting::outputSize()));
        job.makeSubject = document->subjectMaker();
        return KSOutputSaver::run(job);
    }

    // The photo's colours, read on a worker thread after opening, have come.
    static bool photoColoursMerged(KSEditDocument *document)
    {
        QSignalSpy merged(document, &KSEditDocument::maskChanged);
        return merged.wait(20000);
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<KSBatchExport::Result>();
        QVERIFY(m_dir.isValid());
        QVERIFY(BatchFixture::startService(m_service, m_dir.filePath(QStringLiteral("service"))));
    }

    void cleanupTestCase() { BatchFixture::stopService(m_service); }

    void cleanup() { QVERIFY(waitUntilQuiet()); }

    // A picture background: a gradient, so that its placement shows.
    static KSEditBackground gradientPicture()
    {
        QImage picture(400, 300, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb(x * 255 / 400, y * 255 / 300, 128));
        return *KSEditBackground::ofPicture(picture);
    }

    void exportWritesWhatSavingEachAloneWrites_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("preset");
        QTest::addColumn<KSEditBackground>("background");
        QTest::addColumn<KSEditShadow>("shadow");
        const KSEditBackground white = KSEditBackground::ofColour(KSColor(QColor(Qt::white)));
        QTest::newRow("white, 1000 x 1000, JPEG")
            << "white" << "jpg" << "1000x1000px" << white << KSEditShadow();
        QTest::newRow("transparent, the photo's size, PNG")
            << "clear" << "png" << "Source" << KSEditBackground() << KSEditShadow();
        QTest::newRow("white with a contact shadow, 1000 x 1000, JPEG")
            << "contact" << "jpg" << "1000x1000px" << white << KSEditShadow::contact();
        QTest::newRow("the photo blurred, the photo's size, JPEG")
            << "blurred" << "jpg" << "Source" << KSEditBackground::ofBlurredPhoto() << KSEditShadow();
        QTest::newRow("a picture with a drop shadow, 1000 x 1000, PNG")
            << "picture" << "png" << "1000x1000px" << gradientPicture() << KSEditShadow::drop();
    }

    void exportWritesWhatSavingEachAloneWrites()
    {
        QFETCH(QString, name);
        QFETCH(QString, format);
        QFETCH(QString, preset);
        QFETCH(KSEditBackground, background);
        QFETCH(KSEditShadow, shadow);
        const QString folder = m_dir.filePath(QStringLiteral("out-") + name);
        KSBatch batch;
        QStringList photos;
        for (const char *name : {"red shoe.jpg", "bag.jpg", "cap.jpg"})
            photos.append(BatchFixture::writePhoto(m_dir.filePath(QString::fromLatin1(name)), QSize(640, 480)));
        const QList<KSBatchItem::Id> ids = batch.addPhotos(photos, KSEraserType::object);
        QVERIFY(BatchFixture::allFinished(batch));

        KSBatchLook look = batch.look();
        look.background = background;
        look.shadow = shadow;
        look.preset = *KSSizePresets::findItem(preset);
        look.format = format;
        look.folder = folder;
        batch.setLook(look);
        // One photo has edits of its own, which the export keeps; its
        // document has the photo's colours by then, as in the editor.
        KSEditDocument *edited = batch.documentFor(ids[1]);
        QVERIFY(photoColoursMerged(edited));
        edited->mirrorSubject(true);
        batch.documentClosed(ids[1]);

        KSBatchExport exporter(&batch);
        QList<int> steps;
        const KSBatchExport::Result result = exportAll(batch, exporter, &steps);
        QCOMPARE(result.folder, folder);
        QCOMPARE(result.written.size(), 3);
        QVERIFY(result.failed.isEmpty());
        QCOMPARE(steps, (QList<int>{1, 2, 3}));
        QCOMPARE(QFileInfo(result.written[0]).fileName(), QStringLiteral("red shoe.") + format);
        QVERIFY(!batch.hasUnsavedWork());

        // The editor's own Save of each photo, with the same choices in the settings.
        KSAppSetting::setOutputDirectory(m_dir.filePath(QStringLiteral("alone-") + name));
        QVERIFY(QDir().mkpath(KSAppSetting::outputDirectory()));
        KSUserDefaultKit::saveToUserDefaultsForKey(KSAppSetting::kOutputFormat, format);
        for (qsizetype i = 0; i < ids.size(); ++i) {
            KSEditDocument *document = batch.documentFor(ids[i]);
            QVERIFY(document);
            if (i != 1)
                QVERIFY(photoColoursMerged(document));
            QCOMPARE(document->background(), background);
            QCOMPARE(document->shadow(), shadow);
            const KSOutputSaver::Result alone = saveAlone(document, batch.baseNameFor(ids[i]));
            QVERIFY2(alone.ok(), qPrintable(alone.error));
            QCOMPARE(QFileInfo(alone.path).fileName(), QFileInfo(result.written[i]).fileName());
            QVERIFY2(bytesOf(alone.path) == bytesOf(result.written[i]), qPrintable(result.written[i]));
            batch.documentClosed(ids[i]);
        }
        // Again into the same folder: free names, nothing replaced.
        const KSBatchExport::Result again = exportAll(batch, exporter);
        QCOMPARE(QFileInfo(again.written[0]).fileName(), QStringLiteral("red shoe(1).") + format);
    }

    void anOpenedPhotoWhoseColoursHaveNotComeStillGetsItsBackdrop()
    {
        KSBatch batch;
        const KSBatchItem::Id id = batch.addPhotos(
            {BatchFixture::writePhoto(m_dir.filePath(QStringLiteral("backdrop.jpg")), QSize(640, 480))},
            KSEraserType::object).first();
        QVERIFY(BatchFixture::allFinished(batch));
        KSBatchLook look = batch.look();
        look.background = KSEditBackground::ofBlurredPhoto();
        look.format = QStringLiteral("png");
        look.folder = m_dir.filePath(QStringLiteral("backdrop"));
        batch.setLook(look);
        // Opened just now: its colours are still being read when the export starts.
        KSEditDocument *document = batch.documentFor(id);
        QVERIFY(document && !document->hasPhotoColours());
        KSBatchExport exporter(&batch);
        const KSBatchExport::Result result = exportAll(batch, exporter);
        QCOMPARE(result.written.size(), 1);

        const QImage written(result.written[0]);
        QVERIFY(!written.isNull());
        const QRgb corner = written.pixel(0, 0);
        // The photo's light grey, blurred, and no white.
        QVERIFY2(std::abs(qRed(corner) - 232) <= 6 && std::abs(qBlue(corner) - 238) <= 6,
                 qPrintable(QColor(corner).name()));
    }

    void failedAndCancelledPhotosAreSkippedAndCounted()
    {
        KSBatch batch;
        KSBatchLook look = batch.look();
        look.folder = m_dir.filePath(QStringLiteral("skipped"));
        batch.setLook(look);
        const QString plain = BatchFixture::writePhoto(m_dir.filePath(QStringLiteral("plain.jpg")), QSize(320, 240), true);
        const QString good = BatchFixture::writePhoto(m_dir.filePath(QStringLiteral("good.jpg")));
        const QList<KSBatchItem::Id> ids = batch.addPhotos({plain, good}, KSEraserType::object);
        QVERIFY(BatchFixture::allFinished(batch));
        QCOMPARE(batch.item(ids[0])->state, KSBatchItem::State::failed);
        // A done photo whose cut-out has gone fails with its reason; the rest go on.
        const QString third = BatchFixture::writePhoto(m_dir.filePath(QStringLiteral("third.jpg")));
        const KSBatchItem::Id lost = batch.addPhotos({third}, KSEraserType::object).first();
        QVERIFY(BatchFixture::allFinished(batch));
        QFile::remove(batch.item(lost)->cutoutPath);

        KSBatchExport exporter(&batch);
        const KSBatchExport::Result result = exportAll(batch, exporter);
        QCOMPARE(result.written.size(), 1);
        QCOMPARE(result.skipped, 1);
        QCOMPARE(result.failed.size(), 1);
        QCOMPARE(result.failed[0].id, lost);
        QVERIFY(!result.failed[0].error.isEmpty());
        QVERIFY(!result.cancelled);
        // The one that failed to write is still unsaved work.
        QVERIFY(batch.hasUnsavedWork());
    }

    void aFolderThatCannotBeMadeFailsEveryPhotoWithItsReason()
    {
        KSBatch batch;
        const QString blocker = m_dir.filePath(QStringLiteral("a file"));
        QVERIFY(BatchFixture::writePhoto(blocker) == blocker);
        KSBatchLook look = batch.look();
        look.folder = blocker + QStringLiteral("/out");
        batch.setLook(look);
        batch.addPhotos({BatchFixture::writePhoto(m_dir.filePath(QStringLiteral("one.jpg")))}, KSEraserType::object);
        QVERIFY(BatchFixture::allFinished(batch));
        KSBatchExport exporter(&batch);
        const KSBatchExport::Result result = exportAll(batch, exporter);
        QVERIFY(result.written.isEmpty());
        QCOMPARE(result.failed.size(), 1);
        QVERIFY(result.failed[0].error.contains(look.folder));
    }

    void idPhotosGoOnSheetsOneCopyEach()
    {
        KSBatch batch;
        KSBatchLook look = batch.look();
        look.folder = m_dir.filePath(QStringLiteral("sheets"));
        look.format = QStringLiteral("jpg");
        look.background = KSEditBackground::ofColour(KSColor(QColor(Qt::white)));
        look.preset = *KSSizePresets::findItem(QStringLiteral("2Inch"));
        batch.setLook(look);
        const auto paper = KSPrintSheet::Paper::a6;
        const int perSheet = int(KSPrintSheet::layout(paper, look.preset.printSizeMm).copies.size());
        QVERIFY(perSheet > 1);
        QStringList photos;
        for (int i = 0; i <= perSheet; ++i)
            photos.append(BatchFixture::writePhoto(m_dir.filePath(QStringLiteral("id %1.jpg").arg(i)), QSize(300, 400)));
        batch.addPhotos(photos, KSEraserType::person);
        QVERIFY(BatchFixture::allFinished(batch));

        KSBatchExport exporter(&batch);
        exporter.setSheet(paper);
        const KSBatchExport::Result result = exportAll(batch, exporter);
        QVERIFY(result.failed.isEmpty());
        // One photo more than a sheet holds: a full sheet and one with a single copy.
        QCOMPARE(result.written.size(), 2);
        QCOMPARE(QFileInfo(result.written[0]).fileName(), QStringLiteral("sheet-A6.jpg"));
        const QImage full(result.written[0]);
        const QImage last(result.written[1]);
        const KSPrintSheet::Layout layout = KSPrintSheet::layout(paper, look.preset.printSizeMm);
        QCOMPARE(full.size(), layout.sheet);
        // A place without a copy stays white paper; a copy's middle is the subject.
        const QPoint second = layout.copies[1].center();
        QVERIFY(full.pixel(second) != qRgb(255, 255, 255));
        QCOMPARE(last.pixel(second), qRgb(255, 255, 255));
        // Sheets are no photo's own file: the photos are still to be saved.
        QVERIFY(batch.hasUnsavedWork());

        // A size without a printed size makes no sheet, and says why.
        look.preset = *KSSizePresets::findItem(QStringLiteral("1000x1000px"));
        batch.setLook(look);
        const KSBatchExport::Result refused = exportAll(batch, exporter);
        QVERIFY(refused.written.isEmpty());
        QCOMPARE(refused.failed.size(), perSheet + 1);
        QVERIFY(refused.failed[0].error.contains(QStringLiteral("printed size")));
    }

    void aCancelledExportStopsBetweenPhotosAndLeavesNoPartialFile()
    {
        KSBatch batch;
        KSBatchLook look = batch.look();
        look.folder = m_dir.filePath(QStringLiteral("cancelled"));
        look.format = QStringLiteral("jpg");
        look.background = KSEditBackground::ofColour(KSColor(QColor(Qt::white)));
        batch.setLook(look);
        QStringList photos;
        for (int i = 0; i < 6; ++i)
            photos.append(BatchFixture::writePhoto(m_dir.filePath(QStringLiteral("c%1.jpg").arg(i)), QSize(1200, 900)));
        batch.addPhotos(photos, KSEraserType::object);
        QVERIFY(BatchFixture::allFinished(batch));

        KSBatchExport exporter(&batch);
        QSignalSpy finished(&exporter, &KSBatchExport::finished);
        connect(&exporter, &KSBatchExport::progress, &exporter, [&](int done, int) {
            if (done == 1)
                exporter.cancel();
        });
        QVERIFY(exporter.start());
        QVERIFY(!exporter.start());
        QVERIFY(finished.wait(60000));
        const auto result = finished.at(0).at(0).value<KSBatchExport::Result>();
        QVERIFY(result.cancelled);
        QVERIFY(result.written.size() < 6);
        QVERIFY(!exporter.isRunning());
        const QStringList inFolder = QDir(look.folder).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(inFolder.size(), result.written.size());
    }
};

QTEST_MAIN(TestBatchExport)
#include "tst_batchexport.moc"
