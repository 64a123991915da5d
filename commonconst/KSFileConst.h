#pragma once

#include "KSCommonConstGlobal.h"

#include <QString>

// The application's folders. Every path is absolute, without a trailing
// separator, and its folder exists when it is returned (unless something
// else already stands at that path or the disk refuses; callers then see the
// failure of their own file operation).

// The caches folder of the application, the same for every Cutora program
// (for example ~/.cache/Cutora); created when missing. It and its
// sub-folders are the user's alone (0700), whatever mode they had.
KSCOMMONCONST_EXPORT QString KSAppCachesDirectory();

// caches folder + "/" + name, and documents folder + "/" + name.
KSCOMMONCONST_EXPORT QString KSCachesAppPathDirectory(const QString &name);
KSCOMMONCONST_EXPORT QString KSDocumentAppPathDirectory(const QString &name);

// Creates the folder (not its parents) when nothing at all exists at the path.
KSCOMMONCONST_EXPORT void KSCreartDirection(const QString &path);

// The temporary folder (caches + "/temp") and a file in it.
KSCOMMONCONST_EXPORT QString KSTempAppPathDirector();
KSCOMMONCONST_EXPORT QString KSTempAppWithFileName(const QString &fileName);

// The download folder (documents + "/download") and a file in it.
KSCOMMONCONST_EXPORT QString KSDownloadAppPathDirector();
KSCOMMONCONST_EXPORT QString KSDownloadAppWithFileName(const QString &fileName);
