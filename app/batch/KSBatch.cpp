#include "KSBatch.h"

#include "CommLog.h"
#include "KSBatchModel.h"
#include "KSBatchThumbnail.h"
#include "KSEditDocument.h"
#include "KSJobProgress.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>
#include <QUndoStack>

#include <algorithm>

struct KSBatch::Entry
{
    KSBatchItem item;
    KSEraserManager::JobId job = 0;
    // Which start of the photo's job a report belongs to; a report of an
    // earlier start (cancelled, or cut again with another type) is dropped.
    quint64 run = 0;
    qint64 startedMs = 0;
    // Which request a thumbnail answers; older answers are dropped.
    quint64 thumbnailSerial = 0;
    KSEditDocument *document = nullptr;
    // The editor shows the document now: it is never let go meanwhile.
    bool documentOpen = false;
};

KSBatch::KSBatch(QObject *parent) : QObject(parent), m_thumbnailPool(new QThreadPool(this))
{
    // One thumbnail at a time: the jobs need the cores more.
    m_thumbnailPool->setMaxThreadCount(1);
    m_look = KSBatchLook::fromSettings();
    m_clock.start();
    m_model = new KSBatchModel(this);
}

KSBatch::~KSBatch()
{
    m_thumbnailPool->clear();
    for (const std::unique_ptr<Entry> &entry : m_items) {
        stopJob(*entry);
        dropCutout(*entry);
    }
    m_thumbnailPool->waitForDone();
}

KSBatch::Entry *KSBatch::entry(Id id)
{
    const auto it = std::find_if(m_items.begin(), m_items.end(), [id](const auto &e) { return e->item.id == id; });
    return it == m_items.end() ? nullptr : it->get();
}

const KSBatch::Entry *KSBatch::entry(Id id) const
{
    return const_cast<KSBatch *>(this)->entry(id);
}

QList<KSBatch::Id> KSBatch::ids() const
{
    QList<Id> ids;
    ids.reserve(qsizetype(m_items.size()));
    for (const std::unique_ptr<Entry> &entry : m_items)
        ids.append(entry->item.id);
    return ids;
}

int KSBatch::rowOf(Id id) const
{
    const auto it = std::find_if(m_items.cbegin(), m_items.cend(), [id](const auto &e) { return e->item.id == id; });
    return it == m_items.cend() ? -1 : int(it - m_items.cbegin());
}

KSBatch::Id KSBatch::idAt(int row) const
{
    return row >= 0 && row < count() ? m_items[size_t(row)]->item.id : 0;
}

std::optional<KSBatchItem> KSBatch::item(Id id) const
{
    const Entry *e = entry(id);
    return e ? std::optional<KSBatchItem>(e->item) : std::nullopt;
}

const KSBatchItem &KSBatch::itemAt(int row) const
{
    return m_items[size_t(row)]->item;
}

QStringList KSBatch::photoPaths() const
{
    QStringList paths;
    for (const std::unique_ptr<Entry> &entry : m_items)
        paths.append(entry->item.photoPath);
    return paths;
}

QString KSBatch::baseNameFor(Id id) const
{
    const Entry *e = entry(id);
    return e ? QFileInfo(e->item.photoPath).completeBaseName() : QString();
}

QList<KSBatch::Id> KSBatch::addPhotos(const QStringList &photos, KSEraserType type)
{
    QList<Id> added;
    if (photos.isEmpty())
        return added;
    const int first = count();
    emit itemsAboutToBeAdded(first, first + int(photos.size()) - 1);
    for (const QString &photo : photos) {
        auto e = std::make_unique<Entry>();
        e->item.id = m_nextId++;
        e->item.photoPath = photo;
        e->item.type = type;
        added.append(e->item.id);
        m_items.push_back(std::move(e));
    }
    emit itemsAdded(first, count() - 1);
    startJobs();
    summaryMayHaveChanged();
    return added;
}

