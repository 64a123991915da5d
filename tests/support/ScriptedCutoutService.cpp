#include "ScriptedCutoutService.h"

#include <QBuffer>
#include <QJsonDocument>

ScriptedCutoutService::ScriptedCutoutService(QSize maskSize)
{
    QImage mask(maskSize, QImage::Format_Grayscale8);
    mask.fill(0);
    for (int y = 0; y < mask.height(); ++y)
        memset(mask.scanLine(y), 255, size_t(mask.width() / 2));
    QBuffer buffer(&m_mask);
    buffer.open(QIODevice::WriteOnly);
    mask.save(&buffer, "PNG");

    server.script("GET", kAuthPath, {ScriptedReply::json(envelope(credentials()))});
    server.script("PUT", kPutPath, {ScriptedReply::json(envelope({{"resource", QVariantMap{{"resource_id", kResourceId}}}}))});
    server.script("POST", kResourcesPath, {ScriptedReply::json(envelope({{"resource_id", kResourceId}}))});
    server.script("POST", kTaskPath, {ScriptedReply::json(envelope({{"task_id", kTaskId}}))});
    server.script("GET", kPollPath, {ScriptedReply::json(envelope({{"status", 2}, {"mask_file_url", maskUrl()}}))});
    server.script("GET", kMaskPath, {ScriptedReply::bytes(m_mask, "image/png")});
}

QVariantMap ScriptedCutoutService::callback() const
{
    return {{"callbackUrl", baseUrl() + QStringLiteral("/storage-callback")},
            {"callbackBody", "bucket=${bucket}&object=${object}"},
            {"callbackBodyType", "application/x-www-form-urlencoded"}};
}

QVariantMap ScriptedCutoutService::credentials() const
{
    return {{"endpoint", server.hostAndPort()},
            {"access_id", QString::fromLatin1(kAccessId)},
            {"access_secret", QString::fromLatin1(kAccessSecret)},
            {"security_token", QString::fromLatin1(kSecurityToken)},
            {"bucket", kBucket},
            {"path", QVariantMap{{"images", kPrefix}}},
            {"callback", callback()}};
}

QByteArray ScriptedCutoutService::envelope(const QVariantMap &data, const QVariant &status)
{
    QVariantMap reply{{"data", data}};
    if (status.isValid())
        reply.insert(QStringLiteral("status"), status);
    return QJsonDocument::fromVariant(reply).toJson(QJsonDocument::Compact);
}
