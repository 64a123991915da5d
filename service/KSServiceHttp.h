#pragma once

#include <QJsonObject>
#include <QString>

#include <string>

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

// What the web API and the storage endpoint both need of an HTTP exchange.
namespace KSServiceHttp {

[[nodiscard]] QString text(const std::string &bytes);
[[nodiscard]] QString header(const httplib::Request &req, const char *name);

void sendJson(httplib::Response &res, int httpStatus, const QJsonObject &object);
// The reply envelope with status "1" and the data.
void succeed(httplib::Response &res, const QJsonObject &data);
// The reply envelope with status "0" and the message.
void refuse(httplib::Response &res, int httpStatus, const QString &message);

} // namespace KSServiceHttp
