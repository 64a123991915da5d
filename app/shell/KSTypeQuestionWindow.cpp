#include "KSTypeQuestionWindow.h"

#include "CommLang.h"
#include "KSHoverButton.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>

namespace {
QPointer<KSTypeQuestionWindow> openWindow;
} // namespace

KSTypeQuestionWindow::KSTypeQuestionWindow(const QString &photoPath, Answer answer, QWidget *parentWindow)
    : KSDialogWindow(parentWindow)
    , m_answer(std::move(answer))
{
    setDialogTitle(CommLang::GetAppLang(QStringLiteral("ChooseTypeTitle")));
    QLabel *question = makeTextLabel(
        CommLang::GetAppLang(QStringLiteral("ChooseTypeMessage")).arg(QFileInfo(photoPath).fileName()), 13, 0x333333);
    question->setObjectName(QStringLiteral("questionLabel"));
    question->setFixedWidth(360);
    contentLayout()->addWidget(question);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(wire(makeNeutralButton(CommLang::GetAppLang(QStringLiteral("Cancel"))),
                            QStringLiteral("cancelBtn"), [this] { choose(std::nullopt); }));
    buttons->addStretch(1);
    buttons->addWidget(wire(makePrimaryButton(CommLang::GetAppLang(QStringLiteral("PortraitTitle"))),
                            QStringLiteral("personBtn"), [this] { choose(KSEraserType::person); }));
    buttons->addWidget(wire(makePrimaryButton(CommLang::GetAppLang(QStringLiteral("ObjectTitle"))),
                            QStringLiteral("objectBtn"), [this] { choose(KSEraserType::object); }));
    contentLayout()->addSpacing(8);
    contentLayout()->addLayout(buttons);
}

KSTypeQuestionWindow::~KSTypeQuestionWindow()
{
    // Closed by its close button or Escape: that is no answer.
    if (auto answer = std::exchange(m_answer, {}))
        answer(std::nullopt);
}

void KSTypeQuestionWindow::choose(std::optional<KSEraserType> type)
{
    if (auto answer = std::exchange(m_answer, {}))
        answer(type);
    close();
}

KSTypeQuestionWindow *KSTypeQuestionWindow::ask(const QString &photoPath, Answer answer)
{
    if (openWindow)
        openWindow->choose(std::nullopt);
    openWindow = new KSTypeQuestionWindow(photoPath, std::move(answer), registeredWindow());
    openWindow->present();
    return openWindow;
}
