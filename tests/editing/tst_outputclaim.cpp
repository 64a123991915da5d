#include "KSOutputClaim.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One save as the saver and the command line make it: claim, write the
// bytes beside the claim, commit.
QString save(const QString &folder, const QString &base, const QByteArray &bytes, QString *error)
{
    std::optional<KSOutputClaim> claim = KSOutputClaim::claimFreeName(folder, base, QStringLiteral("png"), error);
    if (!claim || !writeFile(claim->partialPath(), bytes) || !claim->commit(error))
        return {};
    return claim->path();
}

} // namespace

// Saves into one folder never share a name, whoever makes them and however
// long the name is; what a save leaves behind is its picture or nothing.
class TestOutputClaim : public QObject
{
    Q_OBJECT

private slots:
    void savesAtOnceTakeDistinctNames();
    void takenNamesAreSkippedAndNothingIsReplaced();
    void longNamesAreShortenedToFit_data();
    void longNamesAreShortenedToFit();
    void aDroppedClaimLeavesNothing();
    void aFolderThatTakesNoFileIsReported();
    void nameProblems_data();
    void nameProblems();
};

void TestOutputClaim::savesAtOnceTakeDistinctNames()
{
    // As two command lines writing into one folder: each save must end with
    // its own bytes under its own name.
    QTemporaryDir dir;
    constexpr int kSavers = 8;
    constexpr int kSavesEach = 6;
    std::atomic<bool> go = false;
    std::vector<std::thread> threads;
    std::vector<QStringList> paths(kSavers);
    std::vector<QStringList> errors(kSavers);
    for (int t = 0; t < kSavers; ++t) {
        threads.emplace_back([&, t] {
            while (!go)
                std::this_thread::yield();
            for (int i = 0; i < kSavesEach; ++i) {
                QString error;
                const QString path = save(dir.path(), QStringLiteral("photo"), QByteArray::number(t * 100 + i), &error);
                if (path.isEmpty())
                    errors[t] << error;
                paths[t] << path;
            }
        });
    }
    go = true;
    for (std::thread &thread : threads)
        thread.join();

    QSet<QString> seen;
    for (int t = 0; t < kSavers; ++t) {
        QVERIFY2(errors[t].isEmpty(), qPrintable(errors[t].join(u'\n')));
        for (int i = 0; i < kSavesEach; ++i) {
            QVERIFY2(!seen.contains(paths[t][i]), qPrintable(paths[t][i]));
            seen.insert(paths[t][i]);
            QCOMPARE(readAll(paths[t][i]), QByteArray::number(t * 100 + i));
        }
    }
    // Only the pictures, named photo.png, photo(1).png, ... without a gap.
    QStringList expected{QStringLiteral("photo.png")};
    for (int n = 1; n < kSavers * kSavesEach; ++n)
        expected << QStringLiteral("photo(%1).png").arg(n);
    expected.sort();
    QCOMPARE(folderEntries(dir.path()), expected);
}

void TestOutputClaim::takenNamesAreSkippedAndNothingIsReplaced()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("beach.png")), "the photo itself"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("beach(1).png")));
    // A dangling link is a taken name too: writing through it would put the
    // picture somewhere else.
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("beach(2).png"))));

    QString error;
    QCOMPARE(save(dir.path(), QStringLiteral("beach"), "new", &error), dir.filePath(QStringLiteral("beach(3).png")));
    QCOMPARE(readAll(dir.filePath(QStringLiteral("beach.png"))), QByteArray("the photo itself"));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("nowhere"))));

    // Replacing a named file happens only on commit.
    const QString named = dir.filePath(QStringLiteral("chosen.png"));
    QVERIFY(writeFile(named, "old"));
    {
        std::optional<KSOutputClaim> claim = KSOutputClaim::replacing(named, &error);
        QVERIFY2(claim, qPrintable(error));
        QVERIFY(writeFile(claim->partialPath(), "new"));
        QCOMPARE(readAll(named), QByteArray("old"));
        QVERIFY2(claim->commit(&error), qPrintable(error));
    }
    QCOMPARE(readAll(named), QByteArray("new"));
}

