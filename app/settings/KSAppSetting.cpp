#include "KSAppSetting.h"

#include "CommLang.h"
#include "CommLog.h"
#include "CommProductInfo.h"
#include "CommUtils.h"
#include "KSBookmark.h"
#include "KSBuildDate.h"
#include "KSUserDefaultKit.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringDecoder>

namespace {
constexpr int kDefaultOutputSize = 2000;
} // namespace

QList<KSAppSetting::outputFormat> KSAppSetting::outputFormats()
{
    return {{CommLang::GetAppLang(QStringLiteral("JpgIntroduce")), QStringLiteral("jpg")},
            {QStringLiteral("PNG"), QStringLiteral("png")}};
}

QList<KSAppSetting::fileSize> KSAppSetting::fileSizes()
{
    return {{QStringLiteral("2K"), 2000},
            {QStringLiteral("4K"), 4000},
            {QStringLiteral("1080P"), 1080},
            {CommLang::GetAppLang(QStringLiteral("OriginalSize")), 0}};
}

QString KSAppSetting::outputDirectory()
{
    const QString stored = KSUserDefaultKit::getFromUserDefaults_NSString(kOutputDir);
    if (stored.isEmpty())
        return defaultOutputDirectory();
    // A folder deleted since it was chosen is made again.
    if (!CommUtils::CreateDirectoryAtPath(stored))
        CommLog::E(QStringLiteral("output folder %1 cannot be created").arg(stored));
    return stored;
}

QString KSAppSetting::defaultOutputDirectory()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                         + QStringLiteral("/cutora");
    if (!CommUtils::CreateDirectoryAtPath(path))
        CommLog::E(QStringLiteral("output folder %1 cannot be created").arg(path));
    return path;
}

void KSAppSetting::setOutputDirectory(const QString &path)
{
    if (path.isEmpty() || QDir::isRelativePath(path)) {
        CommLog::E(QStringLiteral("output folder not set: \"%1\" is no absolute path").arg(path));
        return;
    }
    const QString folder = QDir::cleanPath(path);
    KSBookmark::defaultShareBookmark()->saveOpenFileToBookmarkWithFilePath(folder);
    KSUserDefaultKit::saveToUserDefaultsForKey(kOutputDir, folder);
}

int KSAppSetting::outputSize()
{
    const int stored = KSUserDefaultKit::getFromUserDefaults_Integer(kOutputSize);
    if (stored == kOriginalOutputSize)
        return 0;
    // No other size is zero or negative: those mean unset, as an absent key does.
    if (stored <= 0) {
        KSUserDefaultKit::saveToUserDefaultsForKey(kOutputSize, kDefaultOutputSize);
        return kDefaultOutputSize;
    }
    return stored;
}

QString KSAppSetting::outputSizeTitle()
{
    const int size = outputSize();
    for (const fileSize &row : fileSizes()) {
        if (row.value == size)
            return row.title;
    }
    return fileSizes().constFirst().title;
}

void KSAppSetting::setOutputSize(const QString &title)
{
    for (const fileSize &row : fileSizes()) {
        if (row.title == title)
            KSUserDefaultKit::saveToUserDefaultsForKey(kOutputSize, row.value == 0 ? kOriginalOutputSize : row.value);
    }
}

QString KSAppSetting::outputFormatTitle()
{
    const QString stored = KSUserDefaultKit::getFromUserDefaults_NSString(kOutputFormat, QStringLiteral("jpg"));
    const QList<outputFormat> formats = outputFormats();
    for (const outputFormat &row : formats) {
        if (row.value == stored)
            return row.title;
    }
    return formats.constFirst().title;
}

void KSAppSetting::setOutputFormat(const QString &title)
{
    for (const outputFormat &row : outputFormats()) {
        if (row.title == title)
            KSUserDefaultKit::saveToUserDefaultsForKey(kOutputFormat, row.value);
    }
}

QString KSAppSetting::appLanguage()
{
    QString fallback = QStringLiteral("English");
    if (KSUserDefaultKit::getFromUserDefaults_BOOL(kFirstLaunch, true)) {
        // The first run fixes the language to the system's; later runs
        // never look at the system language again.
        fallback = CommLang::GetSystemLanguage();
        KSUserDefaultKit::saveToUserDefaultsForKey(kAppLanguage, fallback);
        KSUserDefaultKit::saveToUserDefaultsForKey(kFirstLaunch, false);
    }
    return KSUserDefaultKit::getFromUserDefaults_NSString(kAppLanguage, fallback);
}

void KSAppSetting::setAppLanguage(const QString &langName)
{
    KSUserDefaultKit::saveToUserDefaultsForKey(kAppLanguage, langName);
}

QString KSAppSetting::versionString()
{
    return QStringLiteral(CUTORA_VERSION_STRING " (Build " CUTORA_BUILD_DATE ")");
}

CommAppInfo KSAppSetting::appInfo()
{
    const QString language = appLanguage();
    const QString type = appType();
    const std::optional<CommProductInfo> record =
        CommProductInfo::getInfoWithProductID(kProductID, language, type);
    if (!record)
        CommLog::E(QStringLiteral("no product record for product %1").arg(kProductID));
    const CommProductInfo product = record.value_or(CommProductInfo{});

    CommAppInfo info;
    info.setAppID(kProductID);
    info.setAppName(product.identify);
    info.setAppLocalizedName(product.localizedName);
    info.setAppVersion(versionString());
    info.setAppType(type);
    info.setAppLang(language);
    info.setUrlHome(product.urlHome);
    info.setUrlSupport(product.urlSupport);
    info.setUrlFAQ(product.urlFAQ);
    info.setUrlForum(product.urlForum);
    info.setUrlProduct(product.urlProduct);
    return info;
}

QString KSAppSetting::appType()
{
    static const QString type = appTypeFromMarker(appTypeMarkerPath());
    return type;
}

QString KSAppSetting::appTypeMarkerPath()
{
    QString folder = CommProductInfo::getAppIdentifyByID(kProductID) + QStringLiteral(" Support");
    folder.remove(u' ');
    return QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation) + u'/' + folder
           + QStringLiteral("/.APP_Type");
}

QString KSAppSetting::appTypeFromMarker(const QString &markerPath)
{
    const QString fallback = QStringLiteral("saas");
    QFile file(markerPath);
    if (!file.open(QIODevice::ReadOnly))
        return fallback;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString type = decoder.decode(file.readAll());
    if (decoder.hasError())
        return fallback;
    type.remove(u'\n');
    type.remove(u'\r');
    return type.isEmpty() ? fallback : type;
}

bool KSAppSetting::checkUpdatesAtStart()
{
    return KSUserDefaultKit::getFromUserDefaults_BOOL(kCheckUpdatesAtStart, false);
}
