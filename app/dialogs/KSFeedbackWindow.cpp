#include "KSFeedbackWindow.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSHoverButton.h"
#include "KSNotice.h"
#include "KSStringExtension.h"
#include "ToolFile.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QUrl>
#include <QVBoxLayout>

namespace {
QPointer<KSFeedbackWindow> openWindow;
} // namespace

KSFeedbackWindow::KSFeedbackWindow(const CommFeedbackContext &context, QWidget *parentWindow)
    : KSDialogWindow(parentWindow)
    , m_context(context)
{
    setDialogTitle(CommLang::GetAppLang(QStringLiteral("FeedBack")));

    QLabel *intro = makeTextLabel(CommLang::GetAppLang(QStringLiteral("FeedbackIntro")), 13, 0x333333);
    intro->setFixedWidth(420);
    contentLayout()->addWidget(intro);

    m_messageEdit = new QPlainTextEdit;
    m_messageEdit->setObjectName(QStringLiteral("messageEdit"));
    m_messageEdit->setPlaceholderText(CommLang::GetAppLang(QStringLiteral("FeedbackPlaceholder")));
    styleTextInput(m_messageEdit);
    m_messageEdit->setFixedHeight(120);
    contentLayout()->addWidget(m_messageEdit);

    m_emailEdit = makeLineEdit(QStringLiteral("emailEdit"), CommLang::GetAppLang(QStringLiteral("ContactEmail")));
    contentLayout()->addWidget(m_emailEdit);

    QLabel *details = makeTextLabel(context.diagnostics, 11, 0x999999);
    details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    contentLayout()->addWidget(details);

    m_errorLabel = makeTextLabel({}, 12, 0xE5484D);
    m_errorLabel->setObjectName(QStringLiteral("errorLabel"));
    m_errorLabel->hide();
    contentLayout()->addWidget(m_errorLabel);

    auto *buttons = new QHBoxLayout;
    const QString logFile = context.logFilePath;
    buttons->addWidget(wire(makeNeutralButton(CommLang::GetAppLang(QStringLiteral("ShowLogFile"))),
                            QStringLiteral("logBtn"), [logFile] { ToolFile::showFileInFinder(logFile); }));
    buttons->addStretch(1);
    buttons->addWidget(wire(makeNeutralButton(CommLang::GetAppLang(QStringLiteral("Cancel"))),
                            QStringLiteral("cancelBtn"), [this] { close(); }));
    buttons->addWidget(wire(makePrimaryButton(CommLang::GetAppLang(QStringLiteral("SendFeedback"))),
                            QStringLiteral("sendBtn"), [this] { actionForSend(); }));
    contentLayout()->addSpacing(4);
    contentLayout()->addLayout(buttons);
}

QString KSFeedbackWindow::composeReport(const QString &message, const QString &email, const QString &diagnostics)
{
    QString report = message.trimmed() + QStringLiteral("\n\n");
    if (!email.trimmed().isEmpty())
        report += QStringLiteral("Contact: ") + email.trimmed() + QLatin1Char('\n');
    report += diagnostics + QLatin1Char('\n');
    return report;
}

bool KSFeedbackWindow::actionForSend()
{
    const QString message = m_messageEdit->toPlainText();
    const QString email = m_emailEdit->text().trimmed();
    if (message.trimmed().isEmpty()) {
        showError(QStringLiteral("EmptyFeedback"));
        return false;
    }
    if (!email.isEmpty() && !isValidateEmail(email)) {
        showError(QStringLiteral("InvalidEmail"));
        return false;
    }
    QGuiApplication::clipboard()->setText(composeReport(message, email, m_context.diagnostics));
    const QUrl support(m_context.appInfo.urlSupport());
    if (support.isValid() && !support.isEmpty()) {
        // The report waits on the clipboard; without a browser the user
        // still needs the page's address.
        ToolFile::openFileAtURL(support, QCoreApplication::instance(), [address = support.toString()](bool opened) {
            if (!opened)
                KSNotice::post({CommLang::GetAppLang(QStringLiteral("LinkNotOpenedTitle")),
                                CommLang::GetAppLang(QStringLiteral("LinkNotOpened")), address});
        });
    }
    CommLog::I(QStringLiteral("feedback report copied to the clipboard"));
    close();
    return true;
}

void KSFeedbackWindow::showError(const QString &key)
{
    m_errorLabel->setText(CommLang::GetAppLang(key));
    m_errorLabel->show();
}

KSFeedbackWindow *KSFeedbackWindow::showFeedback(const CommFeedbackContext &context)
{
    if (!openWindow) {
        auto *parent = qobject_cast<QWidget *>(context.parentWindow.data());
        openWindow = new KSFeedbackWindow(context, parent ? parent : registeredWindow());
    }
    openWindow->present();
    return openWindow;
}

void KSFeedbackWindow::installPresenter()
{
    CommFeedback::setPresenter([](const CommFeedbackContext &context) { showFeedback(context); });
}
