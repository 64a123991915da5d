#pragma once

#include <QString>

class CommUtils
{
public:
    // Creates the directory and its missing parents. True when a directory
    // exists at the path afterwards; false for an empty path or a file there.
    static bool CreateDirectoryAtPath(const QString &path);
};
