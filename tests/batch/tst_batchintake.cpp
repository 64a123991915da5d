#include "KSBatchIntake.h"

#include "CommLang.h"
#include "PhotoFixtures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using Reason = KSBatchIntake::Skipped::Reason;

// Which photos of a drop, a choice or a command line go into a batch, and
// why the others do not.
class TestBatchIntake : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_folder;

    QString path(const QString &name) const { return QDir(m_folder).filePath(name); }

    static QImage photo()
    {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(QColor(200, 120, 40));
        return image;
    }

    // Reason by name of every skipped entry.
    static QMap<QString, Reason> reasons(const KSBatchIntake::Result &result)
    {
        QMap<QString, Reason> map;
        for (const KSBatchIntake::Skipped &skipped : result.skipped)
            map.insert(QFileInfo(skipped.path).fileName(), skipped.reason);
        return map;
    }

    static QStringList names(const QStringList &paths)
    {
        QStringList list;
        for (const QString &p : paths)
            list.append(QFileInfo(p).fileName());
        return list;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_folder = m_dir.filePath(QStringLiteral("shop"));
        QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/more")));
        const QByteArray jpeg = PhotoFixtures::encoded(photo(), "jpeg");
        for (const char *name : {"shoe 10.jpg", "shoe 2.JPG", "shoe 1.png"}) {
            const QByteArray bytes = QByteArray(name).endsWith("png") ? PhotoFixtures::encoded(photo(), "png") : jpeg;
            QVERIFY(PhotoFixtures::writeFile(path(QString::fromUtf8(name)), bytes));
        }
        QVERIFY(PhotoFixtures::writeFile(path(QStringLiteral("notes.txt")), "price list"));
        // Cut off half way: the header is fine, the picture is not.
        QVERIFY(PhotoFixtures::writeFile(path(QStringLiteral("damaged.jpg")), jpeg.left(jpeg.size() / 2)));
        QVERIFY(PhotoFixtures::writeFile(path(QStringLiteral("more/bag.jpg")), jpeg));
    }

    void aFolderGivesItsPhotosAndSaysWhyNotTheRest()
    {
        const KSBatchIntake::Result result = KSBatchIntake::gather({m_folder}, false);
        // Natural order: 1, 2, 10, whatever the case of the extension.
        QCOMPARE(names(result.photos), (QStringList{"shoe 1.png", "shoe 2.JPG", "shoe 10.jpg"}));
        for (const QString &p : result.photos)
            QVERIFY(QFileInfo(p).isAbsolute());
        const QMap<QString, Reason> why = reasons(result);
        QCOMPARE(why.size(), 3);
        QCOMPARE(why.value(QStringLiteral("notes.txt")), Reason::notAPhotoType);
        QCOMPARE(why.value(QStringLiteral("damaged.jpg")), Reason::notAPhoto);
        QCOMPARE(why.value(QStringLiteral("more")), Reason::subFolder);
        const auto damaged = std::find_if(result.skipped.cbegin(), result.skipped.cend(),
                                          [](const auto &s) { return s.reason == Reason::notAPhoto; });
        QCOMPARE(damaged->failure.kind, KSEraserFailure::Kind::damagedPicture);
    }

    void subFoldersAreReadOnRequest()
    {
        const KSBatchIntake::Result result = KSBatchIntake::gather({m_folder}, true);
        QCOMPARE(names(result.photos), (QStringList{"bag.jpg", "shoe 1.png", "shoe 2.JPG", "shoe 10.jpg"}));
        QVERIFY(!reasons(result).contains(QStringLiteral("more")));
    }

    void aPhotoTwiceOrAlreadyInTheBatchComesOnce()
    {
        const QString one = path(QStringLiteral("shoe 1.png"));
        const QString two = path(QStringLiteral("shoe 2.JPG"));
        // The same file by another spelling of its path, and a link to it.
        QVERIFY(QFile::link(one, m_dir.filePath(QStringLiteral("link.png"))));
        const KSBatchIntake::Result result = KSBatchIntake::gather(
            {one, m_folder + QStringLiteral("/more/../shoe 1.png"), m_dir.filePath(QStringLiteral("link.png")), two},
            false, {two});
        QCOMPARE(result.photos, QStringList{one});
        QCOMPARE(result.skipped.size(), 3);
        for (const KSBatchIntake::Skipped &skipped : result.skipped)
            QCOMPARE(skipped.reason, Reason::duplicate);
    }

    void aFileNamedOnItsOwnIsJudgedByItsBytes()
    {
        // A photo under a name of no photo type is taken when named; a
        // missing one is said to be missing.
        const QString odd = m_dir.filePath(QStringLiteral("scan.dat"));
        QVERIFY(QFile::copy(path(QStringLiteral("shoe 10.jpg")), odd));
        const KSBatchIntake::Result result =
            KSBatchIntake::gather({odd, m_dir.filePath(QStringLiteral("gone.jpg"))}, false);
        QCOMPARE(result.photos, QStringList{odd});
        QCOMPARE(result.skipped.size(), 1);
        QCOMPARE(result.skipped[0].failure.kind, KSEraserFailure::Kind::noSuchFile);
    }

    void reasonsAreToldInBothLanguages()
    {
        const KSBatchIntake::Result result = KSBatchIntake::gather({m_folder}, false);
        const QString before = CommLang::currentLanguage();
        for (const KSBatchIntake::Skipped &skipped : result.skipped) {
            CommLang::setCurrentLanguage(QStringLiteral("English"));
            const QString english = skipped.text();
            QCOMPARE(english, skipped.englishText());
            CommLang::setCurrentLanguage(QStringLiteral("ChineseSimplified"));
            const QString chinese = skipped.text();
            QVERIFY2(!english.isEmpty() && !chinese.isEmpty() && english != chinese, qPrintable(skipped.textKey()));
            QVERIFY(chinese != skipped.textKey());
        }
        CommLang::setCurrentLanguage(before);
    }

    void moreThanOnePhotoOrAFolderOpensABatch()
    {
        QVERIFY(!KSBatchIntake::wantsBatch({path(QStringLiteral("shoe 1.png"))}));
        QVERIFY(KSBatchIntake::wantsBatch({m_folder}));
        QVERIFY(KSBatchIntake::wantsBatch({path(QStringLiteral("shoe 1.png")), path(QStringLiteral("shoe 2.JPG"))}));
    }
};

QTEST_GUILESS_MAIN(TestBatchIntake)
#include "tst_batchintake.moc"