void TestOutputClaim::longNamesAreShortenedToFit_data()
{
    QTest::addColumn<QString>("base");
    // 251 bytes fit with ".png"; the second save's "(1)" does not.
    QTest::newRow("ASCII at the limit") << QString(251, u'a');
    QTest::newRow("far beyond the limit") << QString(400, u'b');
    // Three bytes a character in UTF-8: cut between characters, never inside one.
    QTest::newRow("Chinese") << QString(90, QChar(0x56fe));
    // Four bytes and two UTF-16 units a character.
    QTest::newRow("emoji") << QString::fromUcs4(std::u32string(70, U'\U0001F600').c_str());
}

void TestOutputClaim::longNamesAreShortenedToFit()
{
    QFETCH(QString, base);
    QTemporaryDir dir;
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        QString error;
        const QString path = save(dir.path(), base, QByteArray::number(i), &error);
        QVERIFY2(!path.isEmpty(), qPrintable(error));
        const QString name = QFileInfo(path).fileName();
        QVERIFY2(QFile::encodeName(name).size() <= KSOutputClaim::kMaxNameBytes, qPrintable(name));
        QVERIFY(!name.contains(QChar::ReplacementCharacter));
        QVERIFY(base.startsWith(name.left(std::min<qsizetype>(name.size(), 40))));
        names << name;
    }
    QVERIFY(names[1].endsWith(QStringLiteral("(1).png")));
    QVERIFY(names[2].endsWith(QStringLiteral("(2).png")));
    QCOMPARE(folderEntries(dir.path()).size(), 3);
}

void TestOutputClaim::aDroppedClaimLeavesNothing()
{
    QTemporaryDir dir;
    QString error;
    {
        std::optional<KSOutputClaim> claim = KSOutputClaim::claimFreeName(dir.path(), QStringLiteral("a"), QStringLiteral("jpg"), &error);
        QVERIFY2(claim, qPrintable(error));
        QVERIFY(QFile::exists(claim->path()));
        QVERIFY(writeFile(claim->partialPath(), "half a picture"));
        // Moved out of, the old one must not drop what the new one holds.
        KSOutputClaim moved = std::move(*claim);
        claim.reset();
        QVERIFY(QFile::exists(moved.path()));
    }
    QCOMPARE(folderEntries(dir.path()), QStringList());
}

void TestOutputClaim::aFolderThatTakesNoFileIsReported()
{
    QTemporaryDir dir;
    QString error;
    QVERIFY(!KSOutputClaim::claimFreeName(dir.filePath(QStringLiteral("missing")), QStringLiteral("a"),
                                          QStringLiteral("png"), &error));
    QVERIFY2(error.contains(QStringLiteral("missing")), qPrintable(error));
    error.clear();
    QVERIFY(!KSOutputClaim::replacing(dir.filePath(QStringLiteral("missing/a.png")), &error));
    QVERIFY(!error.isEmpty());
    error.clear();
    QVERIFY(!KSOutputClaim::replacing(dir.filePath(QString(256, u'x')), &error));
    QVERIFY2(error.contains(QStringLiteral("256 bytes")), qPrintable(error));
}

void TestOutputClaim::nameProblems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("problem"); // a word of the message; empty for a good name
    QTest::newRow("plain") << "cut.png" << "";
    QTest::newRow("255 bytes") << QString(251, u'a') + ".png" << "";
    QTest::newRow("256 bytes") << QString(252, u'a') + ".png" << "256 bytes";
    QTest::newRow("85 Chinese characters are 255 bytes") << QString(85, QChar(0x56fe)) << "";
    QTest::newRow("86 are too many") << QString(86, QChar(0x56fe)) << "258 bytes";
    QTest::newRow("bytes that are no UTF-8") << QStringLiteral("cut\ufffd.png") << "UTF-8";
    QTest::newRow("a newline is a valid name") << QStringLiteral("a\nb.png") << "";
    QTest::newRow("no name") << "" << "no file name";
}

void TestOutputClaim::nameProblems()
{
    QFETCH(QString, name);
    QFETCH(QString, problem);
    const QString why = KSOutputClaim::nameProblem(name);
    QCOMPARE(why.isEmpty(), problem.isEmpty());
    QVERIFY2(why.contains(problem), qPrintable(why));
}

QTEST_GUILESS_MAIN(TestOutputClaim)
#include "tst_outputclaim.moc"
