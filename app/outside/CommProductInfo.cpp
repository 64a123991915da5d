#include "CommProductInfo.h"

#include "CommLog.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QJsonObject &productTable()
{
    static const QJsonObject table = [] {
        QFile file(QStringLiteral(":/product/products.json"));
        if (!file.open(QIODevice::ReadOnly)) {
            CommLog::E(QStringLiteral("CommProductInfo: the product table is missing"));
            return QJsonObject();
        }
        return QJsonDocument::fromJson(file.readAll()).object();
    }();
    return table;
}

QString optionalText(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString() : QString();
}

} // namespace

std::optional<CommProductInfo> CommProductInfo::getInfoWithProductID(int productID,
                                                                     const QString &appLang,
                                                                     const QString &appType)
{
    Q_UNUSED(appType)
    const QJsonObject product = productTable().value(QString::number(productID)).toObject();
    if (product.isEmpty())
        return std::nullopt;
    const QJsonObject languages = product.value(QStringLiteral("languages")).toObject();
    QJsonObject texts = languages.value(appLang).toObject();
    if (texts.isEmpty())
        texts = languages.value(QStringLiteral("English")).toObject();

    CommProductInfo info;
    info.productID = productID;
    info.identify = product.value(QStringLiteral("identify")).toString();
    info.localizedName = optionalText(texts, QStringLiteral("localizedName"));
    if (info.localizedName.isEmpty())
        info.localizedName = info.identify;
    info.urlHome = optionalText(texts, QStringLiteral("urlHome"));
    info.urlSupport = optionalText(texts, QStringLiteral("urlSupport"));
    info.urlFAQ = optionalText(texts, QStringLiteral("urlFAQ"));
    info.urlForum = optionalText(texts, QStringLiteral("urlForum"));
    info.urlProduct = optionalText(texts, QStringLiteral("urlProduct"));
    info.updateFeed = optionalText(product, QStringLiteral("updateFeed"));
    return info;
}

QString CommProductInfo::getAppIdentifyByID(int productID)
{
    return productTable()
        .value(QString::number(productID))
        .toObject()
        .value(QStringLiteral("identify"))
        .toString();
}
