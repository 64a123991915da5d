#pragma once

#include <QByteArray>
#include <QRectF>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <optional>

// Typed access to the application's one settings store, the QSettings of
// organization and application "Cutora". Every write is flushed at once, so
// a value written by one screen is what the next read anywhere returns.
// Safe from any thread.
//
// The store is one flat map: "/" and "\" in a key belong to the key and are
// no QSettings groups, so a file path can be a key, and removing one path's
// entry leaves the entries of the paths beneath it alone.
//
// Reads with a default take the stored value's text form and read a number
// or truth value from its beginning, as "%@" formatting and the
// intValue/boolValue/doubleValue family do: a stored 0 reads as false, a
// stored "1" as the integer 1, "2.5kg" as the double 2.5, "abc" as 0, and
// a stored boolean as 1 or 0 (its text is "true" or "false"). Reads without
// a default convert the same way and give 0, false or none when absent.
class KSUserDefaultKit
{
public:
    // Invalid when absent.
    static QVariant getFromUserDefaults_Object(const QString &key);
    // The stored text (or text form); a null text when absent.
    static QString getFromUserDefaults_NSString(const QString &key);
    static int getFromUserDefaults_Integer(const QString &key);
    static bool getFromUserDefaults_BOOL(const QString &key);
    static double getFromUserDefaults_Double(const QString &key);
    // Null unless bytes are stored.
    static QByteArray getFromUserDefaults_Data(const QString &key);

    static QString getFromUserDefaults_NSString(const QString &key, const QString &defaultValue);
    static int getFromUserDefaults_Integer(const QString &key, int defaultValue);
    static bool getFromUserDefaults_BOOL(const QString &key, bool defaultValue);
    static double getFromUserDefaults_Double(const QString &key, double defaultValue);

    // A list stored as such (with the Object setter); none otherwise.
    static std::optional<QVariantList> getFromUserDefaults_Array(const QString &key);
    // A list archived by the QVariantList setter; the default when nothing
    // or nothing readable is archived there.
    static QVariantList getFromUserDefaults_Array(const QString &key, const QVariantList &defaultValue);
    // A null rectangle when absent.
    static QRectF getFromUserDefaults_Rect(const QString &key);

    static void saveToUserDefaultsForKey(const QString &key, const QString &value);
    static void saveToUserDefaultsForKey(const QString &key, const char *value)
    {
        // Without this a literal would choose the bool overload.
        saveToUserDefaultsForKey(key, QString::fromUtf8(value));
    }
    static void saveToUserDefaultsForKey(const QString &key, int value);
    static void saveToUserDefaultsForKey(const QString &key, bool value);
    static void saveToUserDefaultsForKey(const QString &key, double value);
    static void saveToUserDefaultsForKey(const QString &key, const QRectF &value);
    // Any value QSettings can keep.
    static void saveToUserDefaultsForKey(const QString &key, const QVariant &value);
    // Archives the list into bytes under the key; true when the store was
    // written to disk.
    static bool saveToUserDefaultsForKey(const QString &key, const QVariantList &value);

    // True when an entry existed and was removed.
    static bool removeObjectForKey(const QString &key);
    static bool hasObjectForKey(const QString &key);

    // The store itself, for the rare caller that must enumerate or clear it
    // (its keys are the escaped ones: see storeKey).
    static std::unique_ptr<QSettings> openStore();
    // How a key is written in the store: "%", "/" and "\" escaped as %25,
    // %2F and %5C, every other character kept.
    static QString storeKey(const QString &key);
};
