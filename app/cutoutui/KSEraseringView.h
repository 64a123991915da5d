#pragma once

#include "KSEraserManager.h"
#include "KSEraserType.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class KSEraseringView;
}

class KSHoverButton;
class KSViewSlider;
class QLabel;

// The screen that covers the window while a cut-out job runs: it starts the
// job, shows its progress, hands the cut-out path on when the job succeeds,
// and shows the error screen when it fails, from which the user retries the
// same job or goes back home.
class KSEraseringView : public QWidget
{
    Q_OBJECT

public:
    // (success, cut-out path): (true, path) for a finished cut-out, (false,
    // none) when the user went back home from the error screen.
    using ReturnClosure = std::function<void(bool success, const std::optional<QString> &path)>;
    // A job's report: (false, none, p) progress 0..1, (false, none, -1.0)
    // failure, (true, path, 1.0) the result. The screen takes it on any thread.
    using JobReport = KSEraserManager::Report;
    // Why the job failed, just before its failure report; any thread.
    using JobFailure = KSEraserManager::FailureClosure;
    using JobStarter = std::function<KSEraserManager::JobId(const QString &filePath, KSEraserType type,
                                                            JobReport report, JobFailure failed)>;
    using JobCanceller = std::function<bool(KSEraserManager::JobId job)>;

    explicit KSEraseringView(QWidget *parent = nullptr);
    ~KSEraseringView() override;

    // Covers `host` with a new progress screen and starts the job for the
    // file and type; `closure` hears how the screen ended, exactly once.
    // Returns the screen, or nullptr when it could not be built (the
    // closure is then told (false, none) at once).
    static KSEraseringView *showEraseringView(QWidget *host, const QString &filePath, KSEraserType type,
                                              ReturnClosure closure);

    // Replaces how jobs are started and cancelled, so a test can play
    // reports without a network; empty ones restore the real job manager.
    static void setJobStarter(JobStarter starter, JobCanceller canceller = {});

    // The percentage shown for a report: 100 x progress truncated toward
    // zero, then "%" (0.375 -> "37%", -1.0 -> "-100%").
    [[nodiscard]] static QString progressText(double progress);

    // The Cancel button and Escape: ends the running job (its files go and
    // the service drops its task) and reports (false, none), as back home.
    void actionForCancel(QObject *sender = nullptr);

    KSViewSlider *progressView() const;
    QLabel *progressLabel() const;
    QLabel *subTitleLabel() const;
    KSHoverButton *cancelBtn() const;

    ReturnClosure returnClosure;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void startJob();
    void handleReport(quint64 job, bool success, const std::optional<QString> &path, double progress);
    void handleErrorChoice(bool backToHome);
    void finish(bool success, const std::optional<QString> &path);

    std::unique_ptr<Ui::KSEraseringView> m_ui;
    QString m_filePath;
    KSEraserType m_type = KSEraserType::person;
    // Reports reach the screen by different threads, so a progress report
    // of a job can arrive after its failure, even after a retry: only the
    // running job is listened to, and only until its final report.
    quint64 m_job = 0;
    KSEraserManager::JobId m_jobId = 0;
    KSEraserFailure m_failure;
    bool m_jobRunning = false;
    bool m_finished = false;
};
