#include "CommPassport.h"

#include "CommLog.h"
#include "KSNotificationCenter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

struct Account
{
    QString token;
    QString nickName;
    QString avatarUrl;
};

QMutex passportMutex;
std::optional<Account> cached; // loaded from the file on first use

Account readAccountFile(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        CommLog::E(QStringLiteral("CommPassport: cannot read %1").arg(path));
        return {};
    }
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    return {object.value(QStringLiteral("apiToken")).toString(),
            object.value(QStringLiteral("userNickName")).toString(),
            object.value(QStringLiteral("userAvatarUrl")).toString()};
}

// Called with passportMutex held.
const Account &account()
{
    if (!cached)
        cached = readAccountFile(CommPassport::passportFilePath());
    return *cached;
}

bool writeAccountFile(const QString &path, const Account &value)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        CommLog::E(QStringLiteral("CommPassport: cannot write %1").arg(path));
        return false;
    }
    // Restricted before the token is written, so it is never readable by others.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        CommLog::E(QStringLiteral("CommPassport: cannot restrict %1").arg(path));
        file.cancelWriting();
        return false;
    }
    const QJsonObject object{{QStringLiteral("apiToken"), value.token},
                             {QStringLiteral("userNickName"), value.nickName},
                             {QStringLiteral("userAvatarUrl"), value.avatarUrl}};
    file.write(QJsonDocument(object).toJson());
    if (!file.commit()) {
        CommLog::E(QStringLiteral("CommPassport: cannot save %1").arg(path));
        return false;
    }
    return true;
}

bool store(const Account &value)
{
    {
        QMutexLocker lock(&passportMutex);
        if (!writeAccountFile(CommPassport::passportFilePath(), value))
            return false;
        cached = value;
    }
    // Posted outside the lock: observers on this thread read the account at once.
    KSNotificationCenter::defaultCenter()->post(CommPassport::kPassportDidUpdateNotification);
    return true;
}

} // namespace

QString CommPassport::passportFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/Cutora/passport.json");
}

QString CommPassport::apiToken()
{
    QMutexLocker lock(&passportMutex);
    return account().token;
}

bool CommPassport::isLogged()
{
    QMutexLocker lock(&passportMutex);
    return !account().token.isEmpty();
}

QString CommPassport::userNickName()
{
    QMutexLocker lock(&passportMutex);
    return account().nickName;
}

QString CommPassport::userAvatarUrl()
{
    QMutexLocker lock(&passportMutex);
    return account().avatarUrl;
}

bool CommPassport::signIn(const QString &token, const QString &nickName, const QString &avatarUrl)
{
    if (token.isEmpty())
        return signOut();
    return store({token, nickName, avatarUrl});
}

bool CommPassport::signOut()
{
    return store({});
}
