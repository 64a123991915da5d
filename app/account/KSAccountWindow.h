#pragma once

#include "KSDialogWindow.h"

class KSHoverButton;
class QLineEdit;

// The account window. Signed in, it shows the nickname and a sign-out
// button. Signed out, it offers the way in that the service allows: one
// click for the local account of the built-in service, or an e-mail and a
// token for a configured service. It follows account and service changes
// while it is open.
class KSAccountWindow : public KSDialogWindow
{
    Q_OBJECT

public:
    enum class Page { SignedIn, LocalSignIn, RemoteSignIn };

    explicit KSAccountWindow(QWidget *parentWindow = nullptr);

    Page currentPage() const;
    // Shows the page that fits the account and the service now.
    void refresh();

    void actionForLocalSignIn();
    void actionForRemoteSignIn();
    void actionForSignOut();

    QLineEdit *emailEdit() const { return m_emailEdit; }
    QLineEdit *tokenEdit() const { return m_tokenEdit; }
    QLabel *errorLabel() const { return m_errorLabel; }
    QLabel *nickNameLabel() const { return m_nickNameLabel; }

private:
    QWidget *buildSignedInPage();
    QWidget *buildLocalPage();
    QWidget *buildRemotePage();
    void showError(const QString &key);
    void showPage(Page page);

    QList<QWidget *> m_pages; // in the order of Page; one is shown
    Page m_page = Page::SignedIn;
    QLabel *m_nickNameLabel = nullptr;
    QLabel *m_serviceLabel = nullptr;
    QLabel *m_localStatusLabel = nullptr;
    KSHoverButton *m_localSignInBtn = nullptr;
    QLineEdit *m_emailEdit = nullptr;
    QLineEdit *m_tokenEdit = nullptr;
    QLabel *m_errorLabel = nullptr;
    KSHoverButton *m_remoteSignInBtn = nullptr;
    bool m_signingIn = false;
};
