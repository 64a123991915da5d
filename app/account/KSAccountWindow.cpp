#include "KSAccountWindow.h"

#include "CommLang.h"
#include "CommPassport.h"
#include "KSHoverButton.h"
#include "KSNotificationCenter.h"
#include "KSServiceConnection.h"
#include "KSTextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

namespace {
constexpr int kPageWidth = 360;

QString text(const char *key)
{
    return CommLang::GetAppLang(QString::fromLatin1(key));
}

QVBoxLayout *pageLayout(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    return layout;
}
} // namespace

KSAccountWindow::KSAccountWindow(QWidget *parentWindow)
    : KSDialogWindow(parentWindow)
{
    setDialogTitle(text("Account"));
    m_pages = {buildSignedInPage(), buildLocalPage(), buildRemotePage()};
    for (QWidget *page : m_pages) {
        page->setFixedWidth(kPageWidth);
        page->hide();
        contentLayout()->addWidget(page);
    }

    KSNotificationCenter::defaultCenter()->observe(CommPassport::kPassportDidUpdateNotification, this,
                                                   [this](const QVariant &) { refresh(); });
    connect(KSServiceConnection::defaultConnection(), &KSServiceConnection::stateChanged, this,
            &KSAccountWindow::refresh);
    refresh();
}

QWidget *KSAccountWindow::buildSignedInPage()
{
    auto *page = new QWidget;
    QVBoxLayout *layout = pageLayout(page);
    layout->addWidget(makeTextLabel(text("SignedInAs"), 12, 0x999999));
    m_nickNameLabel = makeTextLabel({}, 16, 0x333333);
    m_nickNameLabel->setObjectName(QStringLiteral("nickNameLabel"));
    m_nickNameLabel->setFont(KSTextStyle::systemFont(16, QFont::DemiBold));
    layout->addWidget(m_nickNameLabel);
    m_serviceLabel = makeTextLabel({}, 12, 0x666666);
    layout->addWidget(m_serviceLabel);
    layout->addSpacing(8);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(wire(makeNeutralButton(text("SignOut")), QStringLiteral("signOutBtn"),
                        [this] { actionForSignOut(); }));
    layout->addLayout(row);
    return page;
}

QWidget *KSAccountWindow::buildLocalPage()
{
    auto *page = new QWidget;
    QVBoxLayout *layout = pageLayout(page);
    layout->addWidget(makeTextLabel(text("LocalServiceIntro"), 13, 0x333333));
    m_localStatusLabel = makeTextLabel({}, 12, 0x999999);
    layout->addWidget(m_localStatusLabel);
    layout->addSpacing(8);
    m_localSignInBtn = wire(makePrimaryButton(text("LocalSignIn")), QStringLiteral("localSignInBtn"),
                            [this] { actionForLocalSignIn(); });
    m_localSignInBtn->setMinimumHeight(34);
    layout->addWidget(m_localSignInBtn);
    return page;
}

QWidget *KSAccountWindow::buildRemotePage()
{
    auto *page = new QWidget;
    QVBoxLayout *layout = pageLayout(page);
    layout->addWidget(makeTextLabel(text("RemoteServiceIntro"), 13, 0x333333));
    layout->addWidget(makeTextLabel(KSServiceConnection::configuredServiceUrl(), 12, 0x999999));
    m_emailEdit = makeLineEdit(QStringLiteral("emailEdit"), text("Email"));
    layout->addWidget(m_emailEdit);
    m_tokenEdit = makeLineEdit(QStringLiteral("tokenEdit"), text("TokenOrPassword"));
    m_tokenEdit->setEchoMode(QLineEdit::Password);
    layout->addWidget(m_tokenEdit);
    m_errorLabel = makeTextLabel({}, 12, 0xE5484D);
    m_errorLabel->setObjectName(QStringLiteral("errorLabel"));
    m_errorLabel->hide();
    layout->addWidget(m_errorLabel);
    m_remoteSignInBtn = wire(makePrimaryButton(text("SignIn")), QStringLiteral("remoteSignInBtn"),
                             [this] { actionForRemoteSignIn(); });
    m_remoteSignInBtn->setMinimumHeight(34);
    layout->addWidget(m_remoteSignInBtn);
    connect(m_emailEdit, &QLineEdit::returnPressed, this, [this] { m_tokenEdit->setFocus(); });
    connect(m_tokenEdit, &QLineEdit::returnPressed, this, &KSAccountWindow::actionForRemoteSignIn);
    return page;
}

KSAccountWindow::Page KSAccountWindow::currentPage() const
{
    return m_page;
}

void KSAccountWindow::showPage(Page page)
{
    m_page = page;
    for (int i = 0; i < m_pages.size(); ++i)
        m_pages.at(i)->setVisible(i == int(page));
    adjustSize();
}

void KSAccountWindow::refresh()
{
    const KSServiceConnection *connection = KSServiceConnection::defaultConnection();
    const bool local = connection->mode() == KSServiceConnection::Mode::Local;
    if (CommPassport::isLogged()) {
        m_nickNameLabel->setText(CommPassport::userNickName());
        m_serviceLabel->setText(local ? text("LocalServiceNote") : connection->baseUrl());
        showPage(Page::SignedIn);
    } else if (local) {
        const KSServiceConnection::State state = connection->state();
        m_localSignInBtn->setEnabled(state == KSServiceConnection::State::Ready);
        m_localStatusLabel->setText(state == KSServiceConnection::State::Failed ? text("LocalServiceFailed")
                                    : state == KSServiceConnection::State::Ready ? QString()
                                                                                 : text("LocalServiceStarting"));
        m_localStatusLabel->setVisible(!m_localStatusLabel->text().isEmpty());
        showPage(Page::LocalSignIn);
    } else {
        m_remoteSignInBtn->setEnabled(!m_signingIn);
        m_remoteSignInBtn->setTitle(text(m_signingIn ? "SigningIn" : "SignIn"));
        showPage(Page::RemoteSignIn);
        if (m_emailEdit->text().isEmpty())
            m_emailEdit->setFocus();
    }
}

void KSAccountWindow::actionForLocalSignIn()
{
    if (KSServiceConnection::defaultConnection()->signInLocalAccount())
        close();
}

void KSAccountWindow::actionForRemoteSignIn()
{
    if (m_signingIn)
        return;
    const QString problem = KSServiceConnection::checkSignInFields(m_emailEdit->text(), m_tokenEdit->text());
    if (!problem.isEmpty()) {
        showError(problem);
        return;
    }
    m_errorLabel->hide();
    m_signingIn = true;
    refresh();
    QPointer<KSAccountWindow> self(this);
    KSServiceConnection::defaultConnection()->signInRemote(
        m_emailEdit->text(), m_tokenEdit->text(), [self](const QString &errorKey) {
            if (!self)
                return;
            self->m_signingIn = false;
            self->refresh();
            if (errorKey.isEmpty())
                self->close();
            else
                self->showError(errorKey);
        });
}

void KSAccountWindow::actionForSignOut()
{
    KSServiceConnection::defaultConnection()->signOut();
}

void KSAccountWindow::showError(const QString &key)
{
    m_errorLabel->setText(CommLang::GetAppLang(key));
    m_errorLabel->show();
    adjustSize();
}
