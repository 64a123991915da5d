#include "KSInstalledModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

    void descriptionInUseFollowsTheEnvironment_data();
    void descriptionInUseFollowsTheEnvironment();

    // Where the install script puts it, after XDG_DATA_HOME.
    void descriptionFollowsTheDataFolder()
    {
        QCOMPARE(KSInstalledModel::descriptionPath(),
                 qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Cutora/models/isnet.json"));
    }
};

// The model the About window names is the one the service loads: the
// environment's when it names one.
void TestInstalledModel::descriptionInUseFollowsTheEnvironment_data()
{
    QTest::addColumn<QString>("told");      // CUTORA_MODEL; "-" for unset, "FILE" for the given file
    QTest::addColumn<bool>("installed");    // a model in the data folder
    QTest::addColumn<QString>("inUse");     // "FILE", "INSTALLED" or empty

    QTest::newRow("unset, none installed") << "-" << false << "";
    QTest::newRow("unset, installed") << "-" << true << "INSTALLED";
    QTest::newRow("a description given") << "FILE" << false << "FILE";
    QTest::newRow("given over the installed one") << "FILE" << true << "FILE";
    QTest::newRow("none") << "none" << true << "";
    QTest::newRow("classic") << "classic" << true << "";
    QTest::newRow("installed") << "installed" << true << "INSTALLED";
}

void TestInstalledModel::descriptionInUseFollowsTheEnvironment()
{
    QFETCH(QString, told);
    QFETCH(bool, installed);
    QFETCH(QString, inUse);
    QTemporaryDir folder;
    const QString given = folder.filePath(QStringLiteral("given.json"));
    const QString installedPath = KSInstalledModel::descriptionPath();
    QFile::remove(installedPath);
    if (installed) {
        QVERIFY(QDir().mkpath(QFileInfo(installedPath).absolutePath()));
        QFile file(installedPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    if (told == QLatin1String("-"))
        qunsetenv("CUTORA_MODEL");
    else
        qputenv("CUTORA_MODEL", (told == QLatin1String("FILE") ? given : told).toUtf8());
    const QString expected = inUse == QLatin1String("FILE")        ? given
                             : inUse == QLatin1String("INSTALLED") ? installedPath
                                                                   : QString();
    QCOMPARE(KSInstalledModel::descriptionInUse(), expected);
    qunsetenv("CUTORA_MODEL");
    QFile::remove(installedPath);
}

QTEST_GUILESS_MAIN(TestInstalledModel)
#include "tst_installedmodel.moc"
