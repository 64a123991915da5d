#include "KSBatchExportDoneWindow.h"

#include "CommLang.h"
#include "KSHoverButton.h"
#include "KSSavePhotoSuccessView.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>

namespace {
constexpr int kTextWidth = 400;

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}
} // namespace

KSBatchExportDoneWindow::KSBatchExportDoneWindow(const Outcome &outcome, QWidget *parentWindow)
    : KSDialogWindow(parentWindow), m_outcome(outcome)
{
    setObjectName(QStringLiteral("KSBatchExportDoneWindow"));
    setDialogTitle(lang(outcome.saved > 0 ? "BatchExportDoneTitle" : "BatchExportNothingTitle"));
    QLabel *text = makeTextLabel(message(outcome), 13, 0x333333);
    text->setObjectName(QStringLiteral("messageLabel"));
    text->setFixedWidth(kTextWidth);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    contentLayout()->addWidget(text);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(wire(makeNeutralButton(lang("OK")), QStringLiteral("okBtn"), [this] { close(); }));
    if (outcome.saved > 0)
        buttons->addWidget(wire(makePrimaryButton(lang("OpenFolder")), QStringLiteral("showInFolderBtn"),
                                [this] { actionForShowInFolder(); }));
    contentLayout()->addSpacing(8);
    contentLayout()->addLayout(buttons);
}

QString KSBatchExportDoneWindow::message(const Outcome &outcome)
{
    QStringList lines;
    // A long folder wraps at its separators.
    QString folder = QDir::toNativeSeparators(outcome.folder);
    folder.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
    lines << lang("BatchExportSaved").arg(outcome.saved).arg(folder);
    if (outcome.notExported > 0)
        lines << lang("BatchExportSkipped").arg(outcome.notExported);
    if (outcome.writeFailures > 0) {
        QString failed = lang("BatchExportWriteFailed").arg(outcome.writeFailures);
        if (!outcome.firstError.isEmpty())
            failed += QLatin1Char('\n') + outcome.firstError;
        lines << failed;
    }
    return lines.join(QLatin1Char('\n'));
}

void KSBatchExportDoneWindow::actionForShowInFolder()
{
    const QString target = m_outcome.firstFile.isEmpty() ? m_outcome.folder : m_outcome.firstFile;
    close();
    KSSavePhotoSuccessView::showInFolder(target, m_outcome.folder, QStringLiteral("BatchFolderNotShown"));
}

KSBatchExportDoneWindow *KSBatchExportDoneWindow::showOutcome(const Outcome &outcome)
{
    auto *window = new KSBatchExportDoneWindow(outcome, registeredWindow());
    window->present();
    return window;
}
