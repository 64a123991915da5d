#include "KSBatchLeaveWindow.h"

#include "CommLang.h"
#include "KSHoverButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>

namespace {
QPointer<KSBatchLeaveWindow> openQuestion;

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}
} // namespace

KSBatchLeaveWindow::KSBatchLeaveWindow(int running, int notExported, Answer reply, QWidget *parentWindow)
    : KSDialogWindow(parentWindow), m_answer(std::move(reply))
{
    setObjectName(QStringLiteral("KSBatchLeaveWindow"));
    setDialogTitle(lang("BatchLeaveTitle"));
    QStringList lines;
    if (running > 0)
        lines << lang("BatchLeaveRunning").arg(running);
    if (notExported > 0)
        lines << lang("BatchLeaveNotExported").arg(notExported);
    lines << lang("BatchLeaveLost");
    QLabel *text = makeTextLabel(lines.join(QLatin1Char(' ')), 13, 0x333333);
    text->setObjectName(QStringLiteral("messageLabel"));
    text->setFixedWidth(380);
    contentLayout()->addWidget(text);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(wire(makeNeutralButton(lang("BatchLeave")), QStringLiteral("leaveBtn"), [this] { this->answer(true); }));
    buttons->addStretch(1);
    buttons->addWidget(wire(makePrimaryButton(lang("BatchStay")), QStringLiteral("stayBtn"), [this] { this->answer(false); }));
    contentLayout()->addSpacing(8);
    contentLayout()->addLayout(buttons);
}

KSBatchLeaveWindow::~KSBatchLeaveWindow()
{
    // Closed by its close button or Escape: the user stays.
    if (auto pending = std::exchange(m_answer, {}))
        pending(false);
}

void KSBatchLeaveWindow::answer(bool leave)
{
    Answer pending = std::exchange(m_answer, {});
    close();
    if (pending)
        pending(leave);
}

KSBatchLeaveWindow *KSBatchLeaveWindow::ask(int running, int notExported, Answer answer)
{
    // A question answered a moment ago is closing, not open.
    if (openQuestion && openQuestion->isVisible()) {
        openQuestion->raise();
        openQuestion->activateWindow();
        return openQuestion;
    }
    openQuestion = new KSBatchLeaveWindow(running, notExported, std::move(answer), registeredWindow());
    openQuestion->present();
    return openQuestion;
}
