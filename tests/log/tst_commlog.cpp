#include "CommLog.h"
#include "KSLogCategories.h"
#include "StreamCapture.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>

class TestCommLog : public QObject
{
    Q_OBJECT

private slots:
    void linesAreTimeStamped();
    void rotationBoundsTheLog();
    void theLogIsTheUsersAlone();
    void theTerminalHearsNothingUnlessAsked();
};

namespace {
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void removeLogs()
{
    const QString path = CommLog::logFilePath();
    QFile::remove(path);
    for (int n = 1; n <= 5; ++n)
        QFile::remove(path + QLatin1Char('.') + QString::number(n));
}
} // namespace

void TestCommLog::linesAreTimeStamped()
{
    removeLogs();
    CommLog::I(QStringLiteral("cut-out done"));
    CommLog::E(QStringLiteral("failed"));
    const QStringList lines = QString::fromUtf8(readAll(CommLog::logFilePath()))
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QRegularExpression stamp(
        QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[(I|E)\] )"));
    QVERIFY(stamp.match(lines.at(0)).hasMatch());
    QVERIFY(lines.at(0).endsWith(QStringLiteral("[I] cut-out done")));
    QVERIFY(lines.at(1).endsWith(QStringLiteral("[E] failed")));
}

void TestCommLog::rotationBoundsTheLog()
{
    removeLogs();
    const qint64 limit = 300;
    CommLog::setRotation(limit, 2);
    for (int i = 0; i < 100; ++i)
        CommLog::I(QStringLiteral("line %1 of the rotation test").arg(i, 3, 10, QLatin1Char('0')));

    const QString path = CommLog::logFilePath();
    for (const QString &file : {path, path + QStringLiteral(".1"), path + QStringLiteral(".2")}) {
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));
        QVERIFY(QFileInfo(file).size() <= limit);
    }
    QVERIFY(!QFileInfo::exists(path + QStringLiteral(".3")));
    // Newest in the current file, the copies in order, nothing lost between them.
    QVERIFY(readAll(path).contains("line 099"));
    const QByteArray older = readAll(path + QStringLiteral(".1"));
    const QByteArray oldest = readAll(path + QStringLiteral(".2"));
    QVERIFY(!older.isEmpty() && !oldest.isEmpty());
    const int firstKept = oldest.mid(oldest.indexOf("line ") + 5, 3).toInt();
    for (int i = firstKept; i < 100; ++i) {
        const QByteArray line = "line " + QByteArray::number(i).rightJustified(3, '0');
        QVERIFY2(readAll(path).contains(line) || older.contains(line) || oldest.contains(line),
                 line.constData());
    }

    // A line longer than the limit still reaches the log.
    const QString huge(int(limit) * 2, QLatin1Char('x'));
    CommLog::E(huge);
    QVERIFY(readAll(path).contains(huge.toUtf8()));
}


// The log names photos and the service's addresses: a log an older version
// left readable by others becomes private with its next line.
void TestCommLog::theLogIsTheUsersAlone()
{
    removeLogs();
    CommLog::setRotation(2 * 1024 * 1024, 3);
    QFile older(CommLog::logFilePath());
    QVERIFY(older.open(QIODevice::WriteOnly));
    older.write("an older line\n");
    older.close();
    QVERIFY(chmod(QFile::encodeName(older.fileName()).constData(), 0644) == 0);

    CommLog::I(QStringLiteral("a line"));
    struct stat info{};
    QVERIFY(lstat(QFile::encodeName(older.fileName()).constData(), &info) == 0);
    QCOMPARE(int(info.st_mode & 0777), 0600);

    removeLogs();
    CommLog::I(QStringLiteral("a fresh log"));
    QVERIFY(lstat(QFile::encodeName(older.fileName()).constData(), &info) == 0);
    QCOMPARE(int(info.st_mode & 0777), 0600);
}

void TestCommLog::theTerminalHearsNothingUnlessAsked()
{
    // The window and a plain `cutora --cut` keep the log in its file and the
    // developer's traces off; --verbose turns both on.
    {
        StreamCapture err(STDERR_FILENO, stderr);
        CommLog::E(QStringLiteral("an error for support"));
        QCOMPARE(err.text(), QByteArray());
    }
    QVERIFY(!lcProtocol().isDebugEnabled());
    QVERIFY(QString::fromUtf8(readAll(CommLog::logFilePath())).trimmed().endsWith(QStringLiteral("[E] an error for support")));

    CommLog::setEchoToStandardError(true);
    QLoggingCategory::setFilterRules(QStringLiteral("cutora.*.debug=true"));
    {
        StreamCapture err(STDERR_FILENO, stderr);
        CommLog::I(QStringLiteral("asked for"));
        QVERIFY(err.text().endsWith("[I] asked for\n"));
    }
    QVERIFY(lcProtocol().isDebugEnabled());
    CommLog::setEchoToStandardError(false);
    QLoggingCategory::setFilterRules(QString());
}

QTEST_GUILESS_MAIN(TestCommLog)
#include "tst_commlog.moc"
