#pragma once

#include <QString>
#include <QStringList>

// The background pictures chosen lately, newest first, kept in the settings
// under "kRecentBackgroundPictures" so that the picture panel offers them
// again in the next session. A file that has gone since is dropped when
// the list is read. Main thread.
class KSRecentBackgroundPictures
{
public:
    static inline const QString kSettingsKey = QStringLiteral("kRecentBackgroundPictures");
    // The panel shows one row of thumbnails and a little more.
    static constexpr int kMaxCount = 8;

    // The remembered pictures whose files still exist, newest first; the
    // stored list is rewritten when some were dropped.
    [[nodiscard]] static QStringList pictures();
    // Puts `path` (made absolute) first, once, and keeps at most kMaxCount.
    static void remember(const QString &path);
    // Takes `path` out of the list: a picture that no longer reads.
    static void forget(const QString &path);
};
