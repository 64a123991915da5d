#include "KSBatchIntake.h"

#include "CommLang.h"
#include "KSAsync.h"
#include "KSPictureLimits.h"

#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

const QString kEnglish = QStringLiteral("English");

// One collator for a whole sort: making one per comparison is slow. The C
// locale's collator knows no numeric mode; any language's does, and paths
// need no language's rules beyond it.
QCollator naturalCollator()
{
    QCollator collator(QLocale(QLocale::English, QLocale::UnitedStates));
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

bool naturalLessWith(const QCollator &collator, const QString &a, const QString &b)
{
    const int order = collator.compare(a, b);
    // Names equal but for case still get one order.
    return order != 0 ? order < 0 : a < b;
}

template <typename T, typename PathOf>
void sortNaturally(QList<T> &list, PathOf pathOf)
{
    const QCollator collator = naturalCollator();
    std::stable_sort(list.begin(), list.end(),
                     [&](const T &a, const T &b) { return naturalLessWith(collator, pathOf(a), pathOf(b)); });
}

// The file itself, so that one photo named twice (a link, "./a.jpg") counts once.
QString identityOf(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

bool hasPhotoExtension(const QFileInfo &info)
{
    return KSPictureLimits::photoExtensions().contains(info.suffix().toLower());
}

using Skipped = KSBatchIntake::Skipped;

// A folder's photo files, and what in it is not read.
void readFolder(const QString &folder, bool recursive, QStringList *candidates, QList<Skipped> *skipped)
{
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isDir()) {
            // A linked folder is not followed even when reading sub-folders:
            // a link to a parent would never end.
            if (!recursive || info.isSymLink())
                skipped->append({QDir::cleanPath(path), Skipped::Reason::subFolder, {}});
            continue;
        }
        if (!hasPhotoExtension(info)) {
            skipped->append({QDir::cleanPath(path), Skipped::Reason::notAPhotoType, {}});
            continue;
        }
        candidates->append(QDir::cleanPath(path));
    }
}

} // namespace

QString KSBatchIntake::Skipped::textKey() const
{
    switch (reason) {
    case Reason::notAPhotoType: return QStringLiteral("BatchSkipNotAPhotoType");
    case Reason::subFolder: return QStringLiteral("BatchSkipSubFolder");
    case Reason::duplicate: return QStringLiteral("BatchSkipDuplicate");
    case Reason::notAPhoto: return failure.messageKey();
    }
    return {};
}

QString KSBatchIntake::Skipped::text() const
{
    if (reason == Reason::notAPhoto)
        return failure.message();
    return CommLang::GetAppLang(textKey());
}

QString KSBatchIntake::Skipped::englishText() const
{
    QString text = CommLang::textInLanguage(textKey(), kEnglish).value_or(textKey());
    if (reason == Reason::notAPhoto && !failure.folder.isEmpty())
        text = text.arg(failure.folder);
    return text;
}

bool KSBatchIntake::naturalLess(const QString &a, const QString &b)
{
    return naturalLessWith(naturalCollator(), a, b);
}

bool KSBatchIntake::wantsBatch(const QStringList &paths)
{
    return paths.size() > 1 || std::any_of(paths.cbegin(), paths.cend(), [](const QString &path) {
        return QFileInfo(path).isDir();
    });
}

KSBatchIntake::Result KSBatchIntake::gather(const QStringList &paths, bool recursive, const QStringList &alreadyIn)
{
    Result result;
    // In the order given, each folder's files in natural order: of one file
    // named twice, the first naming is taken.
    QStringList candidates;
    for (const QString &path : paths) {
        if (path.isEmpty())
            continue;
        const QFileInfo info(path);
        if (info.isDir()) {
            QStringList inFolder;
            readFolder(info.absoluteFilePath(), recursive, &inFolder, &result.skipped);
            sortNaturally(inFolder, [](const QString &file) { return file; });
            candidates += inFolder;
        } else {
            // A file named on its own is looked at by its bytes, whatever its name.
            candidates.append(QDir::cleanPath(info.absoluteFilePath()));
        }
    }

    QSet<QString> taken;
    for (const QString &photo : alreadyIn)
        taken.insert(identityOf(photo));
    for (const QString &candidate : std::as_const(candidates)) {
        const QString identity = identityOf(candidate);
        if (taken.contains(identity)) {
            result.skipped.append({candidate, Skipped::Reason::duplicate, {}});
            continue;
        }
        taken.insert(identity);
        if (const std::optional<KSEraserFailure> why = KSEraserFailure::checkPhotoFile(candidate)) {
            result.skipped.append({candidate, Skipped::Reason::notAPhoto, *why});
            continue;
        }
        result.photos.append(candidate);
    }
    sortNaturally(result.photos, [](const QString &photo) { return photo; });
    sortNaturally(result.skipped, [](const Skipped &skipped) { return skipped.path; });
    return result;
}

void KSBatchIntake::gatherAsync(const QStringList &paths, bool recursive, const QStringList &alreadyIn,
                                QObject *context, std::function<void(const Result &result)> done)
{
    KSAsync::run(context, [paths, recursive, alreadyIn] { return gather(paths, recursive, alreadyIn); },
                 [done = std::move(done)](const Result &result) {
                     if (done)
                         done(result);
                 });
}
