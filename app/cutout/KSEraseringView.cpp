#include "KSEraseringView.h"

#include "ui_KSEraseringView.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSColorConst.h"
#include "KSEraserErrorView.h"
#include "KSNibLoadable.h"
#include "KSTextStyle.h"
#include "KSViewAttach.h"
#include "KSViewSlider.h"

#include <QCoreApplication>
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
    view->startJob();
    return view;
}

void KSEraseringView::setJobStarter(JobStarter starter)
{
    jobStarter() = starter ? std::move(starter) : JobStarter(KSEraserManager::startEraser);
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

void KSEraseringView::startJob()
{
    const quint64 job = ++m_job;
    m_jobRunning = true;
    // The job holds the screen weakly and touches it only on the GUI thread:
    // a screen that has gone by then is simply not told.
    QPointer<KSEraseringView> weakSelf(this);
    JobReport report = [weakSelf, job](bool success, const std::optional<QString> &path, double progress) {
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [weakSelf, job, success, path, progress] {
                if (weakSelf)
                    weakSelf->handleReport(job, success, path, progress);
            },
            Qt::QueuedConnection);
    };
    jobStarter()(m_filePath, m_type, std::move(report));
}

void KSEraseringView::handleReport(quint64 job, bool success, const std::optional<QString> &path, double progress)
{
    if (job != m_job || !m_jobRunning || m_finished)
        return;

    m_ui->progressView->setProgress(progress);
    m_ui->progressLabel->setText(progressText(progress));

    if (success) {
        m_jobRunning = false;
        CommLog::I(QStringLiteral("抠图完成"));
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
        });
        if (!shown)
            handleErrorChoice(true);
    }
}

void KSEraseringView::handleErrorChoice(bool backToHome)
{
    if (m_finished)
        return;
    if (backToHome) {
        CommLog::I(QStringLiteral("抠图完成"));
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
