#include "KSModelDescription.h"

#include <QTest>

namespace {
// The description of the README, with one field replaced by a piece of JSON.
QByteArray describedWith(const char *field, const char *value)
{
    QByteArray json = R"({"name": "my-model", "file": "my-model.onnx",
        "input": {"name": "input", "width": 768, "height": 768, "channels": "RGB",
                  "scale": 1.0, "mean": [128, 128, 128], "std": [256, 256, 256]},
        "output": {"name": "output", "min": 0.0, "max": 1.0}})";
    if (field) {
        const QByteArray key = '"' + QByteArray(field) + "\": ";
        const qsizetype at = json.indexOf(key) + key.size();
        qsizetype end = at;
        int depth = 0;
        while (end < json.size() && (depth > 0 || (json[end] != ',' && json[end] != '}'))) {
            depth += json[end] == '[' ? 1 : json[end] == ']' ? -1 : 0;
            ++end;
        }
        json.replace(at, end - at, value);
    }
    return json;
}
} // namespace

// The description of a learned model: what it accepts, and which field a
// refusal names.
class TestModelDescription : public QObject
{
    Q_OBJECT

private slots:
    void readsOrNamesTheFieldAtFault_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("fault"); // empty: accepted

        QTest::newRow("the README's example") << describedWith(nullptr, nullptr) << QString();
        QTest::newRow("channels in BGR order") << describedWith("channels", "\"BGR\"") << QString();
        QTest::newRow("a width no int can hold") << describedWith("width", "7e128") << "\"input.width\"";
        QTest::newRow("a width with a fraction") << describedWith("width", "767.5") << "\"input.width\"";
        QTest::newRow("a height below 16") << describedWith("height", "8") << "\"input.width\"";
        QTest::newRow("a width as text") << describedWith("width", "\"768\"") << "\"input.width\" is not a number";
        QTest::newRow("other channels") << describedWith("channels", "\"RGBA\"") << "\"input.channels\"";
        QTest::newRow("a deviation of zero") << describedWith("std", "[256, 0, 256]") << "\"input.std\"";
        QTest::newRow("two means") << describedWith("mean", "[1, 2]") << "\"input.mean\" is not a list of three numbers";
        QTest::newRow("output ends that meet") << describedWith("max", "0.0") << "\"output.max\"";
        QTest::newRow("no JSON object") << QByteArray("[1, 2, 3]") << "no JSON object";
    }

    void readsOrNamesTheFieldAtFault()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, fault);
        QString error;
        const auto description = KSModelDescription::fromJson(json, QStringLiteral("/models/m.json"), &error);
        QCOMPARE(description.has_value(), fault.isEmpty());
        QVERIFY2(error.contains(fault), qPrintable(error));
        if (description) {
            QCOMPARE(description->width, 768);
            QCOMPARE(description->modelPath, QStringLiteral("/models/my-model.onnx"));
        }
    }
};

QTEST_GUILESS_MAIN(TestModelDescription)
#include "tst_modeldescription.moc"
