#include "KSBatchExport.h"

#include "CommLog.h"
#include "KSBatch.h"
#include "KSEditDocument.h"
#include "KSOutputSaver.h"

#include <QDir>
#include <QFuture>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// One photo to write, gathered on the GUI thread.
struct Step
{
    KSBatchItem::Id id = 0;
    QString photoPath;
    QString cutoutPath;
    // Set for a photo with a document: its request and its subject as
    // edited. Otherwise the worker makes the document the editor would open.
    bool prepared = false;
    KSOutputSaver::Job job;
};

// What the editor's Save writes for the photo: the document's request with
// the output size, its subject, the look's folder and format.
KSOutputSaver::Job saveJob(const KSEditDocument &document, const KSBatchLook &look, const QString &baseName)
{
    KSOutputSaver::Job job;
    job.folder = look.folder;
    job.baseName = baseName;
    job.format = look.outputFormat();
    job.request = document.renderRequest(look.maxSide);
    job.makeSubject = document.subjectMaker();
    return job;
}

} // namespace

struct KSBatchExport::Run
{
    std::atomic<bool> cancelled = false;
    QFuture<void> future;
};

KSBatchExport::KSBatchExport(KSBatch *batch, QObject *parent) : QObject(parent), m_batch(batch) {}

KSBatchExport::~KSBatchExport()
{
    if (m_run) {
        m_run->cancelled = true;
        m_run->future.waitForFinished();
    }
}

void KSBatchExport::cancel()
{
    if (m_run)
        m_run->cancelled = true;
}

bool KSBatchExport::start(const QList<KSBatchItem::Id> &ids)
{
    if (m_run)
        return false;
    const KSBatchLook look = m_batch->look();
    Result result;
    result.folder = look.folder;
    QList<Step> steps;
    for (KSBatchItem::Id id : ids.isEmpty() ? m_batch->ids() : ids) {
        const std::optional<KSBatchItem> item = m_batch->item(id);
        if (!item)
            continue;
        if (item->state != KSBatchItem::State::done) {
            ++result.skipped;
            continue;
        }
        Step step;
        step.id = id;
        step.photoPath = item->photoPath;
        step.cutoutPath = item->cutoutPath;
        if (KSEditDocument *document = m_batch->existingDocument(id)) {
            // A stroke's bounds are brought up to date, as before the editor's save.
            if (document->subjectIsStale())
                document->settleSubject();
            step.job = saveJob(*document, look, m_batch->baseNameFor(id));
            step.prepared = true;
        } else {
            step.job.baseName = m_batch->baseNameFor(id);
        }
        steps.append(step);
    }

    auto run = std::make_shared<Run>();
    m_run = run;
    const QPointer<KSBatchExport> self(this);
    const auto post = [self, run](auto call) {
        QMetaObject::invokeMethod(self, [self, run, call] {
            if (self && self->m_run == run)
                call(*self);
        }, Qt::QueuedConnection);
    };
    run->future = QtConcurrent::run([run, steps, look, result, post]() mutable {
        const int total = int(steps.size());
        if (total > 0 && !QDir().mkpath(look.folder)) {
            for (const Step &step : std::as_const(steps))
                result.failed.append({step.id, step.photoPath,
                                      QStringLiteral("cannot create the folder ") + look.folder});
            steps.clear();
        }
        QList<KSBatchItem::Id> writtenIds;
        int done = 0;
        for (const Step &step : std::as_const(steps)) {
            if (run->cancelled) {
                result.cancelled = true;
                break;
            }
            KSOutputSaver::Job job = step.job;
            std::unique_ptr<KSEditDocument> document;
            if (!step.prepared) {
                // The document the batch would open for the photo, made here.
                document = std::make_unique<KSEditDocument>();
                QString error;
                if (!document->loadCutout(step.cutoutPath, &error)) {
                    result.failed.append({step.id, step.photoPath, error});
                    post([done = ++done, total](KSBatchExport &e) { emit e.progress(done, total); });
                    continue;
                }
                look.applyTo(*document);
                job = saveJob(*document, look, step.job.baseName);
            }
            const KSOutputSaver::Result saved = KSOutputSaver::run(job);
            document.reset();
            if (saved.ok()) {
                result.written.append(saved.path);
                writtenIds.append(step.id);
            } else {
                result.failed.append({step.id, step.photoPath, saved.error});
            }
            post([done = ++done, total](KSBatchExport &e) { emit e.progress(done, total); });
        }
        post([result, writtenIds](KSBatchExport &e) {
            e.m_run.reset();
            for (qsizetype i = 0; i < writtenIds.size(); ++i)
                e.m_batch->markExported(writtenIds[i], result.written[i]);
            CommLog::I(QStringLiteral("batch: exported %1, %2 failed, into %3")
                           .arg(result.written.size())
                           .arg(result.failed.size())
                           .arg(result.folder));
            emit e.finished(result);
        });
    });
    return true;
}
