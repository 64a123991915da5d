#include "KSStartOptions.h"

#include "KSCutOptions.h"

namespace {

bool isCut(const QString &argument)
{
    return argument == QLatin1String("--cut") || argument.startsWith(QLatin1String("--cut="));
}

} // namespace

KSStartOptions KSStartOptions::parse(const QStringList &arguments)
{
    KSStartOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (isCut(arguments.at(i))) {
            options.mode = Mode::commandLine;
            return options;
        }
    }
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--"))
            break;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.mode = Mode::help;
            return options;
        }
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v")) {
            options.mode = Mode::version;
            return options;
        }
        // Single-dash options are Qt's own (-platform, -style, ...).
        if (argument.startsWith(QLatin1String("--"))) {
            options.mode = Mode::usageError;
            options.error = QStringLiteral("unknown option %1").arg(argument);
            return options;
        }
    }
    return options;
}

QStringList KSStartOptions::photoArguments(const QStringList &arguments)
{
    QStringList photos;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')))
            photos << argument;
    }
    return photos;
}

QString KSStartOptions::usage()
{
    return QStringLiteral("usage: cutora [PHOTO|FOLDER]...\n"
                          "  Opens Cutora; a PHOTO given is cut out at once, after asking whether it shows\n"
                          "  a person or an object. Several photos, or a FOLDER, open as a batch: the type\n"
                          "  is asked once for all of them.\n"
                          "  --help, -h         print this help and exit\n"
                          "  --version, -v      print the version and exit\n\n")
           + KSCutOptions::usage();
}

QString KSStartOptions::versionText()
{
    return QStringLiteral("cutora " CUTORA_VERSION_STRING);
}