void KSBatch::remove(Id id)
{
    const int row = rowOf(id);
    if (row < 0)
        return;
    Entry &e = *m_items[size_t(row)];
    stopJob(e);
    dropCutout(e);
    dropDocument(e);
    emit itemAboutToBeRemoved(row);
    m_items.erase(m_items.begin() + row);
    emit itemRemoved(row);
    startJobs();
    summaryMayHaveChanged();
}

void KSBatch::remove(const QList<Id> &ids)
{
    for (Id id : ids)
        remove(id);
}

void KSBatch::setType(Id id, KSEraserType type)
{
    Entry *e = entry(id);
    if (!e || e->item.type == type)
        return;
    e->item.type = type;
    if (e->item.state != KSBatchItem::State::waiting) {
        // Another type is another cut-out: the photo is cut again.
        stopJob(*e);
        dropCutout(*e);
        dropDocument(*e);
        e->item.state = KSBatchItem::State::waiting;
        e->item.progress = 0;
        e->item.failure.reset();
        e->item.thumbnail = QImage();
        e->item.hasOwnEdits = false;
        e->item.exportedPath.clear();
        ++e->thumbnailSerial;
    }
    changed(*e);
    startJobs();
    summaryMayHaveChanged();
}

void KSBatch::setConcurrentJobs(int jobs)
{
    m_concurrentJobs = std::max(jobs, 1);
    startJobs();
}

void KSBatch::startJobs()
{
    int running = int(std::count_if(m_items.cbegin(), m_items.cend(), [](const auto &e) { return e->item.isRunning(); }));
    for (const std::unique_ptr<Entry> &e : m_items) {
        if (running >= m_concurrentJobs)
            break;
        if (e->item.state == KSBatchItem::State::waiting) {
            startJob(*e);
            ++running;
        }
    }
}

void KSBatch::startJob(Entry &e)
{
    const Id id = e.item.id;
    const quint64 run = m_nextRun++;
    e.run = run;
    e.startedMs = m_clock.elapsed();
    e.item.state = KSBatchItem::State::uploading;
    e.item.progress = 0;
    e.item.failure.reset();
    const QPointer<KSBatch> self(this);
    e.job = KSEraserManager::startEraser(
        e.item.photoPath, e.item.type,
        [self, id, run](bool success, const std::optional<QString> &path, double progress) {
            if (self)
                self->jobReported(id, run, success, path, progress);
        },
        [self, id, run](const KSEraserFailure &failure) {
            if (self)
                self->jobFailed(id, run, failure);
        });
    changed(e);
}

void KSBatch::jobFailed(Id id, quint64 run, const KSEraserFailure &failure)
{
    Entry *e = entry(id);
    if (e && e->run == run && e->item.isRunning())
        e->item.failure = failure;
}

void KSBatch::jobReported(Id id, quint64 run, bool success, const std::optional<QString> &path, double progress)
{
    Entry *e = entry(id);
    if (!e || e->run != run || !e->item.isRunning()) {
        // A cut-out nobody waits for any more.
        if (success && path)
            QFile::remove(*path);
        return;
    }
    const bool final = success || progress < 0;
    if (!final) {
        e->item.progress = progress;
        e->item.state = progress < KSJobProgress::kUploaded ? KSBatchItem::State::uploading
                                                            : KSBatchItem::State::cutting;
        changed(*e);
        return;
    }
    e->job = 0;
    const qint64 now = m_clock.elapsed();
    m_pace.jobEnded(now, now - e->startedMs);
    if (success && path) {
        e->item.state = KSBatchItem::State::done;
        e->item.progress = 1.0;
        e->item.cutoutPath = *path;
        requestThumbnail(*e);
    } else {
        e->item.state = KSBatchItem::State::failed;
        e->item.progress = 0;
        if (!e->item.failure)
            e->item.failure = KSEraserFailure();
        CommLog::E(QStringLiteral("batch: %1 failed: %2").arg(e->item.photoPath, e->item.failure->englishText()));
    }
    changed(*e);
    startJobs();
    summaryMayHaveChanged();
}

void KSBatch::stopJob(Entry &e)
{
    if (e.job != 0)
        KSEraserManager::cancelEraser(e.job);
    e.job = 0;
    ++e.run;
}

