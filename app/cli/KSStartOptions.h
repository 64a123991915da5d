#pragma once

#include <QString>
#include <QStringList>

// What the program is asked to do, read from its arguments before any
// application object exists: --help and --version answer without a
// display, --cut runs the command line, anything else opens the window
// (with the photos named, once Qt has taken its own options).
struct KSStartOptions
{
    enum class Mode { window, commandLine, help, version, usageError };

    Mode mode = Mode::window;
    QString error; // for usageError

    // `arguments` start with the program's name.
    [[nodiscard]] static KSStartOptions parse(const QStringList &arguments);
    // The photos among the arguments Qt left (after "--" everything is one).
    [[nodiscard]] static QStringList photoArguments(const QStringList &arguments);

    [[nodiscard]] static QString usage();
    [[nodiscard]] static QString versionText();
};
