#include "KSEraseringView.h"

#include "ui_KSEraseringView.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSColorConst.h"
#include "KSEraserErrorView.h"
#include "KSHoverButton.h"
#include "KSNibLoadable.h"
#include "KSTextStyle.h"
#include "KSViewAttach.h"
#include "KSViewSlider.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

KSEraseringView::JobStarter &jobStarter()
{
    static KSEraseringView::JobStarter starter = KSEraserManager::startEraser;
    return starter;
}

KSEraseringView::JobCanceller &jobCanceller()
{
    static KSEraseringView::JobCanceller canceller = KSEraserManager::cancelEraser;
    return canceller;
}

// Reports reach the screen from any thread; `handle` runs on the GUI thread
// only while the screen exists.
template<typename Handle>
void onGuiThread(const QPointer<KSEraseringView> &screen, Handle handle)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [screen, handle = std::move(handle)] {
            if (screen)
                handle(screen.data());
        },
        Qt::QueuedConnection);
}

} // namespace

KSEraseringView::KSEraseringView(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::KSEraseringView>())
{
    m_ui->setupUi(this);

    KSTextStyle::apply(m_ui->progressLabel, KSRGBHexColor(0x333333), 15, QFont::DemiBold);
    m_ui->progressLabel->setText(QStringLiteral("0%"));
    KSTextStyle::apply(m_ui->subTitleLabel, KSRGBHexColor(0x333333), 12);
    m_ui->subTitleLabel->setText(CommLang::GetAppLang(QStringLiteral("Loading")));

    KSViewSlider *bar = m_ui->progressView;
    bar->setBackgroundColor(Qt::white);
    bar->setProgressColor(KSRGBHexColor(0x00CC8F));
    bar->setRound(true);
    bar->setProgress(0.0);
    bar->setLineWith(10.0);
    bar->setRadius(5.0);

    KSHoverButton *cancel = m_ui->cancelBtn;
    cancel->setTitle(CommLang::GetAppLang(QStringLiteral("Cancel")));
    cancel->setTitleColor(KSRGBHexColor(0x333333));
    cancel->setTitleFont(KSTextStyle::systemFont(12));
    cancel->setBackgroundColor(KSRGBHexColor(0xE4E4E4));
    cancel->setBackgroundHoverColor(KSRGBHexColor(0xD4D4D4));
    cancel->setBorderRadius(3.0);
    cancel->setCursor(Qt::PointingHandCursor);
    cancel->setToolTip(CommLang::GetAppLang(QStringLiteral("CancelTip")));
    cancel->setTarget(this);
    cancel->setAction([this](KSHoverButton *sender) { actionForCancel(sender); });
    // Escape reaches the screen without a click on it first.
    setFocusPolicy(Qt::StrongFocus);
}

KSEraseringView::~KSEraseringView() = default;

KSEraseringView *KSEraseringView::showEraseringView(QWidget *host, const QString &filePath, KSEraserType type,
                                                    ReturnClosure closure)
{
    auto *view = host ? loadViewFromNib<KSEraseringView>() : nullptr;
    if (!view) {
        // Nothing to show the job on: let the caller go back home.
        CommLog::E(QStringLiteral("progress screen could not be shown"));
        if (closure)
            closure(false, std::nullopt);
        return nullptr;
    }
    KSViewAttach::pinToEdges(view, host);
    view->returnClosure = std::move(closure);
    view->m_filePath = filePath;
    view->m_type = type;
    view->setFocus(Qt::OtherFocusReason);
    view->startJob();
    return view;
}

void KSEraseringView::setJobStarter(JobStarter starter, JobCanceller canceller)
{
    jobStarter() = starter ? std::move(starter) : JobStarter(KSEraserManager::startEraser);
    jobCanceller() = canceller ? std::move(canceller) : JobCanceller(KSEraserManager::cancelEraser);
}

QString KSEraseringView::progressText(double progress)
{
    if (!std::isfinite(progress))
        return QStringLiteral("0%");
    // 0.57 x 100 is 56.99999999999999 in binary floating point; a nudge far
    // below one percent keeps such values from losing a whole percent
    // while 0.999 still shows 99%.
    const double percent = progress * 100.0;
    const double nudged = std::clamp(percent + std::copysign(1e-7, percent), -1e15, 1e15);
    return QString::number(static_cast<long long>(std::trunc(nudged))) + QLatin1Char('%');
}

KSViewSlider *KSEraseringView::progressView() const
{
    return m_ui->progressView;
}

QLabel *KSEraseringView::progressLabel() const
{
    return m_ui->progressLabel;
}

QLabel *KSEraseringView::subTitleLabel() const
{
    return m_ui->subTitleLabel;
}

KSHoverButton *KSEraseringView::cancelBtn() const
{
    return m_ui->cancelBtn;
}

void KSEraseringView::startJob()
{
    const quint64 job = ++m_job;
    m_jobRunning = true;
    m_failure = {};
    // The job holds the screen weakly and touches it only on the GUI thread:
    // a screen that has gone by then is simply not told.
    QPointer<KSEraseringView> weakSelf(this);
    JobReport report = [weakSelf, job](bool success, const std::optional<QString> &path, double progress) {
        onGuiThread(weakSelf, [job, success, path, progress](KSEraseringView *screen) {
            screen->handleReport(job, success, path, progress);
        });
    };
    JobFailure failed = [weakSelf, job](const KSEraserFailure &failure) {
        onGuiThread(weakSelf, [job, failure](KSEraseringView *screen) {
            if (job == screen->m_job)
                screen->m_failure = failure;
        });
    };
    m_jobId = jobStarter()(m_filePath, m_type, std::move(report), std::move(failed));
}

void KSEraseringView::actionForCancel(QObject *)
{
    if (m_finished || !m_jobRunning)
        return;
    m_jobRunning = false;
    if (m_jobId != 0)
        jobCanceller()(std::exchange(m_jobId, 0));
    CommLog::I(QStringLiteral("cut-out cancelled by the user: ") + m_filePath);
    finish(false, std::nullopt);
}

void KSEraseringView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        actionForCancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

void KSEraseringView::handleReport(quint64 job, bool success, const std::optional<QString> &path, double progress)
{
    if (job != m_job || !m_jobRunning || m_finished)
        return;

    m_ui->progressView->setProgress(progress);
    m_ui->progressLabel->setText(progressText(progress));

    if (success) {
        m_jobRunning = false;
        CommLog::I(QStringLiteral("cut-out done"));
        finish(true, path);
        return;
    }
    if (progress < 0.0) {
        m_jobRunning = false;
        hide();
        QWidget *host = parentWidget() ? parentWidget() : this;
        QPointer<KSEraseringView> weakSelf(this);
        const auto shown = KSEraserErrorView::showErrorView(host, [weakSelf](bool backToHome) {
            if (weakSelf)
                weakSelf->handleErrorChoice(backToHome);
        }, m_failure, m_filePath);
        if (!shown)
            handleErrorChoice(true);
    }
}

void KSEraseringView::handleErrorChoice(bool backToHome)
{
    if (m_finished)
        return;
    if (backToHome) {
        CommLog::I(QStringLiteral("cut-out done"));
        finish(false, std::nullopt);
        return;
    }
    show();
    startJob();
}

void KSEraseringView::finish(bool success, const std::optional<QString> &path)
{
    m_finished = true;
    // Off the screen first, so the shell's next screen never sits under it.
    KSViewAttach::removeFromSuperview(this);
    if (auto closure = std::exchange(returnClosure, {}))
        closure(success, path);
}
