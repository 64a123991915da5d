#include "KSBookmark.h"
#include "KSUserDefaultKit.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

class tst_KSBookmark : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void startAndStopPair();
    void itemThatIsGoneNoLongerResolves_data();
    void itemThatIsGoneNoLongerResolves();
    void removingAFolderKeepsItsFiles();
    void onlyTheLatestFileBookmarksAreKept();

private:
    QString makeFile(const QString &name);
    static void dropSaveStamp(const QString &path);
    bool start(const QString &path)
    {
        return m_bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(path);
    }
    bool stop(const QString &path)
    {
        return m_bookmarks->BookmarkStopAccessingSecurityScopedResourceWithFilePath(path);
    }
    bool save(const QString &path) { return m_bookmarks->saveOpenFileToBookmarkWithFilePath(path); }

    std::unique_ptr<QTemporaryDir> m_dir;
    KSBookmark *m_bookmarks = KSBookmark::defaultShareBookmark();
};

QString tst_KSBookmark::makeFile(const QString &name)
{
    QFile file(m_dir->filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

// Makes the path's bookmark look like one stored before saves were stamped.
void tst_KSBookmark::dropSaveStamp(const QString &path)
{
    QJsonObject data = QJsonDocument::fromJson(KSUserDefaultKit::getFromUserDefaults_Data(path)).object();
    if (data.take(QStringLiteral("saved")).isUndefined())
        qFatal("the bookmark of %s has no save stamp", qPrintable(path));
    KSUserDefaultKit::saveToUserDefaultsForKey(path, QVariant(QJsonDocument(data).toJson(QJsonDocument::Compact)));
}

void tst_KSBookmark::init()
{
    KSUserDefaultKit::openStore()->clear();
    m_dir = std::make_unique<QTemporaryDir>();
}

void tst_KSBookmark::startAndStopPair()
{
    const QString path = makeFile(QStringLiteral("photo.png"));
    // Never bookmarked: nothing starts, nothing is stored.
    QVERIFY(!start(path));
    QVERIFY(!stop(path));
    QVERIFY(!KSUserDefaultKit::hasObjectForKey(path));

    QVERIFY(save(path));
    QVERIFY(start(path));
    QVERIFY(start(path));
    QCOMPARE(m_bookmarks->openAccessCount(path), 2);
    QVERIFY(stop(path));
    QVERIFY(stop(path));
    QVERIFY(!stop(path)); // no start left to pair with
    QCOMPARE(m_bookmarks->openAccessCount(path), 0);

    // The output folder is bookmarked the same way.
    QVERIFY(save(m_dir->path()));
    QVERIFY(start(m_dir->path()));
    QVERIFY(stop(m_dir->path()));
}

void tst_KSBookmark::itemThatIsGoneNoLongerResolves_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("deleted") << "delete";
    QTest::newRow("moved away") << "move";
    QTest::newRow("saved over by another program") << "replace";
}

void tst_KSBookmark::itemThatIsGoneNoLongerResolves()
{
    QFETCH(QString, change);
    const QString path = makeFile(QStringLiteral("photo.png"));
    QVERIFY(save(path));
    QVERIFY(start(path)); // an access open while the item goes
    if (change == u"delete") {
        QVERIFY(QFile::remove(path));
    } else if (change == u"move") {
        QVERIFY(QFile::rename(path, m_dir->filePath(QStringLiteral("moved.png"))));
    } else {
        const QString other = makeFile(QStringLiteral("other.png"));
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(other, path));
    }
    QVERIFY(!start(path));
    // The open access is closed all the same.
    QVERIFY(!stop(path));
    QCOMPARE(m_bookmarks->openAccessCount(path), 0);

    if (change == u"replace") {
        // Bookmarking again follows the new file.
        QVERIFY(save(path));
        QVERIFY(start(path));
        QVERIFY(stop(path));
    } else {
        // Nothing to bookmark: the earlier entry stays until removed.
        QVERIFY(!save(path));
        QVERIFY(m_bookmarks->removeFileBookmarkInfoWithFilePath(path));
        QVERIFY(!m_bookmarks->removeFileBookmarkInfoWithFilePath(path));
    }
}

void tst_KSBookmark::removingAFolderKeepsItsFiles()
{
    const QString path = makeFile(QStringLiteral("photo.png"));
    QVERIFY(save(m_dir->path()));
    QVERIFY(save(path));
    QVERIFY(m_bookmarks->removeFileBookmarkInfoWithFilePath(m_dir->path()));
    QVERIFY(start(path));
    QVERIFY(stop(path));
}

void tst_KSBookmark::onlyTheLatestFileBookmarksAreKept()
{
    const QString unstamped = makeFile(QStringLiteral("unstamped.png"));
    QVERIFY(save(unstamped));
    dropSaveStamp(unstamped);
    QVERIFY(save(m_dir->path())); // the output folder, saved before every photo
    QStringList photos;
    for (int i = 0; i < KSBookmark::kMaxFileBookmarks; ++i) {
        photos.append(makeFile(QStringLiteral("photo %1.png").arg(i)));
        QVERIFY(save(photos.last()));
    }
    // A bookmark from before saves were stamped is the oldest of all.
    QVERIFY(!KSUserDefaultKit::hasObjectForKey(unstamped));
    QVERIFY(KSUserDefaultKit::hasObjectForKey(photos.first()));

    // Picked again, the first photo is among the latest: the second goes next.
    QVERIFY(save(photos.first()));
    QVERIFY(save(makeFile(QStringLiteral("newest.png"))));
    QVERIFY(!KSUserDefaultKit::hasObjectForKey(photos.at(1)));
    QVERIFY(start(photos.first()));
    QVERIFY(stop(photos.first()));

    // The folder stays whatever the number of photos.
    QVERIFY(start(m_dir->path()));
    QVERIFY(stop(m_dir->path()));
    QCOMPARE(KSUserDefaultKit::openStore()->allKeys().size(), KSBookmark::kMaxFileBookmarks + 1);
}

QTEST_GUILESS_MAIN(tst_KSBookmark)
#include "tst_KSBookmark.moc"
