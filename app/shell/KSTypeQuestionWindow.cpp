#include "KSTypeQuestionWindow.h"

#include "CommLang.h"
#include "KSHoverButton.h"
#include "KSTextStyle.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>

#include <algorithm>

namespace {
QPointer<KSTypeQuestionWindow> openWindow;

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

QString batchMessage(const QStringList &paths)
{
    if (paths.size() == 1)
        return lang("ChooseTypeFolderMessage").arg(QFileInfo(paths.constFirst()).fileName());
    return lang("ChooseTypeBatchMessage").arg(paths.size());
}
} // namespace

KSTypeQuestionWindow::KSTypeQuestionWindow(const QString &photoPath, Answer answer, QWidget *parentWindow)
    : KSDialogWindow(parentWindow)
    , m_answer([answer = std::move(answer)](std::optional<KSEraserType> type, bool) {
        if (answer)
            answer(type);
    })
{
    build(lang("ChooseTypeMessage").arg(QFileInfo(photoPath).fileName()));
}

KSTypeQuestionWindow::KSTypeQuestionWindow(const QStringList &paths, BatchAnswer answer, QWidget *parentWindow)
    : KSDialogWindow(parentWindow)
    , m_answer(std::move(answer))
{
    build(batchMessage(paths));
    const bool folderGiven = std::any_of(paths.begin(), paths.end(), [](const QString &path) {
        return QFileInfo(path).isDir();
    });
    if (!folderGiven)
        return;
    // Read flat unless asked: a folder of sub-folders may hold far more
    // than the user meant to cut out.
    m_subFolders = new QCheckBox(lang("IncludeSubFolders"), this);
    m_subFolders->setObjectName(QStringLiteral("subFoldersBox"));
    m_subFolders->setFont(KSTextStyle::systemFont(12));
    contentLayout()->insertWidget(1, m_subFolders);
}

void KSTypeQuestionWindow::build(const QString &message)
{
    setDialogTitle(lang("ChooseTypeTitle"));
    QLabel *question = makeTextLabel(message, 13, 0x333333);
    question->setObjectName(QStringLiteral("questionLabel"));
    question->setFixedWidth(360);
    contentLayout()->addWidget(question);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(wire(makeNeutralButton(lang("Cancel")), QStringLiteral("cancelBtn"),
                            [this] { choose(std::nullopt); }));
    buttons->addStretch(1);
    buttons->addWidget(wire(makePrimaryButton(lang("PortraitTitle")), QStringLiteral("personBtn"),
                            [this] { choose(KSEraserType::person); }));
    buttons->addWidget(wire(makePrimaryButton(lang("ObjectTitle")), QStringLiteral("objectBtn"),
                            [this] { choose(KSEraserType::object); }));
    contentLayout()->addSpacing(8);
    contentLayout()->addLayout(buttons);
}

KSTypeQuestionWindow::~KSTypeQuestionWindow()
{
    // Closed by its close button or Escape: that is no answer.
    if (auto answer = std::exchange(m_answer, {}))
        answer(std::nullopt, false);
}

void KSTypeQuestionWindow::choose(std::optional<KSEraserType> type)
{
    const bool subFolders = m_subFolders && m_subFolders->isChecked();
    if (auto answer = std::exchange(m_answer, {}))
        answer(type, subFolders);
    close();
}

template<typename Subject, typename Reply>
KSTypeQuestionWindow *KSTypeQuestionWindow::replaceOpenQuestion(const Subject &subject, Reply answer)
{
    if (openWindow)
        openWindow->choose(std::nullopt);
    openWindow = new KSTypeQuestionWindow(subject, std::move(answer), registeredWindow());
    openWindow->present();
    return openWindow;
}

KSTypeQuestionWindow *KSTypeQuestionWindow::ask(const QString &photoPath, Answer answer)
{
    return replaceOpenQuestion(photoPath, std::move(answer));
}

KSTypeQuestionWindow *KSTypeQuestionWindow::askForBatch(const QStringList &paths, BatchAnswer answer)
{
    return replaceOpenQuestion(paths, std::move(answer));
}
