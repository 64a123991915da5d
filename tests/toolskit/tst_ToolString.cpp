#include "ToolString.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_ToolString : public QObject
{
    Q_OBJECT

private slots:
    void freeNameSequence_data();
    void freeNameSequence();
    void freeFolderName();
    void durations_data();
    void durations();
    void sizes_data();
    void sizes();
    void smartURL_data();
    void smartURL();
    void encodings();
};

void tst_ToolString::freeNameSequence_data()
{
    QTest::addColumn<QStringList>("existing"); // a trailing "/" makes a folder
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free name kept") << QStringList{} << "photo.png" << "photo.png";
    QTest::newRow("first copy") << QStringList{"photo.png"} << "photo.png" << "photo(1).png";
    QTest::newRow("second copy") << QStringList{"photo.png", "photo(1).png"} << "photo.png" << "photo(2).png";
    QTest::newRow("gap is not filled")
        << QStringList{"photo.png", "photo(1).png", "photo(2).png", "photo(4).png"} << "photo.png" << "photo(3).png";
    // Every "(n-1)" is replaced, including one the name already had.
    QTest::newRow("name with (1)") << QStringList{"a(1).png"} << "a(1).png" << "a(1)(1).png";
    QTest::newRow("name with (1), next") << QStringList{"a(1).png", "a(1)(1).png"} << "a(1).png" << "a(2)(2).png";
    QTest::newRow("only last dot splits") << QStringList{"my.photo.jpg"} << "my.photo.jpg" << "my.photo(1).jpg";
    QTest::newRow("no extension") << QStringList{"README"} << "README" << "README(1)";
    QTest::newRow("hidden file") << QStringList{".cutout"} << ".cutout" << ".cutout(1)";
    QTest::newRow("folder in the way") << QStringList{"photo.png/"} << "photo.png" << "photo(1).png";
}

void tst_ToolString::freeNameSequence()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    for (const QString &entry : existing) {
        if (entry.endsWith(u'/')) {
            QVERIFY(QDir(dir.path()).mkdir(entry.chopped(1)));
        } else {
            QFile file(dir.filePath(entry));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }
    QCOMPARE(ToolString::renameFromFilePath(dir.filePath(name), 0), dir.filePath(expected));
}

void tst_ToolString::freeFolderName()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out.v2")));
    QCOMPARE(ToolString::renameFromDirectory(dir.filePath(QStringLiteral("out.v2")), 0),
             dir.filePath(QStringLiteral("out.v2(1)")));
}

void tst_ToolString::durations_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("withMS");
    QTest::newRow("zero") << 0.0 << "00:00:00" << "00:00:00.000";
    QTest::newRow("negative") << -3.0 << "00:00:00" << "00:00:00.000";
    QTest::newRow("hour, minute, second") << 3723.5 << "01:02:03" << "01:02:03.500";
    QTest::newRow("milliseconds not lost") << 1.001 << "00:00:01" << "00:00:01.001";
}

void tst_ToolString::durations()
{
    QFETCH(double, seconds);
    QFETCH(QString, plain);
    QFETCH(QString, withMS);
    QCOMPARE(ToolString::stringFromDuration(seconds), plain);
    QCOMPARE(ToolString::stringFromDurationWithMS(seconds), withMS);
    if (seconds > 0)
        QCOMPARE(ToolString::secondFromString(withMS), seconds);
}

void tst_ToolString::sizes_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("bytes shown in KB") << qint64(500) << " 0.5 KB";
    QTest::newRow("base 1000") << qint64(1500000) << " 1.5 MB";
    QTest::newRow("gigabytes") << qint64(2000000000) << " 2.0 GB";
    QTest::newRow("beyond TB stays TB") << qint64(5000000000000000) << "5000.0 TB";
}

void tst_ToolString::sizes()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, expected);
    QCOMPARE(ToolString::formatSizeFromByte(bytes), expected);
}

void tst_ToolString::smartURL_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // empty: none
    QTest::newRow("bare host gets http") << "  example.com/faq \n" << "http://example.com/faq";
    QTest::newRow("https kept") << "HTTPS://example.com" << "https://example.com";
    QTest::newRow("other scheme refused") << "ftp://example.com" << "";
    QTest::newRow("empty") << "   " << "";
}

void tst_ToolString::smartURL()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const std::optional<QUrl> url = ToolString::smartURLForString(text);
    QCOMPARE(url.has_value(), !expected.isEmpty());
    if (url)
        QCOMPARE(url->toString(), expected);
}

void tst_ToolString::encodings()
{
    QCOMPARE(ToolString::md5(QStringLiteral("abc")), QStringLiteral("900150983CD24FB0D6963F7D28E17F72"));
    QCOMPARE(ToolString::base64String(QStringLiteral("中a")), QStringLiteral("5LitYQ=="));
    QCOMPARE(ToolString::base64Decode(QStringLiteral("5LitYQ==")), QStringLiteral("中a").toUtf8());
    QVERIFY(ToolString::base64Decode(QStringLiteral("not base64!")).isEmpty());
    QCOMPARE(ToolString::trim(QStringLiteral("--a-b--"), QStringLiteral("-")), QStringLiteral("a-b"));
    QVERIFY(ToolString::getUniqeNameInTempDirWithExtenionName(QStringLiteral("png")).endsWith(u".png"));
    QVERIFY(ToolString::getGUID() != ToolString::getGUID());
}

QTEST_GUILESS_MAIN(tst_ToolString)
#include "tst_ToolString.moc"
