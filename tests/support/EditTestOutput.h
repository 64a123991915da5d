#pragma once

#include "KSAppSetting.h"

#include <QDir>
#include <QTemporaryDir>

// A new, empty output folder inside `dir` for each test function, set as
// the folder saves go to; empty when it cannot be made.
inline QString freshOutputDirectory(const QTemporaryDir &dir)
{
    static int run = 0;
    const QString folder = dir.filePath(QStringLiteral("out-%1").arg(++run));
    if (!QDir().mkpath(folder))
        return {};
    KSAppSetting::setOutputDirectory(folder);
    return folder;
}
