#pragma once

// The built-in service started in the test on 127.0.0.1 with the classical
// engine, as the application starts it, and photos it can cut out.

#include "CommPassport.h"
#include "KSBatch.h"
#include "KSFileConst.h"
#include "KSLocalService.h"
#include "KSServiceAddress.h"
#include "KSTaskFlow.h"
#include "PhotoFixtures.h"

#include <QDir>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace BatchFixture {

inline bool startService(KSLocalService &service, const QString &dataDir)
{
    KSLocalService::Options options;
    options.dataDir = dataDir;
    options.modelDescription = QStringLiteral("none");
    if (!service.start(options)) {
        qWarning("the service did not start: %s", qPrintable(service.errorString()));
        return false;
    }
    KSServiceAddress::setDefaultServiceURL(service.baseUrl());
    // Nothing here times the polls.
    KSTaskFlow::setPollInterval(std::chrono::milliseconds(100));
    return CommPassport::signIn(service.localToken(), QStringLiteral("local"), QString());
}

inline void stopService(KSLocalService &service)
{
    CommPassport::signOut();
    KSServiceAddress::setDefaultServiceURL(QString());
    service.stop();
}

// A light backdrop and a subject standing on the bottom edge; `plain`
// leaves the subject out, which the engine finds nothing in.
inline QString writePhoto(const QString &path, QSize size = QSize(480, 360), bool plain = false)
{
    QImage image = PhotoFixtures::standingSubject(size);
    if (plain)
        image.fill(QColor(232, 234, 238));
    return image.save(path, "JPEG", 92) ? path : QString();
}

inline QSet<QString> tempFiles()
{
    const QStringList names =
        QDir(KSTempAppPathDirector()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    return {names.cbegin(), names.cend()};
}

inline bool allFinished(const KSBatch &batch, int msecs = 60000)
{
    return QTest::qWaitFor([&] { return !batch.hasUnfinishedWork(); }, msecs);
}

// Every done photo's thumbnail has come.
inline bool thumbnailsMade(const KSBatch &batch, int msecs = 20000)
{
    return QTest::qWaitFor([&] {
        for (int row = 0; row < batch.count(); ++row) {
            const KSBatchItem &item = batch.itemAt(row);
            if (item.state == KSBatchItem::State::done && item.thumbnail.isNull())
                return false;
        }
        return true;
    }, msecs);
}

} // namespace BatchFixture
