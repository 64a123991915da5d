#include "KSUserDefaultKit.h"

#include "CommLog.h"

#include <QDataStream>
#include <QIODevice>
#include <charconv>
#include <limits>

namespace {
// The text numbers are read from: booleans as 1 and 0 (also the
// "true"/"false" QSettings writes them as), everything else as its text.
QString textForm(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (text == u"true")
            return QStringLiteral("1");
        if (text == u"false")
            return QStringLiteral("0");
        return text;
    }
    return value.canConvert<QString>() ? value.toString() : QString();
}

// The number at the start of a text after white space; 0 when none.
double leadingDouble(const QString &text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    const char *begin = bytes.constData();
    const char *end = begin + bytes.size();
    if (begin != end && *begin == '+')
        ++begin;
    double value = 0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec == std::errc::result_out_of_range)
        return begin != end && *begin == '-' ? -std::numeric_limits<double>::infinity()
                                             : std::numeric_limits<double>::infinity();
    return result.ec == std::errc() ? value : 0.0;
}

// The integer at the start of a text, saturated to 32 bits; "3.7" is 3.
int leadingInt(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype i = 0;
    const bool negative = i < trimmed.size() && trimmed[i] == u'-';
    if (i < trimmed.size() && (trimmed[i] == u'-' || trimmed[i] == u'+'))
        ++i;
    qint64 value = 0;
    for (; i < trimmed.size() && trimmed[i].isDigit() && trimmed[i].unicode() < 128; ++i)
        value = std::min<qint64>(value * 10 + (trimmed[i].unicode() - u'0'), qint64(1) << 32);
    value = negative ? -value : value;
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// True for texts starting with Y, y, T, t or a digit 1-9, after white space,
// a sign and leading zeros.
bool leadingBool(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype i = 0;
    if (i < trimmed.size() && (trimmed[i] == u'-' || trimmed[i] == u'+'))
        ++i;
    while (i < trimmed.size() && trimmed[i] == u'0')
        ++i;
    if (i >= trimmed.size())
        return false;
    const char16_t c = trimmed[i].unicode();
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Long: case QMetaType::ULong:
    case QMetaType::Short: case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

int readInt(const QVariant &value)
{
    if (isNumber(value))
        return int(std::clamp<double>(value.toDouble(), std::numeric_limits<int>::min(),
                                      std::numeric_limits<int>::max()));
    return leadingInt(textForm(value));
}

bool readBool(const QVariant &value)
{
    if (isNumber(value))
        return value.toDouble() != 0.0;
    return leadingBool(textForm(value));
}

double readDouble(const QVariant &value)
{
    if (isNumber(value))
        return value.toDouble();
    return leadingDouble(textForm(value));
}

QVariant storedValue(const QString &key)
{
    if (key.isEmpty())
        return {};
    return KSUserDefaultKit::openStore()->value(KSUserDefaultKit::storeKey(key));
}

bool flush(QSettings &store)
{
    store.sync();
    if (store.status() == QSettings::NoError)
        return true;
    CommLog::E(QStringLiteral("settings store %1 could not be written").arg(store.fileName()));
    return false;
}

bool store(const QString &key, const QVariant &value)
{
    if (key.isEmpty())
        return false;
    const auto settings = KSUserDefaultKit::openStore();
    settings->setValue(KSUserDefaultKit::storeKey(key), value);
    return flush(*settings);
}
} // namespace

std::unique_ptr<QSettings> KSUserDefaultKit::openStore()
{
    return std::make_unique<QSettings>(QStringLiteral("Cutora"), QStringLiteral("Cutora"));
}

QString KSUserDefaultKit::storeKey(const QString &key)
{
    QString escaped;
    escaped.reserve(key.size());
    for (const QChar c : key) {
        if (c == u'%')
            escaped += QLatin1String("%25");
        else if (c == u'/')
            escaped += QLatin1String("%2F");
        else if (c == u'\\')
            escaped += QLatin1String("%5C");
        else
            escaped += c;
    }
    return escaped;
}

QVariant KSUserDefaultKit::getFromUserDefaults_Object(const QString &key)
{
    return storedValue(key);
}

QString KSUserDefaultKit::getFromUserDefaults_NSString(const QString &key)
{
    return getFromUserDefaults_NSString(key, QString());
}

int KSUserDefaultKit::getFromUserDefaults_Integer(const QString &key)
{
    return getFromUserDefaults_Integer(key, 0);
}

bool KSUserDefaultKit::getFromUserDefaults_BOOL(const QString &key)
{
    return getFromUserDefaults_BOOL(key, false);
}

double KSUserDefaultKit::getFromUserDefaults_Double(const QString &key)
{
    return getFromUserDefaults_Double(key, 0.0);
}

QByteArray KSUserDefaultKit::getFromUserDefaults_Data(const QString &key)
{
    const QVariant value = storedValue(key);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

QString KSUserDefaultKit::getFromUserDefaults_NSString(const QString &key, const QString &defaultValue)
{
    const QVariant value = storedValue(key);
    if (!value.isValid())
        return defaultValue;
    // A boolean reads "true" here whether it was just written or comes
    // back from the file as text.
    return value.canConvert<QString>() ? value.toString() : QString();
}

int KSUserDefaultKit::getFromUserDefaults_Integer(const QString &key, int defaultValue)
{
    const QVariant value = storedValue(key);
    return value.isValid() ? readInt(value) : defaultValue;
}

bool KSUserDefaultKit::getFromUserDefaults_BOOL(const QString &key, bool defaultValue)
{
    const QVariant value = storedValue(key);
    return value.isValid() ? readBool(value) : defaultValue;
}

double KSUserDefaultKit::getFromUserDefaults_Double(const QString &key, double defaultValue)
{
    const QVariant value = storedValue(key);
    return value.isValid() ? readDouble(value) : defaultValue;
}

std::optional<QVariantList> KSUserDefaultKit::getFromUserDefaults_Array(const QString &key)
{
    const QVariant value = storedValue(key);
    if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList)
        return value.toList();
    return std::nullopt;
}

QVariantList KSUserDefaultKit::getFromUserDefaults_Array(const QString &key, const QVariantList &defaultValue)
{
    const QByteArray archive = getFromUserDefaults_Data(key);
    if (archive.isEmpty())
        return defaultValue;
    QDataStream in(archive);
    QVariantList list;
    in >> list;
    return in.status() == QDataStream::Ok ? list : defaultValue;
}

QRectF KSUserDefaultKit::getFromUserDefaults_Rect(const QString &key)
{
    return storedValue(key).toRectF();
}

void KSUserDefaultKit::saveToUserDefaultsForKey(const QString &key, const QString &value)
{
    store(key, value);
}

void KSUserDefaultKit::saveToUserDefaultsForKey(const QString &key, int value)
{
    store(key, value);
}

void KSUserDefaultKit::saveToUserDefaultsForKey(const QString &key, bool value)
{
    store(key, value);
}

void KSUserDefaultKit::saveToUserDefaultsForKey(const QString &key, double value)
{
    store(key, value);
}

void KSUserDefaultKit::saveToUserDefaultsForKey(const QString &key, const QRectF &value)
{
    store(key, value);
}

void KSUserDefaultKit::saveToUserDefaultsForKey(const QString &key, const QVariant &value)
{
    store(key, value);
}

bool KSUserDefaultKit::saveToUserDefaultsForKey(const QString &key, const QVariantList &value)
{
    QByteArray archive;
    QDataStream out(&archive, QIODevice::WriteOnly);
    out << value;
    return store(key, archive);
}

bool KSUserDefaultKit::removeObjectForKey(const QString &key)
{
    if (key.isEmpty())
        return false;
    const auto settings = openStore();
    const QString stored = storeKey(key);
    if (!settings->contains(stored))
        return false;
    settings->remove(stored);
    flush(*settings);
    return true;
}

bool KSUserDefaultKit::hasObjectForKey(const QString &key)
{
    return storedValue(key).isValid();
}