void KSBatch::dropCutout(Entry &e)
{
    if (!e.item.cutoutPath.isEmpty())
        QFile::remove(e.item.cutoutPath);
    e.item.cutoutPath.clear();
}

void KSBatch::dropDocument(Entry &e)
{
    m_documentOrder.removeAll(e.item.id);
    if (!e.document)
        return;
    e.document->disconnect(this);
    e.document->undoStack()->disconnect(this);
    // Work it started may still report to it.
    e.document->deleteLater();
    e.document = nullptr;
    e.documentOpen = false;
}

bool KSBatch::retry(Id id)
{
    Entry *e = entry(id);
    if (!e || (e->item.state != KSBatchItem::State::failed && e->item.state != KSBatchItem::State::cancelled))
        return false;
    e->item.state = KSBatchItem::State::waiting;
    e->item.progress = 0;
    e->item.failure.reset();
    changed(*e);
    startJobs();
    summaryMayHaveChanged();
    return true;
}

bool KSBatch::cancel(Id id)
{
    Entry *e = entry(id);
    if (!e || e->item.isFinished())
        return false;
    stopJob(*e);
    e->item.state = KSBatchItem::State::cancelled;
    e->item.progress = 0;
    changed(*e);
    startJobs();
    summaryMayHaveChanged();
    return true;
}

void KSBatch::cancelAll()
{
    // The waiting first, so that no job starts in a running one's place.
    for (const std::unique_ptr<Entry> &e : m_items) {
        if (e->item.state == KSBatchItem::State::waiting) {
            e->item.state = KSBatchItem::State::cancelled;
            changed(*e);
        }
    }
    for (const std::unique_ptr<Entry> &e : m_items) {
        if (e->item.isRunning())
            cancel(e->item.id);
    }
    summaryMayHaveChanged();
}

KSBatch::Summary KSBatch::summary() const
{
    Summary summary;
    summary.total = count();
    for (const std::unique_ptr<Entry> &e : m_items) {
        switch (e->item.state) {
        case KSBatchItem::State::waiting: ++summary.waiting; break;
        case KSBatchItem::State::uploading:
        case KSBatchItem::State::cutting: ++summary.running; break;
        case KSBatchItem::State::done: ++summary.done; break;
        case KSBatchItem::State::failed: ++summary.failed; break;
        case KSBatchItem::State::cancelled: ++summary.cancelled; break;
        }
    }
    summary.msLeft = m_pace.msLeft(summary.waiting + summary.running, m_concurrentJobs);
    return summary;
}

bool KSBatch::hasUnfinishedWork() const
{
    return std::any_of(m_items.cbegin(), m_items.cend(), [](const auto &e) { return !e->item.isFinished(); });
}

bool KSBatch::hasUnsavedWork() const
{
    return std::any_of(m_items.cbegin(), m_items.cend(), [](const auto &e) {
        return e->item.state == KSBatchItem::State::done && e->item.exportedPath.isEmpty();
    });
}

void KSBatch::setLook(const KSBatchLook &look)
{
    if (look == m_look)
        return;
    const bool redraw = !look.drawsLike(m_look);
    m_look = look;
    for (const std::unique_ptr<Entry> &e : m_items) {
        if (e->item.hasOwnEdits)
            continue;
        // The pictures, their folder or format change: written ones are stale.
        e->item.exportedPath.clear();
        if (redraw) {
            if (e->document)
                m_look.applyTo(*e->document);
            if (e->item.state == KSBatchItem::State::done)
                requestThumbnail(*e);
        }
        changed(*e);
    }
    emit lookChanged();
    summaryMayHaveChanged();
}

KSEditDocument *KSBatch::existingDocument(Id id) const
{
    const Entry *e = entry(id);
    return e ? e->document : nullptr;
}

