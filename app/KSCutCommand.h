#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// `cutora --cut PHOTO... --type person|object (--out FILE | --out-dir DIR)`:
// cuts photos out without a display, through the same job, protocol and
// service as the application, and writes each result as a PNG with alpha.
class KSCutCommand
{
public:
    struct Options
    {
        QStringList photos;
        QString type;   // "person" or "object"
        QString out;    // one output file, for one photo
        QString outDir; // or a folder for any number of photos
        bool verbose = false;
    };

    // Reads the arguments; on a usage error returns nothing and sets error.
    [[nodiscard]] static std::optional<Options> parse(const QStringList &arguments, QString *error);

    // Where the cut-out of photo goes; taken names are not reused within a run.
    [[nodiscard]] static QString outputPathFor(const Options &options, const QString &photo,
                                               const QStringList &taken);

    // Runs the whole command under the application object the caller made;
    // returns the process exit code (0 all written, 1 some failed, 2 usage).
    static int run(const QStringList &arguments);

    static QString usage();
};
