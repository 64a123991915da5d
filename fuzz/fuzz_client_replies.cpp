// The replies of the cut-out service as the client reads them: a body is
// decoded as the HTTP layer decodes it, then read as the envelope, the
// credentials, the storage callback's reply, the registration, the task's
// creation and a poll.
#include "KSAFNetworking.h"
#include "KSReplyEnvelope.h"
#include "KSTaskReply.h"

#include <QByteArray>
#include <QUrl>

#include <cstddef>
#include <cstdint>

using KSReplyEnvelope::integerAt;
using KSReplyEnvelope::objectAt;
using KSReplyEnvelope::textAt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    const QVariant reply = KSAFNetworking::decodeReply(body);
    const KSTaskReply task = KSTaskReply::read(reply);
    if (task.state == KSTaskReply::State::Done && task.fault == KSTaskReply::Fault::None
        && QUrl(task.maskUrl, QUrl::StrictMode).isRelative())
        __builtin_trap(); // a finished task's mask address is absolute
    const std::optional<QVariantMap> dictionary = KSAFNetworking::responseToDictionary(reply);
    if (!dictionary)
        return 0;
    [[maybe_unused]] const bool success = KSReplyEnvelope::isSuccessStatus(dictionary->value(QStringLiteral("status")));
    const QVariantMap payload = objectAt(*dictionary, QStringLiteral("data")).value_or(QVariantMap());
    for (const char *field : {"endpoint", "access_id", "access_secret", "security_token", "bucket", "task_id",
                              "resource_id", "mask_file_url", "engine"})
        (void)textAt(payload, QLatin1String(field));
    (void)integerAt(payload, QStringLiteral("status"));
    if (const auto path = objectAt(payload, QStringLiteral("path")))
        (void)textAt(*path, QStringLiteral("images"));
    (void)objectAt(payload, QStringLiteral("callback"));
    if (const auto resource = objectAt(payload, QStringLiteral("resource")))
        (void)textAt(*resource, QStringLiteral("resource_id"));
    return 0;
}
