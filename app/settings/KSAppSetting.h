#pragma once

#include "CommAppInfo.h"

#include <QList>
#include <QString>

// The user's settings and a few application-wide answers. Every read goes to
// the settings store (KSUserDefaultKit), so a value written by one screen is
// seen at once by every other. Main thread only. No widgets: the command
// line reads the same settings.
class KSAppSetting
{
public:
    static inline const QString kOutputDir = QStringLiteral("kOutputDir");
    static inline const QString kOutputSize = QStringLiteral("kOutputSize");
    static inline const QString kOutputFormat = QStringLiteral("kOutputFormat");
    static inline const QString kAppLanguage = QStringLiteral("userdefaultAppLanguage");
    static inline const QString kFirstLaunch = QStringLiteral("finstLunch");
    // The folder of the last photo chosen, where the photo picker opens next.
    static inline const QString kLastPhotoDir = QStringLiteral("kLastPhotoDir");
    // Whether the window looks for an update when it starts; off unless set,
    // so that a start contacts no one (Help's update check always works).
    static inline const QString kCheckUpdatesAtStart = QStringLiteral("kCheckUpdatesAtStart");
    static constexpr int kProductID = 449;

    // A row of the output format table: the title shown, the value stored.
    struct outputFormat
    {
        QString title;
        QString value;
    };
    // A row of the output size table: the saved picture fits into a square
    // of value x value pixels; 0 ("Original") keeps the photo's pixels.
    struct fileSize
    {
        QString title;
        int value = 0;
    };
    // Built afresh on every call: the "jpg" and "Original" titles follow the
    // language.
    static QList<outputFormat> outputFormats();
    static QList<fileSize> fileSizes();

    // The stored output folder, or documents + "/cutora"; created when
    // missing (and returned even when it cannot be created).
    static QString outputDirectory();
    static QString defaultOutputDirectory();
    // Bookmarks the folder and stores it; an empty or relative path is ignored.
    static void setOutputDirectory(const QString &path);

    // The stored size; 2000, written to the store, while none is set; 0 for
    // "Original" (stored as kOriginalOutputSize, since 0 reads as unset).
    static int outputSize();
    static constexpr int kOriginalOutputSize = -1;
    // The title of the size row of outputSize(); "2K" for a size no row has.
    static QString outputSizeTitle();
    // Stores the size of the row with this title; an unknown title stores nothing.
    static void setOutputSize(const QString &title);

    // The title of the stored format's row; the "jpg" row's for anything else.
    static QString outputFormatTitle();
    // Stores the format of the row with this title; an unknown title (or a
    // value such as "png") stores nothing.
    static void setOutputFormat(const QString &title);

    // The language name: on the very first call the system language, which
    // is then stored; later the stored one, or "English" when none is.
    static QString appLanguage();
    // Stores a language name (a CommLangInfo langName).
    static void setAppLanguage(const QString &langName);

    [[nodiscard]] static bool checkUpdatesAtStart();

    // The program's version and the build's date: "1.0.0 (Build 2026-12-08)".
    static QString versionString();
    // The product record handed to KSCommonUtils, in the current language.
    static CommAppInfo appInfo();

    // The application type, read once per run from the marker file; "saas"
    // without one.
    static QString appType();
    static QString appTypeMarkerPath();
    // The type a marker file names: its UTF-8 text without line ends; "saas"
    // when the file is missing, unreadable, not UTF-8 or empty.
    static QString appTypeFromMarker(const QString &markerPath);
};
