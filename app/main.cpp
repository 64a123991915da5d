#include "AppDelegate.h"
#include "KSAFNetworking.h"
#include "KSCutCommand.h"

#include <QByteArray>
#include <QCoreApplication>

namespace {

bool wantsCommandLine(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--cut" || QByteArray(argv[i]).startsWith("--cut="))
            return true;
    }
    return false;
}

// The command line: `cutora --cut PHOTO... --type person|object --out ...`,
// a cut-out without a display.
int runCommandLine(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Cutora"));
    QCoreApplication::setApplicationName(QStringLiteral("Cutora"));
    return KSCutCommand::run(QCoreApplication::arguments());
}

} // namespace

int main(int argc, char *argv[])
{
    // libcurl's global set-up is not thread-safe: do it before any thread.
    KSAFNetworking::globalInit();
    if (wantsCommandLine(argc, argv))
        return runCommandLine(argc, argv);
    return AppDelegate::applicationMain(argc, argv);
}
