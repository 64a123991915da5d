#include "KSModelDescription.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {
// Walks a dotted path ("input.mean") to a value, recording the first fault.
class Reader
{
public:
    Reader(const QJsonObject &root, const QString &file) : m_root(root), m_file(file) {}

    QJsonValue at(const QString &path)
    {
        QJsonValue value = m_root;
        for (const QString &key : path.split(QLatin1Char('.'))) {
            value = value.toObject().value(key);
            if (value.isUndefined())
                return missing(path);
        }
        return value;
    }

    QString text(const QString &path)
    {
        const QJsonValue value = at(path);
        if (!value.isUndefined() && (!value.isString() || value.toString().isEmpty()))
            return fault(path, QStringLiteral("is not a non-empty text")), QString();
        return value.toString();
    }

    double number(const QString &path)
    {
        const QJsonValue value = at(path);
        if (!value.isUndefined() && !value.isDouble())
            return fault(path, QStringLiteral("is not a number")), 0.0;
        return value.toDouble();
    }

    std::array<double, 3> triple(const QString &path)
    {
        const QJsonValue value = at(path);
        std::array<double, 3> result{0, 0, 0};
        if (value.isUndefined())
            return result;
        const QJsonArray array = value.toArray();
        if (!value.isArray() || array.size() != 3)
            return fault(path, QStringLiteral("is not a list of three numbers")), result;
        for (int i = 0; i < 3; ++i) {
            if (!array.at(i).isDouble())
                return fault(path, QStringLiteral("is not a list of three numbers")), result;
            result[size_t(i)] = array.at(i).toDouble();
        }
        return result;
    }

    void fault(const QString &path, const QString &what)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("the model description %1: \"%2\" %3").arg(m_file, path, what);
    }
    QString error() const { return m_error; }

private:
    QJsonValue missing(const QString &path)
    {
        fault(path, QStringLiteral("is missing"));
        return QJsonValue(QJsonValue::Undefined);
    }

    QJsonObject m_root;
    QString m_file;
    QString m_error;
};
} // namespace

std::optional<KSModelDescription> KSModelDescription::load(const QString &jsonPath, QString *error)
{
    QFile file(jsonPath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the model description %1 cannot be read: %2").arg(jsonPath, file.errorString());
        return std::nullopt;
    }
    return fromJson(file.readAll(), jsonPath, error);
}

std::optional<KSModelDescription> KSModelDescription::fromJson(const QByteArray &json, const QString &jsonPath,
                                                               QString *error)
{
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (!document.isObject()) {
        *error = QStringLiteral("the model description %1 is no JSON object (%2)").arg(jsonPath, parse.errorString());
        return std::nullopt;
    }

    Reader read(document.object(), jsonPath);
    KSModelDescription d;
    d.name = read.text(QStringLiteral("name"));
    const QString modelFile = read.text(QStringLiteral("file"));
    d.inputName = read.text(QStringLiteral("input.name"));
    const double width = read.number(QStringLiteral("input.width"));
    const double height = read.number(QStringLiteral("input.height"));
    const QString channels = read.text(QStringLiteral("input.channels"));
    d.scale = read.number(QStringLiteral("input.scale"));
    d.mean = read.triple(QStringLiteral("input.mean"));
    d.std = read.triple(QStringLiteral("input.std"));
    d.outputName = read.text(QStringLiteral("output.name"));
    d.outputMin = read.number(QStringLiteral("output.min"));
    d.outputMax = read.number(QStringLiteral("output.max"));

    if (read.error().isEmpty()) {
        // Checked as numbers before they become ints: a huge one has no int.
        const auto isSide = [](double side) { return side >= 16 && side <= 8192 && side == std::floor(side); };
        if (!isSide(width) || !isSide(height))
            read.fault(QStringLiteral("input.width"),
                       QStringLiteral("and \"input.height\" must be whole numbers between 16 and 8192"));
        else if (channels != QLatin1String("RGB") && channels != QLatin1String("BGR"))
            read.fault(QStringLiteral("input.channels"), QStringLiteral("must be \"RGB\" or \"BGR\""));
        else if (!(d.outputMax != d.outputMin) || !std::isfinite(d.outputMax - d.outputMin))
            read.fault(QStringLiteral("output.max"), QStringLiteral("must differ from \"output.min\""));
        for (double deviation : d.std) {
            if (deviation == 0.0 || !std::isfinite(deviation))
                read.fault(QStringLiteral("input.std"), QStringLiteral("must hold non-zero numbers"));
        }
    }
    if (!read.error().isEmpty()) {
        *error = read.error();
        return std::nullopt;
    }
    d.width = int(width);
    d.height = int(height);
    d.rgb = channels == QLatin1String("RGB");
    // The model lies beside its description, or where an absolute path says.
    d.modelPath = QFileInfo(QFileInfo(jsonPath).absoluteDir(), modelFile).absoluteFilePath();
    return d;
}
