#pragma once

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>

// One upload of a local file to bucket/key. The callback parameters (the
// address and body the storage calls back with) travel with the request, and
// the storage answers with the callback's reply.
class OSSPutObjectRequest
{
public:
    // (bytes sent since the last report, total bytes sent, total bytes expected)
    using UploadProgress = std::function<void(qint64 bytesSent, qint64 totalBytesSent, qint64 totalBytesExpectedToSend)>;

    void setBucketName(const QString &bucketName) { m_bucketName = bucketName; }
    void setObjectKey(const QString &objectKey) { m_objectKey = objectKey; }
    void setUploadingFileURL(const QUrl &fileUrl) { m_uploadingFileURL = fileUrl; }
    void setCallbackParam(const QVariantMap &callbackParam) { m_callbackParam = callbackParam; }
    void setUploadProgress(UploadProgress progress) { m_uploadProgress = std::move(progress); }

    [[nodiscard]] const QString &bucketName() const { return m_bucketName; }
    [[nodiscard]] const QString &objectKey() const { return m_objectKey; }
    [[nodiscard]] const QUrl &uploadingFileURL() const { return m_uploadingFileURL; }
    [[nodiscard]] const QVariantMap &callbackParam() const { return m_callbackParam; }
    [[nodiscard]] const UploadProgress &uploadProgress() const { return m_uploadProgress; }

private:
    QString m_bucketName;
    QString m_objectKey;
    QUrl m_uploadingFileURL;
    QVariantMap m_callbackParam;
    UploadProgress m_uploadProgress;
};