KSEditDocument *KSBatch::documentFor(Id id, QString *error)
{
    Entry *e = entry(id);
    if (!e || e->item.state != KSBatchItem::State::done) {
        if (error)
            *error = QStringLiteral("the photo has no cut-out yet");
        return nullptr;
    }
    if (!e->document) {
        auto *document = new KSEditDocument(this);
        if (!document->loadCutout(e->item.cutoutPath, error)) {
            delete document;
            return nullptr;
        }
        document->loadPhotoColours(e->item.photoPath);
        m_look.applyTo(*document);
        // An ID size chosen later in the editor finds them ready.
        if (!document->faces())
            document->startFaceSearch();
        connect(document->undoStack(), &QUndoStack::indexChanged, this, [this, id](int index) {
            Entry *owner = entry(id);
            if (!owner)
                return;
            owner->item.hasOwnEdits = index > 0;
            owner->item.exportedPath.clear();
            changed(*owner);
            summaryMayHaveChanged();
        });
        // A closed document with edits of its own drew its thumbnail before
        // the photo's colours came: a blurred backdrop needs them.
        connect(document, &KSEditDocument::photoColoursLoaded, this, [this, id] {
            Entry *owner = entry(id);
            if (owner && !owner->documentOpen && owner->item.hasOwnEdits)
                requestThumbnail(*owner);
        });
        e->document = document;
    }
    e->documentOpen = true;
    keepDocumentsBounded(id);
    return e->document;
}

void KSBatch::documentClosed(Id id)
{
    Entry *e = entry(id);
    if (!e || !e->document)
        return;
    e->documentOpen = false;
    requestThumbnail(*e);
    keepDocumentsBounded(0);
}

void KSBatch::keepDocumentsBounded(Id opened)
{
    if (opened != 0) {
        m_documentOrder.removeAll(opened);
        m_documentOrder.append(opened);
    }
    // Documents without edits of their own are made again at no loss; those
    // with edits hold the user's work and stay.
    QList<Id> spare;
    for (Id id : std::as_const(m_documentOrder)) {
        const Entry *e = entry(id);
        if (e && e->document && !e->documentOpen && !e->item.hasOwnEdits)
            spare.append(id);
    }
    for (qsizetype i = 0; i + kMaxKeptDocuments < spare.size(); ++i) {
        if (Entry *e = entry(spare[i]))
            dropDocument(*e);
    }
}

void KSBatch::markExported(Id id, const QString &path)
{
    Entry *e = entry(id);
    if (!e)
        return;
    e->item.exportedPath = path;
    changed(*e);
    summaryMayHaveChanged();
}

void KSBatch::requestThumbnail(Entry &e)
{
    const Id id = e.item.id;
    const quint64 serial = ++e.thumbnailSerial;
    const QPointer<KSBatch> self(this);
    const auto deliver = [self, id, serial](const QImage &thumbnail) {
        QMetaObject::invokeMethod(self, [self, id, serial, thumbnail] {
            if (self)
                self->thumbnailMade(id, serial, thumbnail);
        }, Qt::QueuedConnection);
    };
    if (e.document && e.item.hasOwnEdits) {
        // Drawn as its document stands, from the reduced subject the
        // canvases already share.
        KSOutputRender::Request request = e.document->renderRequest(kThumbnailSide);
        request.opaque = m_look.outputFormat() != QLatin1String("png");
        const QImage subject = e.document->reducedSubject();
        m_thumbnailPool->start([request, subject, deliver] {
            deliver(KSBatchThumbnail::fromRequest(request, subject, kThumbnailSide));
        });
        return;
    }
    m_thumbnailPool->start([path = e.item.cutoutPath, photo = e.item.photoPath, look = m_look, deliver] {
        deliver(KSBatchThumbnail::make(path, photo, look, kThumbnailSide));
    });
}

void KSBatch::thumbnailMade(Id id, quint64 serial, const QImage &thumbnail)
{
    Entry *e = entry(id);
    if (!e || e->thumbnailSerial != serial)
        return;
    e->item.thumbnail = thumbnail;
    changed(*e);
}

void KSBatch::changed(Entry &e)
{
    emit itemChanged(e.item.id);
}

void KSBatch::summaryMayHaveChanged()
{
    emit summaryChanged();
    const bool busy = hasUnfinishedWork();
    if (m_wasBusy && !busy)
        emit allFinished();
    m_wasBusy = busy;
}
