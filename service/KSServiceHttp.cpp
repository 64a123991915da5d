#include "KSServiceHttp.h"

#include "KSReplyEnvelope.h"

#include <QJsonDocument>

#include <httplib.h>

QString KSServiceHttp::text(const std::string &bytes)
{
    return QString::fromStdString(bytes);
}

QString KSServiceHttp::header(const httplib::Request &req, const char *name)
{
    return text(req.get_header_value(name));
}

void KSServiceHttp::sendJson(httplib::Response &res, int httpStatus, const QJsonObject &object)
{
    res.status = httpStatus;
    res.set_content(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(), "application/json");
}

void KSServiceHttp::succeed(httplib::Response &res, const QJsonObject &data)
{
    sendJson(res, 200, KSReplyEnvelope::success(data));
}

void KSServiceHttp::refuse(httplib::Response &res, int httpStatus, const QString &message)
{
    sendJson(res, httpStatus, KSReplyEnvelope::failure(message));
}
