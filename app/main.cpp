#include "AppDelegate.h"
#include "KSAFNetworking.h"
#include "KSCutCommand.h"
#include "KSStartOptions.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

// The command line: `cutora --cut PHOTO... --type person|object --out ...`,
// a cut-out without a display.
int runCommandLine(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Cutora"));
    QCoreApplication::setApplicationName(QStringLiteral("Cutora"));
    return KSCutCommand::run(QCoreApplication::arguments());
}

void print(FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char *argv[])
{
    // Decided before any application object: --help and --version need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const KSStartOptions options = KSStartOptions::parse(arguments);
    switch (options.mode) {
    case KSStartOptions::Mode::help:
        print(stdout, KSStartOptions::usage());
        return 0;
    case KSStartOptions::Mode::version:
        print(stdout, KSStartOptions::versionText());
        return 0;
    case KSStartOptions::Mode::usageError:
        print(stderr, QStringLiteral("cutora: ") + options.error);
        print(stderr, KSStartOptions::usage());
        return 2;
    case KSStartOptions::Mode::commandLine:
    case KSStartOptions::Mode::window:
        break;
    }
    // libcurl's global set-up is not thread-safe: do it before any thread.
    KSAFNetworking::globalInit();
    if (options.mode == KSStartOptions::Mode::commandLine)
        return runCommandLine(argc, argv);
    return AppDelegate::applicationMain(argc, argv);
}
