#include "KSInstalledModel.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// What the About window learns of the installed model from its description.
class TestInstalledModel : public QObject
{
    Q_OBJECT

private slots:
    void readsNameAndLicence_data()
    {
        QTest::addColumn<QByteArray>("description"); // empty: no file at all
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("licence");

        QTest::newRow("installed") << QByteArray(R"({"name":"isnet","license":"Apache-2.0","file":"m.onnx"})")
                                   << "isnet" << "Apache-2.0";
        QTest::newRow("no licence given") << QByteArray(R"({"name":"isnet"})") << "isnet" << "";
        QTest::newRow("none installed") << QByteArray() << "" << "";
        QTest::newRow("not JSON") << QByteArray("isnet") << "" << "";
    }

    void readsNameAndLicence()
    {
        QFETCH(QByteArray, description);
        QFETCH(QString, name);
        QFETCH(QString, licence);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("model.json"));
        if (!description.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(description);
        }
        const KSInstalledModel model = KSInstalledModel::read(path);
        QCOMPARE(model.name, name);
        QCOMPARE(model.licence, licence);
    }

    // Where the install script puts it, after XDG_DATA_HOME.
    void descriptionFollowsTheDataFolder()
    {
        QCOMPARE(KSInstalledModel::descriptionPath(),
                 qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Cutora/models/isnet.json"));
    }
};

QTEST_GUILESS_MAIN(TestInstalledModel)
#include "tst_installedmodel.moc"
