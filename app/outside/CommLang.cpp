#include "CommLang.h"

#include "CommLog.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMutex>
#include <QSettings>

namespace {

const QString kEnglish = QStringLiteral("English");
const QString kChineseSimplified = QStringLiteral("ChineseSimplified");

struct LangData
{
    QList<CommLangInfo> infos;
    QHash<QString, QHash<QString, QString>> tables; // langName -> key -> text
    QStringList keys;
};

QJsonDocument readJsonResource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        CommLog::E(QStringLiteral("CommLang: cannot open %1").arg(path));
        return {};
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        CommLog::E(QStringLiteral("CommLang: %1: %2").arg(path, error.errorString()));
    return doc;
}

LangData loadLangData()
{
    LangData data;
    const QJsonArray languages = readJsonResource(QStringLiteral(":/lang/languages.json")).array();
    for (const QJsonValue &value : languages) {
        const QJsonObject object = value.toObject();
        CommLangInfo info{object.value(QStringLiteral("langName")).toString(),
                          object.value(QStringLiteral("langDisplayName")).toString()};
        if (info.langName.isEmpty())
            continue;
        QHash<QString, QString> table;
        const QJsonObject texts =
            readJsonResource(QStringLiteral(":/lang/%1.json").arg(info.langName)).object();
        for (auto it = texts.begin(); it != texts.end(); ++it)
            table.insert(it.key(), it.value().toString());
        data.tables.insert(info.langName, table);
        data.infos.append(info);
    }
    // The key list is grouped by screen; the groups' order is irrelevant.
    const QJsonObject groups = readJsonResource(QStringLiteral(":/lang/keys.json")).object();
    for (const QJsonValue &group : groups) {
        for (const QJsonValue &key : group.toArray())
            data.keys.append(key.toString());
    }
    return data;
}

const LangData &langData()
{
    static const LangData data = loadLangData();
    return data;
}

QMutex currentMutex;
QString currentLang; // empty until set

QString offeredOrMapped(const QString &name)
{
    if (CommLang::GetAppLangInfoWithLangName(name))
        return name;
    return CommLang::GetLangName(name);
}

} // namespace

QString CommLang::GetAppLang(const QString &key)
{
    if (const auto text = textInLanguage(key, currentLanguage()))
        return *text;
    // A table that lacks a key falls back to English before the key itself.
    if (const auto text = textInLanguage(key, kEnglish))
        return *text;
    return key;
}

std::optional<QString> CommLang::textInLanguage(const QString &key, const QString &langName)
{
    const auto table = langData().tables.constFind(langName);
    if (table == langData().tables.cend())
        return std::nullopt;
    const auto text = table->constFind(key);
    if (text == table->cend())
        return std::nullopt;
    return *text;
}

QList<CommLangInfo> CommLang::GetAppLangInfos()
{
    return langData().infos;
}

std::optional<CommLangInfo> CommLang::GetAppLangInfoWithLangName(const QString &langName)
{
    for (const CommLangInfo &info : langData().infos) {
        if (info.langName == langName)
            return info;
    }
    return std::nullopt;
}

QString CommLang::GetLangName(const QString &localeId)
{
    QString id = localeId.trimmed();
    for (const CommLangInfo &info : langData().infos) {
        if (id.compare(info.langName, Qt::CaseInsensitive) == 0)
            return info.langName;
    }
    // POSIX forms carry an encoding and a modifier: zh_CN.UTF-8@pinyin.
    id = id.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    id.replace(QLatin1Char('-'), QLatin1Char('_'));
    if (id.isEmpty())
        return kEnglish;
    const QLocale locale(id);
    // Chinese in Traditional script (zh_TW, zh_HK, zh_Hant) has no table;
    // every other Chinese locale (zh, zh_CN, zh_SG, zh_Hans_*) reads Simplified.
    if (locale.language() == QLocale::Chinese && locale.script() != QLocale::TraditionalHanScript)
        return kChineseSimplified;
    return kEnglish;
}

QString CommLang::GetSystemLanguage()
{
    const QStringList preferred = QLocale::system().uiLanguages();
    return GetLangName(preferred.isEmpty() ? QLocale::system().name() : preferred.first());
}

void CommLang::setCurrentLanguage(const QString &langName)
{
    const QString name = langName.isEmpty() ? QString() : offeredOrMapped(langName);
    QMutexLocker lock(&currentMutex);
    currentLang = name;
}

QString CommLang::currentLanguage()
{
    {
        QMutexLocker lock(&currentMutex);
        if (!currentLang.isEmpty())
            return currentLang;
    }
    const QString stored = QSettings(QStringLiteral("Cutora"), QStringLiteral("Cutora"))
                               .value(QStringLiteral("userdefaultAppLanguage"))
                               .toString();
    return stored.isEmpty() ? GetSystemLanguage() : offeredOrMapped(stored);
}

QStringList CommLang::allKeys()
{
    return langData().keys;
}
