#pragma once

#include "ScriptedHttpServer.h"

#include <QImage>
#include <QVariantMap>

// A scripted cut-out service on 127.0.0.1 whose every route answers one
// successful job: credentials, storage put with callback reply, resource
// registration, task creation, a poll that reports the mask and the mask
// itself. A test overrides single routes through server.script().
class ScriptedCutoutService
{
public:
    static inline const QByteArray kAccessId = "STS.test-id";
    static inline const QByteArray kAccessSecret = "test-secret";
    static inline const QByteArray kSecurityToken = "test-security-token";
    static inline const QString kBucket = QStringLiteral("cutora");
    static inline const QString kPrefix = QStringLiteral("uploads/");
    static inline const QString kResourceId = QStringLiteral("res-1");
    static inline const QString kTaskId = QStringLiteral("task-1");

    // The mask served: left half white (subject), right half black.
    explicit ScriptedCutoutService(QSize maskSize = QSize(40, 20));

    ScriptedHttpServer server;

    [[nodiscard]] QString baseUrl() const { return server.baseUrl(); }
    [[nodiscard]] QVariantMap credentials() const;
    [[nodiscard]] QVariantMap callback() const;
    [[nodiscard]] QString maskUrl() const { return baseUrl() + QStringLiteral("/masks/m.png"); }
    [[nodiscard]] const QByteArray &maskBytes() const { return m_mask; }

    // The envelope {"status":"1","data":data} as JSON text.
    [[nodiscard]] static QByteArray envelope(const QVariantMap &data, const QVariant &status = QStringLiteral("1"));

    // Path patterns of the routes, for overrides.
    static inline const QString kAuthPath = QStringLiteral("/api/authentications");
    static inline const QString kPutPath = QStringLiteral("/cutora/uploads/.*");
    static inline const QString kResourcesPath = QStringLiteral("/api/resources");
    static inline const QString kTaskPath = QStringLiteral("/api/tasks/(person|object)");
    static inline const QString kPollPath = QStringLiteral("/api/tasks/task-1");
    static inline const QString kMaskPath = QStringLiteral("/masks/m.png");

private:
    QByteArray m_mask;
};
