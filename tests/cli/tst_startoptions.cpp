#include "KSPictureLimits.h"
#include "KSStartOptions.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

Q_DECLARE_METATYPE(KSStartOptions::Mode)

// What the program does with its arguments, decided before any display is
// needed.
class TestStartOptions : public QObject
{
    Q_OBJECT

private slots:
    void argumentsChooseTheMode_data();
    void argumentsChooseTheMode();
    void photosAreTheArgumentsQtLeaves_data();
    void photosAreTheArgumentsQtLeaves();
    void helpAndVersionNeedNoDisplay_data();
    void helpAndVersionNeedNoDisplay();
    void helpAndManPageNameEveryPhotoFormat();
};

void TestStartOptions::argumentsChooseTheMode_data()
{
    using Mode = KSStartOptions::Mode;
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<KSStartOptions::Mode>("mode");

    QTest::newRow("nothing: the window") << QStringList{"cutora"} << Mode::window;
    QTest::newRow("a photo: the window") << QStringList{"cutora", "/p/a.jpg"} << Mode::window;
    QTest::newRow("--help") << QStringList{"cutora", "--help"} << Mode::help;
    QTest::newRow("-h after a photo") << QStringList{"cutora", "a.jpg", "-h"} << Mode::help;
    QTest::newRow("--version") << QStringList{"cutora", "--version"} << Mode::version;
    QTest::newRow("--cut wins over --help") << QStringList{"cutora", "--cut", "a.jpg", "--help"} << Mode::commandLine;
    QTest::newRow("Qt's own options pass") << QStringList{"cutora", "-platform", "offscreen"} << Mode::window;
    QTest::newRow("an unknown long option") << QStringList{"cutora", "--frobnicate"} << Mode::usageError;
    QTest::newRow("after --, a photo named like an option")
        << QStringList{"cutora", "--", "--help"} << Mode::window;
}

void TestStartOptions::argumentsChooseTheMode()
{
    QFETCH(QStringList, arguments);
    QFETCH(KSStartOptions::Mode, mode);
    const KSStartOptions options = KSStartOptions::parse(arguments);
    QCOMPARE(options.mode, mode);
    QCOMPARE(options.error.isEmpty(), mode != KSStartOptions::Mode::usageError);
}

void TestStartOptions::photosAreTheArgumentsQtLeaves_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("photos");

    QTest::newRow("none") << QStringList{"cutora"} << QStringList{};
    QTest::newRow("two from a file manager") << QStringList{"cutora", "/p/a.jpg", "/p/b b.png"}
                                             << QStringList{"/p/a.jpg", "/p/b b.png"};
    QTest::newRow("a name beginning with a dash, after --") << QStringList{"cutora", "--", "-odd.jpg"}
                                                            << QStringList{"-odd.jpg"};
}

void TestStartOptions::photosAreTheArgumentsQtLeaves()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, photos);
    QCOMPARE(KSStartOptions::photoArguments(arguments), photos);
}

void TestStartOptions::helpAndVersionNeedNoDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");

    QTest::newRow("--help") << QStringList{"--help"} << 0 << "usage: cutora [PHOTO|FOLDER]...";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "cutora " CUTORA_VERSION_STRING;
    QTest::newRow("an unknown option") << QStringList{"--frobnicate"} << 2 << "unknown option --frobnicate";
}

void TestStartOptions::helpAndVersionNeedNoDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);

    // Qt is told to use X11 and there is none: an application object would
    // abort the program.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CUTORA_BINARY), arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QString printed = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    QVERIFY2(printed.contains(output), qPrintable(printed));
}

void TestStartOptions::helpAndManPageNameEveryPhotoFormat()
{
    // The window's file dialog offers KSPictureLimits::photoExtensions();
    // the command line must not promise fewer or more.
    QFile manPage(qEnvironmentVariable("CUTORA_SOURCE_DIR") + QStringLiteral("/resources/man/cutora.1"));
    QVERIFY(manPage.open(QIODevice::ReadOnly));
    const QString man = QString::fromUtf8(manPage.readAll());
    const QString help = KSStartOptions::usage();
    const QStringList names = KSPictureLimits::photoFormatNames().split(QStringLiteral(", "));
    QVERIFY(names.contains(QLatin1String("WebP")));
    for (const QString &name : names) {
        QVERIFY2(help.contains(name), qPrintable(name));
        QVERIFY2(man.contains(name), qPrintable(name));
    }
}

QTEST_GUILESS_MAIN(TestStartOptions)
#include "tst_startoptions.moc"
