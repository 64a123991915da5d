#pragma once

#include "KSBatchItem.h"
#include "KSBatchLook.h"
#include "KSPrintSheet.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>

class KSBatch;

// Writes every done photo of a batch into the look's folder, as the
// editor's Save of that photo would (its document's render request and
// subject, KSOutputSaver's render and free-name rule): the same bytes as
// saving it alone. One photo at a time on a worker thread, so that no more
// than one full picture is held; cancellable between photos. Photos not
// done (failed, cancelled, still cutting) are skipped and counted.
class KSBatchExport : public QObject
{
    Q_OBJECT

public:
    struct Failure
    {
        KSBatchItem::Id id = 0;
        QString photoPath;
        QString error; // in English, as the saver tells it
    };

    struct Result
    {
        QString folder;
        QStringList written; // the files, in the batch's order
        QList<Failure> failed;
        // Photos not done, not written.
        int skipped = 0;
        bool cancelled = false;
    };

    explicit KSBatchExport(KSBatch *batch, QObject *parent = nullptr);
    ~KSBatchExport() override;

    // Print sheets of the photos instead (an ID size with a printed size):
    // one copy of each, as many as fit on a sheet, as many sheets as needed.
    void setSheet(std::optional<KSPrintSheet::Paper> paper) { m_sheet = paper; }

    // Starts with the batch's done photos (or only `ids` when given); false
    // while an export runs.
    bool start(const QList<KSBatchItem::Id> &ids = {});
    // Stops after the photo being written; finished() follows.
    void cancel();
    [[nodiscard]] bool isRunning() const { return bool(m_run); }

signals:
    // `done` of `total` photos handled (written or failed).
    void progress(int done, int total);
    void finished(const KSBatchExport::Result &result);

private:
    struct Run;

    KSBatch *m_batch;
    std::optional<KSPrintSheet::Paper> m_sheet;
    std::shared_ptr<Run> m_run;
};
