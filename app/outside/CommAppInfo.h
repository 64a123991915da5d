#pragma once

#include <QString>

// The application's identity as registered with KSCommonUtils: product number,
// names, version, type, language and the product's web addresses. A null
// address text means the product has none.
class CommAppInfo
{
public:
    void setAppID(int appID) { m_appID = appID; }
    void setAppName(const QString &appName) { m_appName = appName; }
    void setAppLocalizedName(const QString &name) { m_appLocalizedName = name; }
    void setAppVersion(const QString &appVersion) { m_appVersion = appVersion; }
    void setAppType(const QString &appType) { m_appType = appType; }
    void setAppLang(const QString &appLang) { m_appLang = appLang; }
    void setUrlHome(const QString &url) { m_urlHome = url; }
    void setUrlSupport(const QString &url) { m_urlSupport = url; }
    void setUrlFAQ(const QString &url) { m_urlFAQ = url; }
    void setUrlForum(const QString &url) { m_urlForum = url; }
    void setUrlProduct(const QString &url) { m_urlProduct = url; }

    int appID() const { return m_appID; }
    QString appName() const { return m_appName; }
    QString appLocalizedName() const { return m_appLocalizedName; }
    QString appVersion() const { return m_appVersion; }
    QString appType() const { return m_appType; }
    QString appLang() const { return m_appLang; }
    QString urlHome() const { return m_urlHome; }
    QString urlSupport() const { return m_urlSupport; }
    QString urlFAQ() const { return m_urlFAQ; }
    QString urlForum() const { return m_urlForum; }
    QString urlProduct() const { return m_urlProduct; }

private:
    int m_appID = 0;
    QString m_appName;
    QString m_appLocalizedName;
    QString m_appVersion;
    QString m_appType;
    QString m_appLang;
    QString m_urlHome;
    QString m_urlSupport;
    QString m_urlFAQ;
    QString m_urlForum;
    QString m_urlProduct;
};
