#include "KSTaskReply.h"

#include "KSReplyEnvelope.h"

#include <QUrl>

using KSReplyEnvelope::integerAt;
using KSReplyEnvelope::objectAt;
using KSReplyEnvelope::textAt;

KSTaskReply KSTaskReply::read(const QVariant &reply)
{
    KSTaskReply task;
    if (reply.typeId() != QMetaType::QVariantMap) {
        task.fault = Fault::NotADictionary;
        return task;
    }
    const QVariantMap data = objectAt(reply.toMap(), QStringLiteral("data")).value_or(QVariantMap());
    const std::optional<qint64> status = integerAt(data, QStringLiteral("status"));
    if (!status) {
        task.fault = Fault::NoStatus;
        return task;
    }
    task.state = *status == KSTaskStatus::done     ? State::Done
                 : *status == KSTaskStatus::failed ? State::Failed
                                                   : State::Unfinished;
    task.engine = textAt(data, QStringLiteral("engine")).value_or(QString());
    task.error = textAt(data, QStringLiteral("error")).value_or(QString());
    task.progress = data.value(QStringLiteral("progress"));
    if (task.state != State::Done)
        return task;
    const std::optional<QString> text = textAt(data, QStringLiteral("mask_file_url"));
    const QUrl url(text.value_or(QString()), QUrl::StrictMode);
    if (!text || text->isEmpty() || !url.isValid() || url.isRelative())
        task.fault = Fault::NoMaskUrl;
    else
        task.maskUrl = *text;
    return task;
}
