#pragma once

#include <QString>

// The signed-in account. It is kept in a file of the application's data
// folder that only the user can read (mode 0600), so it survives restarts.
// Every change posts "CommonPassportNotificationNamePassportDidUpdate"
// through KSNotificationCenter::defaultCenter(). Safe from any thread.
class CommPassport
{
public:
    static inline const QString kPassportDidUpdateNotification =
        QStringLiteral("CommonPassportNotificationNamePassportDidUpdate");

    // Bearer token for the cut-out service; empty when nobody is signed in.
    static QString apiToken();
    static bool isLogged();
    static QString userNickName();
    static QString userAvatarUrl();

    // An empty token signs out. Returns false when the file cannot be
    // written; the account in memory is then unchanged.
    static bool signIn(const QString &token, const QString &nickName, const QString &avatarUrl);
    static bool signOut();

    static QString passportFilePath();
};
