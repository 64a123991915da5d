#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One language the application offers.
struct CommLangInfo
{
    QString langName;        // stored under "userdefaultAppLanguage", e.g. "ChineseSimplified"
    QString langDisplayName; // shown in the language menu, in the language itself
};

// Localization: every user-visible text is a key looked up here.
// The tables are JSON files compiled into the library as resources.
class CommLang
{
public:
    // The text of the key in the current language; a text that is no key
    // (or a key the table lacks) comes back unchanged.
    static QString GetAppLang(const QString &key);

    // Offered languages, in menu order: "English", "ChineseSimplified".
    static QList<CommLangInfo> GetAppLangInfos();
    static std::optional<CommLangInfo> GetAppLangInfoWithLangName(const QString &langName);

    // Maps a locale identifier (en_US, zh_CN, zh-Hans, zh_Hans_CN, ...) or a
    // language name to an offered langName; anything else is "English".
    static QString GetLangName(const QString &localeId);
    // The langName of the system's preferred UI language.
    static QString GetSystemLanguage();

    // The language GetAppLang answers in. Until one is set, it is the one
    // stored under "userdefaultAppLanguage" in the application's settings,
    // or else the system language. An unknown name is mapped by GetLangName;
    // an empty name returns to that default.
    // KSCommonUtils sets it from the registered CommAppInfo's appLang.
    static void setCurrentLanguage(const QString &langName);
    static QString currentLanguage();

    // Text of a key in a given language, without fallback to other tables:
    // an empty optional when the table lacks the key.
    static std::optional<QString> textInLanguage(const QString &key, const QString &langName);

    // Every key the application uses; each table must hold all of them.
    static QStringList allKeys();
};
