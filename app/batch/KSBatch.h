#pragma once

#include "KSBatchItem.h"
#include "KSBatchLook.h"
#include "KSBatchPace.h"
#include "KSEraserManager.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>

#include <memory>
#include <optional>

class KSBatchModel;
class KSEditDocument;
class QThreadPool;

// Many photos cut out at once: each photo's state from waiting to done or
// failed, the jobs run through the same job manager and service as one
// photo's (KSEraserManager), a few at a time, the look given to all, each
// photo's thumbnail, and a document of its own once it is opened in the
// editor. Headless; the batch screen shows model() and calls the rest.
//
// Memory: the batch holds thumbnails, not pictures. Cut-outs wait in the
// temporary folder; a full picture lives only while a job, a thumbnail, an
// export step or an open document needs it. Documents without edits of
// their own beyond kMaxKeptDocuments are let go (and made again when asked
// for); a document with edits of its own is kept. Main thread.
class KSBatch : public QObject
{
    Q_OBJECT

public:
    using Id = KSBatchItem::Id;

    // Jobs at once when none is set: measured with bench_batch on two cores.
    static constexpr int kDefaultConcurrentJobs = 2;
    // Thumbnails' longer side.
    static constexpr int kThumbnailSide = 256;
    // Documents without edits of their own kept for a photo opened again.
    static constexpr int kMaxKeptDocuments = 2;

    struct Summary
    {
        int total = 0;
        int waiting = 0;
        int running = 0;
        int done = 0;
        int failed = 0;
        int cancelled = 0;
        // Until the jobs waiting and running are done, from the recent jobs'
        // pace; none before any job has ended.
        std::optional<qint64> msLeft;
    };

    explicit KSBatch(QObject *parent = nullptr);
    // Cancels the jobs and deletes the cut-outs.
    ~KSBatch() override;

    // ---- the photos
    // Adds photos (as KSBatchIntake gathered them) of one type; their jobs
    // start as room allows. Returns their ids.
    QList<Id> addPhotos(const QStringList &photos, KSEraserType type);
    // Cancels its job, deletes its cut-out and its document.
    void remove(Id id);
    void remove(const QList<Id> &ids);

    [[nodiscard]] int count() const { return int(m_items.size()); }
    [[nodiscard]] QList<Id> ids() const;
    // -1 for an id not in the batch.
    [[nodiscard]] int rowOf(Id id) const;
    [[nodiscard]] Id idAt(int row) const;
    // A copy of the item; none for an id not in the batch.
    [[nodiscard]] std::optional<KSBatchItem> item(Id id) const;
    // The item of a row in 0..count()-1.
    [[nodiscard]] const KSBatchItem &itemAt(int row) const;
    [[nodiscard]] QStringList photoPaths() const;

    // Changes a photo's type. A photo already cut (or being cut) is cut
    // again with it; its edits of its own go with its old cut-out.
    void setType(Id id, KSEraserType type);

    // ---- the jobs
    void setConcurrentJobs(int jobs);
    [[nodiscard]] int concurrentJobs() const { return m_concurrentJobs; }
    // A failed or cancelled photo waits for its job again; false otherwise.
    bool retry(Id id);
    // A waiting or running photo is cancelled: no job runs for it any more
    // and its job's files go. False for a photo already finished.
    bool cancel(Id id);
    void cancelAll();

    [[nodiscard]] Summary summary() const;
    // Jobs waiting or running: closing asks first.
    [[nodiscard]] bool hasUnfinishedWork() const;
    // Done photos not written since they were last changed: closing asks first.
    [[nodiscard]] bool hasUnsavedWork() const;

    // ---- the look
    [[nodiscard]] const KSBatchLook &look() const { return m_look; }
    // Every photo without edits of its own takes the new look (its
    // thumbnail is made again); a photo with edits of its own keeps
    // everything its document holds, its background and size included.
    void setLook(const KSBatchLook &look);

    // ---- a photo in the editor
    // The photo's document: its cut-out with the photo's colours and the
    // look, made on first asking and kept with the photo afterwards, so
    // that its edits and their history stay. nullptr unless the photo is
    // done or when the cut-out cannot be read (*error says why). The batch
    // owns it; it lives until the photo is removed, cut again, or let go
    // while it has no edits of its own.
    KSEditDocument *documentFor(Id id, QString *error = nullptr);
    // The document a photo has now, without making one.
    [[nodiscard]] KSEditDocument *existingDocument(Id id) const;
    // The editor has closed on it: its thumbnail follows the document.
    void documentClosed(Id id);

    // The name an output of the photo gets before the free-name rule: the photo's own.
    [[nodiscard]] QString baseNameFor(Id id) const;
    // Called by the export for each photo it wrote.
    void markExported(Id id, const QString &path);

    [[nodiscard]] KSBatchModel *model() const { return m_model; }

signals:
    void itemsAboutToBeAdded(int firstRow, int lastRow);
    void itemsAdded(int firstRow, int lastRow);
    void itemAboutToBeRemoved(int row);
    void itemRemoved(int row);
    // State, progress, thumbnail, own edits or type changed.
    void itemChanged(KSBatchItem::Id id);
    void summaryChanged();
    void lookChanged();
    // Nothing runs or waits any more (every job ended, failed or was cancelled).
    void allFinished();

private:
    struct Entry;

    Entry *entry(Id id);
    const Entry *entry(Id id) const;
    void startJobs();
    void startJob(Entry &entry);
    void jobReported(Id id, quint64 run, bool success, const std::optional<QString> &path, double progress);
    void jobFailed(Id id, quint64 run, const KSEraserFailure &failure);
    void stopJob(Entry &entry);
    void dropCutout(Entry &entry);
    void dropDocument(Entry &entry);
    void requestThumbnail(Entry &entry);
    void thumbnailMade(Id id, quint64 serial, const QImage &thumbnail);
    void keepDocumentsBounded(Id opened);
    void changed(Entry &entry);
    void summaryMayHaveChanged();

    std::vector<std::unique_ptr<Entry>> m_items;
    Id m_nextId = 1;
    quint64 m_nextRun = 1;
    int m_concurrentJobs = kDefaultConcurrentJobs;
    KSBatchLook m_look;
    KSBatchPace m_pace;
    QList<Id> m_documentOrder; // least recently opened first
    QThreadPool *m_thumbnailPool = nullptr;
    KSBatchModel *m_model = nullptr;
    bool m_wasBusy = false;
    QElapsedTimer m_clock;
};
