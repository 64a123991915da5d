#pragma once

#include "KSNetError.h"
#include "OSSClientConfiguration.h"
#include "OSSPutObjectRequest.h"
#include "OSSPutObjectResult.h"
#include "OSSStsTokenCredentialProvider.h"

#include <QString>

#include <functional>
#include <optional>

// Our client of the object storage: signed puts of a local file with a
// server callback. The put runs on a network thread; the byte progress and the
// completion are called there (never on the caller's thread), the completion
// exactly once.
class OSSClient
{
public:
    using PutCompletion = std::function<void(const std::optional<KSNetError> &error, const OSSPutObjectResult &result)>;

    // endpoint: "http://host[:port]" (a missing scheme means http).
    OSSClient(const QString &endpoint, const OSSStsTokenCredentialProvider &credentialProvider,
              const OSSClientConfiguration &configuration);

    // Uploads request.uploadingFileURL() to bucket/key. A transport failure or
    // a 5xx status is retried up to the configured count. Only a 2xx status
    // other than 203 (the callback failed) is a success; any other status is
    // an error of KSNetError::httpDomain() whose description quotes the reply.
    void putObject(const OSSPutObjectRequest &request, PutCompletion completion) const;

    [[nodiscard]] const QString &endpoint() const { return m_endpoint; }

    // Where bucket/key lives: in the path for an IP address or localhost
    // ("http://127.0.0.1:9000/bucket/key"), as a sub-domain otherwise
    // ("http://bucket.storage.example/key"). The key is percent-encoded,
    // its slashes kept.
    [[nodiscard]] static QString objectUrl(const QString &endpoint, const QString &bucket, const QString &objectKey);

    // The MIME type sent for a key, from its extension.
    [[nodiscard]] static QByteArray contentTypeForKey(const QString &objectKey);

private:
    QString m_endpoint;
    OSSStsTokenCredentialProvider m_credentials;
    OSSClientConfiguration m_configuration;
};
