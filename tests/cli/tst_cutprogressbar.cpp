#include "KSCutProgressBar.h"

#include <QRegularExpression>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

Q_DECLARE_METATYPE(QList<double>)

namespace {

// A terminal of the test's own: the bar writes to its far end, the test
// reads what a user would see from the near one.
class Terminal
{
public:
    Terminal()
    {
        m_near = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_near < 0 || grantpt(m_near) != 0 || unlockpt(m_near) != 0)
            return;
        const int far = open(ptsname(m_near), O_RDWR | O_NOCTTY);
        if (far >= 0)
            m_far = fdopen(far, "w");
    }
    ~Terminal()
    {
        if (m_far)
            std::fclose(m_far);
        if (m_near >= 0)
            close(m_near);
    }
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;

    std::FILE *stream() const { return m_far; }

    QByteArray readAll() const
    {
        QByteArray text;
        pollfd watched{m_near, POLLIN, 0};
        while (poll(&watched, 1, 100) > 0) {
            char chunk[1024];
            const ssize_t n = read(m_near, chunk, sizeof(chunk));
            if (n <= 0)
                break;
            text.append(chunk, n);
        }
        return text;
    }

private:
    int m_near = -1;
    std::FILE *m_far = nullptr;
};

// The percentages the output showed, in order.
QList<int> percentsShown(const QByteArray &output)
{
    QList<int> shown;
    static const QRegularExpression percent(QStringLiteral("(\\d+)%"));
    for (auto match = percent.globalMatch(QString::fromLocal8Bit(output)); match.hasNext();)
        shown << match.next().captured(1).toInt();
    return shown;
}

} // namespace

// What the command line's progress shows of a job's reports, on a terminal
// and in a file.
class TestCutProgressBar : public QObject
{
    Q_OBJECT

private slots:
    void theBarNeverMovesBack_data()
    {
        QTest::addColumn<QList<double>>("reports");
        QTest::addColumn<QList<int>>("shown");

        QTest::newRow("forward only") << QList<double>{0.1, 0.5, 0.9} << QList<int>{10, 50, 90};
        // A second worker taught the service a longer engine time.
        QTest::newRow("a report below the last") << QList<double>{0.5, 0.857, 0.8, 0.9} << QList<int>{50, 85, 85, 90};
        QTest::newRow("an upload tried again from the start") << QList<double>{0.6, 0.05, 0.7} << QList<int>{60, 60, 70};
    }

    void theBarNeverMovesBack()
    {
        QFETCH(QList<double>, reports);
        QFETCH(QList<int>, shown);
        Terminal terminal;
        QVERIFY(terminal.stream());
        KSCutProgressBar bar(QStringLiteral("/photos/a.jpg"), terminal.stream());
        for (const double report : reports)
            bar.show(report);
        bar.finish();
        QCOMPARE(percentsShown(terminal.readAll()), shown);
    }

    void aFileGetsQuarterLinesOnlyForward()
    {
        char *text = nullptr;
        size_t length = 0;
        std::FILE *file = open_memstream(&text, &length);
        QVERIFY(file);
        {
            KSCutProgressBar bar(QStringLiteral("a.jpg"), file);
            for (const double report : {0.3, 0.8, 0.55, 1.0})
                bar.show(report);
            bar.finish();
        }
        std::fclose(file);
        const QByteArray output(text, qsizetype(length));
        free(text);
        QCOMPARE(output, QByteArray("a.jpg: 30%\na.jpg: 80%\na.jpg: 100%\n"));
    }
};

QTEST_GUILESS_MAIN(TestCutProgressBar)
#include "tst_cutprogressbar.moc"
