#include "KSBatch.h"

#include "BatchFixture.h"
#include "KSBatchModel.h"
#include "KSEditDocument.h"
#include "KSSizePresets.h"
#include "WorkQuiet.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QUndoStack>

using State = KSBatchItem::State;

// The batch's jobs against the built-in service: states, retry, cancel,
// the look given to every photo and a photo's own edits kept.
class TestBatch : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    KSLocalService m_service;
    int m_photos = 0;

    QStringList photos(int n)
    {
        QStringList list;
        for (int i = 0; i < n; ++i)
            list.append(BatchFixture::writePhoto(m_dir.filePath(QStringLiteral("photo %1.jpg").arg(++m_photos))));
        return list;
    }

    static KSBatchLook whiteSquare(const KSBatch &batch)
    {
        KSBatchLook look = batch.look();
        look.background = KSEditBackground::ofColour(KSColor(QColor(Qt::white)));
        look.preset = *KSSizePresets::findItem(QStringLiteral("1000x1000px"));
        look.fitMode = KSFitMode::subject;
        return look;
    }

    static QRgb corner(const QImage &image) { return image.isNull() ? 0 : image.pixel(0, 0); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(BatchFixture::startService(m_service, m_dir.filePath(QStringLiteral("service"))));
    }

    void cleanupTestCase() { BatchFixture::stopService(m_service); }

    void cleanup()
    {
        // Whatever a test left running has ended before the next one counts files.
        QVERIFY(waitUntilQuiet());
    }

    void photosRunAFewAtATimeToDone()
    {
        const QSet<QString> before = BatchFixture::tempFiles();
        {
            KSBatch batch;
            batch.setConcurrentJobs(2);
            QSignalSpy finished(&batch, &KSBatch::allFinished);
            int mostRunning = 0;
            QList<State> firstSeen;
            connect(&batch, &KSBatch::itemChanged, this, [&](KSBatchItem::Id id) {
                mostRunning = std::max(mostRunning, batch.summary().running);
                if (id == batch.idAt(0) && (firstSeen.isEmpty() || firstSeen.last() != batch.item(id)->state))
                    firstSeen.append(batch.item(id)->state);
            });
            const QList<KSBatchItem::Id> ids = batch.addPhotos(photos(4), KSEraserType::object);
            QCOMPARE(ids.size(), 4);
            QCOMPARE(batch.model()->rowCount(), 4);
            QCOMPARE(batch.summary().running, 2);
            QCOMPARE(batch.summary().waiting, 2);
            QVERIFY(batch.hasUnfinishedWork());

            QVERIFY(BatchFixture::allFinished(batch));
            QCOMPARE(finished.count(), 1);
            QCOMPARE(mostRunning, 2);
            QCOMPARE(firstSeen, (QList<State>{State::uploading, State::cutting, State::done}));
            const KSBatch::Summary summary = batch.summary();
            QCOMPARE(summary.done, 4);
            QVERIFY(summary.msLeft == qint64(0));
            QVERIFY(batch.hasUnsavedWork());

            QVERIFY(BatchFixture::thumbnailsMade(batch));
            for (KSBatchItem::Id id : ids) {
                const KSBatchItem item = *batch.item(id);
                QVERIFY(QFileInfo::exists(item.cutoutPath));
                QCOMPARE(std::max(item.thumbnail.width(), item.thumbnail.height()), KSBatch::kThumbnailSide);
                // Transparent around the subject, as the look has no background yet.
                QCOMPARE(qAlpha(corner(item.thumbnail)), 0);
            }
            const QModelIndex first = batch.model()->index(0);
            QCOMPARE(first.data(KSBatchModel::StateRole).toInt(), int(State::done));
            QCOMPARE(first.data(Qt::DisplayRole).toString(), QFileInfo(batch.item(ids[0])->photoPath).fileName());
            QVERIFY(!first.data(KSBatchModel::ThumbnailRole).value<QImage>().isNull());
        }
        // The batch gone, its cut-outs are gone.
        QCOMPARE(BatchFixture::tempFiles(), before);
    }

    void aFailureIsToldAndARetryCanEndOtherwise()
    {
        KSBatch batch;
        // Nothing to cut out in a plain picture.
        const QString photo =
            BatchFixture::writePhoto(m_dir.filePath(QStringLiteral("plain.jpg")), QSize(480, 360), true);
        const KSBatchItem::Id id = batch.addPhotos({photo}, KSEraserType::object).first();
        QVERIFY(BatchFixture::allFinished(batch));
        KSBatchItem item = *batch.item(id);
        QCOMPARE(item.state, State::failed);
        QVERIFY(item.failure);
        QCOMPARE(item.failure->kind, KSEraserFailure::Kind::noSubject);
        QVERIFY(!item.failureText().isEmpty());
        QCOMPARE(batch.model()->index(0).data(KSBatchModel::FailureTextRole).toString(), item.failureText());
        QCOMPARE(batch.summary().failed, 1);
        // Failed photos are no unsaved work.
        QVERIFY(!batch.hasUnsavedWork());

        QVERIFY(!batch.cancel(id));
        QVERIFY(BatchFixture::writePhoto(photo) == photo);
        QVERIFY(batch.retry(id));
        QVERIFY(!batch.item(id)->failure);
        QVERIFY(BatchFixture::allFinished(batch));
        QCOMPARE(batch.item(id)->state, State::done);
        // Only what failed or was cancelled is tried again.
        QVERIFY(!batch.retry(id));
    }

    void cancelLeavesNoJobAndNoFileBehind()
    {
        const QSet<QString> before = BatchFixture::tempFiles();
        KSBatch batch;
        batch.setConcurrentJobs(1);
        const QList<KSBatchItem::Id> ids = batch.addPhotos(photos(4), KSEraserType::person);
        // The first is cancelled mid-way; the second starts in its place.
        QVERIFY(QTest::qWaitFor([&] { return batch.item(ids[0])->state == State::cutting; }, 20000));
        QVERIFY(batch.cancel(ids[0]));
        QCOMPARE(batch.item(ids[0])->state, State::cancelled);
        QVERIFY(batch.item(ids[1])->isRunning());
        batch.cancelAll();
        for (KSBatchItem::Id id : ids)
            QCOMPARE(batch.item(id)->state, State::cancelled);
        QVERIFY(!batch.hasUnfinishedWork());
        QSignalSpy changes(&batch, &KSBatch::itemChanged);
        // Nothing reports after the cancel, and the jobs' files are gone.
        QVERIFY(waitUntilQuiet());
        QTest::qWait(300);
        QVERIFY(waitUntilQuiet());
        QCOMPARE(changes.count(), 0);
        QCOMPARE(BatchFixture::tempFiles(), before);

        // A cancelled photo can be cut after all; removing it deletes its cut-out.
        QVERIFY(batch.retry(ids[2]));
        QVERIFY(BatchFixture::allFinished(batch));
        const QString cutout = batch.item(ids[2])->cutoutPath;
        QVERIFY(QFileInfo::exists(cutout));
        batch.remove(ids[2]);
        QCOMPARE(batch.count(), 3);
        QVERIFY(!QFileInfo::exists(cutout));
        QCOMPARE(BatchFixture::tempFiles(), before);
    }

    void theLookReachesEveryPhotoButOwnEdits()
    {
        KSBatch batch;
        const QList<KSBatchItem::Id> ids = batch.addPhotos(photos(3), KSEraserType::object);
        QVERIFY(BatchFixture::allFinished(batch));
        QVERIFY(BatchFixture::thumbnailsMade(batch));

        const KSBatchLook white = whiteSquare(batch);
        batch.setLook(white);
        QVERIFY(QTest::qWaitFor([&] {
            return std::all_of(ids.cbegin(), ids.cend(), [&](auto id) { return corner(batch.item(id)->thumbnail) == qRgb(255, 255, 255); });
        }, 20000));
        for (KSBatchItem::Id id : ids)
            QCOMPARE(batch.item(id)->thumbnail.size(), QSize(KSBatch::kThumbnailSide, KSBatch::kThumbnailSide));

        // Opened in the editor: the look, and no step to undo.
        KSEditDocument *edited = batch.documentFor(ids[0]);
        QVERIFY(edited);
        QCOMPARE(edited->background(), white.background);
        QCOMPARE(edited->framing().backgroundSize, QSizeF(1000, 1000));
        QCOMPARE(edited->undoStack()->count(), 0);
        QVERIFY(edited->undoStack()->isClean());
        QVERIFY(!batch.item(ids[0])->hasOwnEdits);

        edited->mirrorSubject(true);
        QVERIFY(batch.item(ids[0])->hasOwnEdits);
        QVERIFY(batch.model()->index(0).data(KSBatchModel::OwnEditsRole).toBool());
        batch.documentClosed(ids[0]);

        // An untouched photo opened and closed again takes a later look too.
        KSEditDocument *untouched = batch.documentFor(ids[1]);
        QVERIFY(untouched);
        batch.documentClosed(ids[1]);

        KSBatchLook blue = white;
        blue.background = KSEditBackground::ofColour(KSColor(QColor(0, 0, 255)));
        blue.preset = *KSSizePresets::findItem(QStringLiteral("Source"));
        batch.setLook(blue);
        QVERIFY(QTest::qWaitFor([&] { return corner(batch.item(ids[2])->thumbnail) == qRgb(0, 0, 255); }, 20000));
        QVERIFY(QTest::qWaitFor([&] { return corner(batch.item(ids[1])->thumbnail) == qRgb(0, 0, 255); }, 20000));
        QCOMPARE(batch.item(ids[2])->thumbnail.size(), QSize(256, 192));

        // The edited photo keeps its own document, history and look.
        QCOMPARE(batch.documentFor(ids[0]), edited);
        QCOMPARE(edited->undoStack()->count(), 1);
        QVERIFY(edited->isMirrored());
        QCOMPARE(edited->background(), white.background);
        QCOMPARE(edited->framing().backgroundSize, QSizeF(1000, 1000));
        QCOMPARE(corner(batch.item(ids[0])->thumbnail), qRgb(255, 255, 255));
        // The untouched document follows the look without a step.
        KSEditDocument *again = batch.documentFor(ids[1]);
        QCOMPARE(again->background(), blue.background);
        QVERIFY(!again->framing().hasSize());
        QCOMPARE(again->undoStack()->count(), 0);

        // Undoing every edit gives the photo back to the look.
        edited->undoStack()->undo();
        QVERIFY(!batch.item(ids[0])->hasOwnEdits);
    }

    void aShadowAndTheBlurredBackdropReachEveryPhotoButOwnEdits()
    {
        KSBatch batch;
        const QList<KSBatchItem::Id> ids = batch.addPhotos(photos(2), KSEraserType::object);
        QVERIFY(BatchFixture::allFinished(batch));
        const KSBatchLook plain = whiteSquare(batch);
        batch.setLook(plain);
        QVERIFY(QTest::qWaitFor([&] { return corner(batch.item(ids[0])->thumbnail) == qRgb(255, 255, 255); }, 20000));
        const QImage unshadowed = batch.item(ids[0])->thumbnail;

        KSEditDocument *own = batch.documentFor(ids[1]);
        QVERIFY(own);
        own->chooseShadow(KSEditShadow::drop());
        batch.documentClosed(ids[1]);

        KSBatchLook shadowed = plain;
        shadowed.shadow = KSEditShadow::contact();
        QVERIFY(!shadowed.drawsLike(plain));
        batch.setLook(shadowed);
        QVERIFY(QTest::qWaitFor([&] { return batch.item(ids[0])->thumbnail != unshadowed; }, 20000));
        // The shadow only darkens the white around the subject.
        const QImage withShadow = batch.item(ids[0])->thumbnail.convertToFormat(QImage::Format_RGB32);
        QCOMPARE(withShadow.size(), unshadowed.size());
        int darkened = 0;
        for (int y = 0; y < withShadow.height(); ++y) {
            for (int x = 0; x < withShadow.width(); ++x) {
                const QRgb was = unshadowed.pixel(x, y);
                const QRgb is = withShadow.pixel(x, y);
                QVERIFY(qGray(is) <= qGray(was) + 1);
                darkened += was == qRgb(255, 255, 255) && qGray(is) < 250;
            }
        }
        QVERIFY(darkened > 0);
        KSEditDocument *untouched = batch.documentFor(ids[0]);
        QCOMPARE(untouched->shadow(), shadowed.shadow);
        QCOMPARE(untouched->undoStack()->count(), 0);
        batch.documentClosed(ids[0]);

        // The photo's own backdrop, blurred: its light grey, not white.
        KSBatchLook blurred = shadowed;
        blurred.background = KSEditBackground::ofBlurredPhoto();
        batch.setLook(blurred);
        const auto isBackdrop = [](QRgb pixel) {
            return std::abs(qRed(pixel) - 232) <= 6 && std::abs(qGreen(pixel) - 234) <= 6 && std::abs(qBlue(pixel) - 238) <= 6;
        };
        QVERIFY(QTest::qWaitFor([&] { return isBackdrop(corner(batch.item(ids[0])->thumbnail)); }, 20000));
        QCOMPARE(untouched->background(), blurred.background);
        QCOMPARE(untouched->shadow(), blurred.shadow);

        // The photo with edits of its own keeps its shadow and its background.
        QCOMPARE(own->shadow(), KSEditShadow::drop());
        QCOMPARE(own->background(), plain.background);
        QCOMPARE(corner(batch.item(ids[1])->thumbnail), qRgb(255, 255, 255));
    }

    void anotherTypeCutsThePhotoAgain()
    {
        KSBatch batch;
        const KSBatchItem::Id id = batch.addPhotos(photos(1), KSEraserType::object).first();
        QVERIFY(BatchFixture::allFinished(batch));
        const QString first = batch.item(id)->cutoutPath;
        QVERIFY(batch.documentFor(id));
        batch.documentFor(id)->mirrorSubject(true);

        batch.setType(id, KSEraserType::person);
        QCOMPARE(batch.item(id)->type, KSEraserType::person);
        QVERIFY(batch.item(id)->isRunning());
        QVERIFY(!batch.item(id)->hasOwnEdits);
        QVERIFY(!batch.existingDocument(id));
        QVERIFY(!QFileInfo::exists(first));
        QVERIFY(BatchFixture::allFinished(batch));
        QCOMPARE(batch.item(id)->state, State::done);
    }

    void documentsWithoutEditsAreLetGoBeyondTheBound()
    {
        KSBatch batch;
        const QList<KSBatchItem::Id> ids = batch.addPhotos(photos(KSBatch::kMaxKeptDocuments + 3), KSEraserType::object);
        QVERIFY(BatchFixture::allFinished(batch));
        // The first is edited: it stays whatever is opened after it.
        batch.documentFor(ids[0])->mirrorSubject(true);
        batch.documentClosed(ids[0]);
        for (qsizetype i = 1; i < ids.size(); ++i) {
            QVERIFY(batch.documentFor(ids[i]));
            batch.documentClosed(ids[i]);
        }
        int kept = 0;
        for (KSBatchItem::Id id : ids)
            kept += batch.existingDocument(id) ? 1 : 0;
        QCOMPARE(kept, KSBatch::kMaxKeptDocuments + 1);
        QVERIFY(batch.existingDocument(ids[0]));
        QVERIFY(batch.existingDocument(ids.last()));
        // One let go is made again on asking, with the look.
        QVERIFY(!batch.existingDocument(ids[1]));
        QVERIFY(batch.documentFor(ids[1]));
    }

    void aDocumentIsOnlyForADonePhoto()
    {
        KSBatch batch;
        const KSBatchItem::Id id = batch.addPhotos(photos(1), KSEraserType::object).first();
        QString error;
        QVERIFY(!batch.documentFor(id, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(BatchFixture::allFinished(batch));
        // A cut-out that went missing is said so, not opened empty.
        QFile::remove(batch.item(id)->cutoutPath);
        error.clear();
        QVERIFY(!batch.documentFor(id, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TestBatch)
#include "tst_batch.moc"
