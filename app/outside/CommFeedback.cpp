#include "CommFeedback.h"

#include "CommLang.h"
#include "CommLog.h"
#include "CommUpdate.h"
#include "KSCommonUtils.h"

#include <QDesktopServices>
#include <QMutex>
#include <QSysInfo>
#include <QUrl>

namespace {
QMutex feedbackMutex;
CommFeedback::Presenter configuredPresenter;
} // namespace

void CommFeedback::setPresenter(Presenter presenter)
{
    QMutexLocker lock(&feedbackMutex);
    configuredPresenter = std::move(presenter);
}

CommFeedbackContext CommFeedback::context()
{
    CommFeedbackContext context;
    context.appInfo = KSCommonUtils::appInfo();
    context.parentWindow = KSCommonUtils::parentWindow();
    context.logFilePath = CommLog::logFilePath();
    const QString name = context.appInfo.appName().isEmpty() ? QStringLiteral("Cutora")
                                                             : context.appInfo.appName();
    context.diagnostics = QStringLiteral("%1 %2\nLanguage: %3\nSystem: %4 (%5)")
                              .arg(name, CommUpdate::runningVersion(), CommLang::currentLanguage(),
                                   QSysInfo::prettyProductName(), QSysInfo::currentCpuArchitecture());
    return context;
}

bool CommFeedback::submit()
{
    Presenter presenter;
    {
        QMutexLocker lock(&feedbackMutex);
        presenter = configuredPresenter;
    }
    const CommFeedbackContext feedback = context();
    if (presenter) {
        presenter(feedback);
        return true;
    }
    const QUrl support(feedback.appInfo.urlSupport());
    if (support.isEmpty() || !support.isValid()) {
        CommLog::E(QStringLiteral("CommFeedback: no feedback window and no support address"));
        return false;
    }
    return QDesktopServices::openUrl(support);
}
