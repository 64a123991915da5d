#include "KSBookmark.h"
#include "KSUserDefaultKit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_KSBookmark : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void neverBookmarkedStartsNothing();
    void startAndStopPair();
    void itemThatIsGoneNoLongerResolves_data();
    void itemThatIsGoneNoLongerResolves();
    void stopClosesAccessOfAVanishedItem();
    void newerBookmarkReplacesOlder();
    void removingAFolderKeepsItsFiles();
    void missingItemCannotBeBookmarked();

private:
    QString makeFile(const QString &name, const QByteArray &content = "x");
    std::unique_ptr<QTemporaryDir> m_dir;
    KSBookmark *m_bookmarks = KSBookmark::defaultShareBookmark();
};

QString tst_KSBookmark::makeFile(const QString &name, const QByteArray &content)
{
    QFile file(m_dir->filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

void tst_KSBookmark::init()
{
    KSUserDefaultKit::openStore()->clear();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_KSBookmark::neverBookmarkedStartsNothing()
{
    const QString path = makeFile(QStringLiteral("photo.png"));
    QVERIFY(!m_bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(path));
    QVERIFY(!m_bookmarks->BookmarkStopAccessingSecurityScopedResourceWithFilePath(path));
    QCOMPARE(m_bookmarks->openAccessCount(path), 0);
    QVERIFY(!KSUserDefaultKit::hasObjectForKey(path));
}

void tst_KSBookmark::startAndStopPair()
{
    const QString path = makeFile(QStringLiteral("photo.png"));
    QVERIFY(m_bookmarks->saveOpenFileToBookmarkWithFilePath(path));
    QVERIFY(KSUserDefaultKit::hasObjectForKey(path));

    QVERIFY(m_bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(path));
    QVERIFY(m_bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(path));
    QCOMPARE(m_bookmarks->openAccessCount(path), 2);
    QVERIFY(m_bookmarks->BookmarkStopAccessingSecurityScopedResourceWithFilePath(path));
    QVERIFY(m_bookmarks->BookmarkStopAccessingSecurityScopedResourceWithFilePath(path));
    // A third stop has no start to pair with.
    QVERIFY(!m_bookmarks->BookmarkStopAccessingSecurityScopedResourceWithFilePath(path));
    QCOMPARE(m_bookmarks->openAccessCount(path), 0);

    // The output folder is bookmarked the same way.
    QVERIFY(m_bookmarks->saveOpenFileToBookmarkWithFilePath(m_dir->path()));
    QVERIFY(m_bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(m_dir->path()));
    QVERIFY(m_bookmarks->BookmarkStopAccessingSecurityScopedResourceWithFilePath(m_dir->path()));
}

void tst_KSBookmark::itemThatIsGoneNoLongerResolves_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("deleted") << "delete";
    QTest::newRow("moved away") << "move";
    QTest::newRow("replaced by another file") << "replace";
}

void tst_KSBookmark::itemThatIsGoneNoLongerResolves()
{
    QFETCH(QString, change);
    const QString path = makeFile(QStringLiteral("photo.png"));
    QVERIFY(m_bookmarks->saveOpenFileToBookmarkWithFilePath(path));
    if (change == u"delete") {
        QVERIFY(QFile::remove(path));
    } else if (change == u"move") {
        QVERIFY(QFile::rename(path, m_dir->filePath(QStringLiteral("moved.png"))));
    } else {
        // Saved over by another program: same path, another file.
        const QString other = makeFile(QStringLiteral("other.png"), "y");
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(other, path));
    }
    QVERIFY(!m_bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(path));
    QCOMPARE(m_bookmarks->openAccessCount(path), 0);
    // The entry stays until it is removed.
    QVERIFY(m_bookmarks->removeFileBookmarkInfoWithFilePath(path));
    QVERIFY(!m_bookmarks->removeFileBookmarkInfoWithFilePath(path));
}

void tst_KSBookmark::stopClosesAccessOfAVanishedItem()
{
    const QString path = makeFile(QStringLiteral("photo.png"));
    QVERIFY(m_bookmarks->saveOpenFileToBookmarkWithFilePath(path));
    QVERIFY(m_bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(path));
    QVERIFY(QFile::remove(path));
    QVERIFY(!m_bookmarks->BookmarkStopAccessingSecurityScopedResourceWithFilePath(path));
    QCOMPARE(m_bookmarks->openAccessCount(path), 0);
}

void tst_KSBookmark::newerBookmarkReplacesOlder()
{
    const QString path = makeFile(QStringLiteral("photo.png"));
    QVERIFY(m_bookmarks->saveOpenFileToBookmarkWithFilePath(path));
    const QString newer = makeFile(QStringLiteral("newer.png"), "new");
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::rename(newer, path));
    QVERIFY(!m_bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(path));
    QVERIFY(m_bookmarks->saveOpenFileToBookmarkWithFilePath(path));
    QVERIFY(m_bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(path));
    QVERIFY(m_bookmarks->BookmarkStopAccessingSecurityScopedResourceWithFilePath(path));
}

void tst_KSBookmark::removingAFolderKeepsItsFiles()
{
    const QString path = makeFile(QStringLiteral("photo.png"));
    QVERIFY(m_bookmarks->saveOpenFileToBookmarkWithFilePath(m_dir->path()));
    QVERIFY(m_bookmarks->saveOpenFileToBookmarkWithFilePath(path));
    QVERIFY(m_bookmarks->removeFileBookmarkInfoWithFilePath(m_dir->path()));
    QVERIFY(m_bookmarks->BookmarkStartAccessingSecurityScopedResourceWithFilePath(path));
    QVERIFY(m_bookmarks->BookmarkStopAccessingSecurityScopedResourceWithFilePath(path));
}

void tst_KSBookmark::missingItemCannotBeBookmarked()
{
    const QString path = makeFile(QStringLiteral("photo.png"));
    QVERIFY(m_bookmarks->saveOpenFileToBookmarkWithFilePath(path));
    const QString missing = m_dir->filePath(QStringLiteral("missing.png"));
    QVERIFY(!m_bookmarks->saveOpenFileToBookmarkWithFilePath(missing));
    QVERIFY(!KSUserDefaultKit::hasObjectForKey(missing));
    // A failed bookmark of a vanished item leaves the earlier entry in place.
    QVERIFY(QFile::remove(path));
    QVERIFY(!m_bookmarks->saveOpenFileToBookmarkWithFilePath(path));
    QVERIFY(KSUserDefaultKit::hasObjectForKey(path));
}

QTEST_GUILESS_MAIN(tst_KSBookmark)
#include "tst_KSBookmark.moc"
