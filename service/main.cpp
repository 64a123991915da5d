// cutora-service: the local cut-out service on its own, for other machines
// of the same desk or for trying the protocol by hand.
#include "KSLocalService.h"
#include "KSServiceLog.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Block the stop signals before any thread starts, then wait for one here.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Cutora"));
    QCoreApplication::setApplicationName(QStringLiteral("Cutora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CUTORA_VERSION_STRING));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Cutora's local cut-out service: the cut-out web API and its storage endpoint on one port."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                     QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port, 0 for a free one (default 8790)."),
                                  QStringLiteral("port"), QStringLiteral("8790"));
    const QCommandLineOption data(QStringLiteral("data"),
                                  QStringLiteral("Data folder: one the service made, or a new or empty one; in a "
                                                 "folder of other files it uses the sub-folder cutora-service "
                                                 "(default: %1).")
                                      .arg(KSLocalService::defaultDataDir()),
                                  QStringLiteral("folder"));
    const QCommandLineOption account(QStringLiteral("account"),
                                     QStringLiteral("E-mail or name of the account (default: local)."),
                                     QStringLiteral("email"), QStringLiteral("local"));
    const QCommandLineOption token(QStringLiteral("token"),
                                   QStringLiteral("Bearer token of the account (default: the data folder's own)."),
                                   QStringLiteral("token"));
    const QCommandLineOption workers(QStringLiteral("workers"),
                                     QStringLiteral("Tasks cut out at once (default: half the cores)."),
                                     QStringLiteral("count"), QStringLiteral("-1"));
    const QCommandLineOption model(QStringLiteral("model"),
                                   QStringLiteral("JSON file describing a learned model, \"installed\" for %1, or "
                                                  "\"none\" for the classical engine (default: CUTORA_MODEL, else "
                                                  "the installed model when there is one).")
                                       .arg(KSLocalService::defaultModelDescription()),
                                   QStringLiteral("file"));
    parser.addOptions({address, port, data, account, token, workers, model});
    parser.process(app);

    KSLocalService::Options options;
    options.address = parser.value(address);
    bool portOk = false, workersOk = false;
    const uint portNumber = parser.value(port).toUInt(&portOk);
    options.workers = parser.value(workers).toInt(&workersOk);
    if (!portOk || portNumber > 65535 || !workersOk) {
        std::fprintf(stderr, "cutora-service: the address, port or worker count is not valid (see --help)\n");
        return 2;
    }
    options.port = quint16(portNumber);
    options.dataDir = parser.value(data);
    options.accountEmail = parser.value(account);
    options.token = parser.value(token);
    options.modelDescription = parser.value(model);
    const bool loopback = options.address.startsWith(QLatin1String("127.")) || options.address == QLatin1String("::1");
    if (!loopback)
        KSServiceLog::I(QStringLiteral("listening beyond this machine on %1: put TLS in front of it").arg(options.address));

    KSLocalService service;
    if (!service.start(options)) {
        std::fprintf(stderr, "cutora-service: %s\n", qPrintable(service.errorString()));
        return 1;
    }
    std::printf("url %s\naccount %s\ntoken %s\n", qPrintable(service.baseUrl()), qPrintable(options.accountEmail),
                qPrintable(service.localToken()));
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    KSServiceLog::I(QStringLiteral("stopping"));
    service.stop();
    return 0;
}
