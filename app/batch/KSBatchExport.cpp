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


using Result = KSBatchExport::Result;

// Sheets of ID photos filled one copy at a time, each written when full.
class SheetWriter
{
public:
    SheetWriter(KSPrintSheet::Paper paper, const KSBatchLook &look)
        : m_paper(paper), m_look(look), m_capacity(int(KSPrintSheet::layout(paper, look.preset.printSizeMm).copies.size()))
    {
    }

    // Why no sheet can be made for the look, or an empty text.
    [[nodiscard]] QString problem() const
    {
        if (!m_look.preset.hasPrintSize() || !m_look.hasSize())
            return QStringLiteral("the chosen size has no printed size");
        return KSPrintSheet::whyNoCopyFits(m_paper, m_look.preset.printSizeMm);
    }

    // Adds a photo's picture; writes the sheet once full. False, with the
    // reason, when the picture is not of the sheet's printed size.
    bool add(const QImage &picture, const QSizeF &printSizeMm, Result *result, QString *error)
    {
        if (printSizeMm != m_look.preset.printSizeMm) {
            *error = QStringLiteral("its printed size is not the batch's");
            return false;
        }
        m_pictures.append(picture);
        if (m_pictures.size() == m_capacity)
            flush(result);
        return true;
    }

    void flush(Result *result)
    {
        if (m_pictures.isEmpty())
            return;
        const QImage sheet = KSPrintSheet::renderMany(m_pictures, m_look.preset.printSizeMm, m_paper);
        m_pictures.clear();
        const KSOutputSaver::Result saved = KSOutputSaver::writeOutputImage(
            sheet, m_look.folder, QStringLiteral("sheet-") + KSPrintSheet::paperName(m_paper), m_look.outputFormat(),
            QSizeF(KSPrintSheet::kDpi, KSPrintSheet::kDpi));
        if (saved.ok())
            result->written.append(saved.path);
        else
            result->failed.append({0, QString(), saved.error});
    }

private:
    KSPrintSheet::Paper m_paper;
    KSBatchLook m_look;
    int m_capacity;
    QList<QImage> m_pictures; // small: ID photos at their printed size
};

// Writes the steps one at a time; `progress` hears each one handled.
void writeAll(const QList<Step> &steps, const KSBatchLook &look, std::optional<KSPrintSheet::Paper> paper,
              const std::atomic<bool> &cancelled, Result *result, QList<KSBatchItem::Id> *writtenIds,
              const std::function<void(int done, int total)> &progress)
{
    const int total = int(steps.size());
    const auto failAll = [&](const QString &why) {
        for (const Step &step : steps)
            result->failed.append({step.id, step.photoPath, why});
    };
    if (total == 0)
        return;
    if (!QDir().mkpath(look.folder))
        return failAll(QStringLiteral("cannot create the folder ") + look.folder);
    std::optional<SheetWriter> sheets;
    if (paper) {
        sheets.emplace(*paper, look);
        if (const QString why = sheets->problem(); !why.isEmpty())
            return failAll(why);
    }
    int done = 0;
    for (const Step &step : steps) {
        if (cancelled) {
            result->cancelled = true;
            break;
        }
        KSOutputSaver::Job job = step.job;
        QString error;
        std::unique_ptr<KSEditDocument> document;
        if (!step.prepared) {
            // The document the batch would open for the photo, made here.
            document = std::make_unique<KSEditDocument>();
            if (document->loadCutout(step.cutoutPath, &error)) {
                // As the editor's document has them by the time it saves:
                // they show at the subject's softest edges.
                document->mergePhotoColours(step.photoPath);
                look.applyTo(*document);
                job = saveJob(*document, look, step.job.baseName);
            } else {
                job = {};
            }
        }
        if (job.request.imageSize.isEmpty() && error.isEmpty())
            error = QStringLiteral("the cut-out has not been loaded");
        if (error.isEmpty() && sheets) {
            QSizeF dotsPerInch;
            const QImage picture = KSOutputSaver::render(job, &error, &dotsPerInch);
            if (!picture.isNull())
                sheets->add(picture, job.request.printSizeMm, result, &error);
        } else if (error.isEmpty()) {
            const KSOutputSaver::Result saved = KSOutputSaver::run(job);
            if (saved.ok()) {
                result->written.append(saved.path);
                writtenIds->append(step.id);
            }
            error = saved.error;
        }
        if (!error.isEmpty())
            result->failed.append({step.id, step.photoPath, error});
        progress(++done, total);
    }
    if (sheets)
        sheets->flush(result);
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
            // Its photo's colours, read on a worker since it was opened, may
            // not have come yet: without them a blurred backdrop is white.
            if (!document->hasPhotoColours())
                document->mergePhotoColours(item->photoPath);
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
    run->future = QtConcurrent::run([run, steps, look, result, post, sheet = m_sheet]() mutable {
        QList<KSBatchItem::Id> writtenIds;
        writeAll(steps, look, sheet, run->cancelled, &result, &writtenIds, [&](int done, int total) {
            post([done, total](KSBatchExport &e) { emit e.progress(done, total); });
        });
        post([result, writtenIds](KSBatchExport &e) {
            e.m_run.reset();
            // A sheet is no photo's own file: only photos written alone count as saved.
            for (qsizetype i = 0; i < writtenIds.size(); ++i)
                e.m_batch->markExported(writtenIds[i], result.written[i]);
            CommLog::I(QStringLiteral("batch: exported %1 files, %2 photos failed, into %3")
                           .arg(result.written.size())
                           .arg(result.failed.size())
                           .arg(result.folder));
            emit e.finished(result);
        });
    });
    return true;
}
