#pragma once

#include <QString>

#include <utility>

// Temporary storage credentials handed out by the web service: an access key
// id and secret plus the security token that goes with them.
class OSSStsTokenCredentialProvider
{
public:
    OSSStsTokenCredentialProvider(QString accessKeyId, QString secretKeyId, QString securityToken)
        : m_accessKeyId(std::move(accessKeyId))
        , m_secretKeyId(std::move(secretKeyId))
        , m_securityToken(std::move(securityToken))
    {
    }

    [[nodiscard]] const QString &accessKeyId() const { return m_accessKeyId; }
    [[nodiscard]] const QString &secretKeyId() const { return m_secretKeyId; }
    [[nodiscard]] const QString &securityToken() const { return m_securityToken; }

private:
    QString m_accessKeyId;
    QString m_secretKeyId;
    QString m_securityToken;
};
