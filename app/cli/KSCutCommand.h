#pragma once

#include <QStringList>

// `cutora --cut PHOTO... --type person|object (--out FILE | --out-dir DIR)
// [--background '#RRGGBB'|transparent] [--size WxH|PRESET] [--fit subject|photo]
// [--margin PERCENT] [--sheet 4x6|A6|A4]`: cuts photos out without a
// display, through the same job, protocol and service as the application,
// frames and places each cut-out on the background at the size as the
// editor's save does (KSCutExport), and writes it as a PNG (a JPEG for a
// colour and an --out FILE ending in .jpg).
class KSCutCommand
{
public:
    // Runs the whole command under the application object the caller made;
    // returns the process exit code (0 all written, 1 some failed, 2 usage).
    static int run(const QStringList &arguments);
};
