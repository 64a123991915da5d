// cutora-service: the local cut-out service on its own, for other machines
// of the same desk, for a team's machines sharing one database, or for
// trying the protocol by hand.
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
                                   QStringLiteral("Bearer token of the account (default: CUTORA_SERVICE_TOKEN, else "
                                                  "the data folder's own). A team's services share one."),
                                   QStringLiteral("token"));
    const QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("A team's PostgreSQL database, as a libpq URI (postgresql://user@host/db) or key=value "
                       "string; its password from ~/.pgpass or PGPASSWORD. Several services on several machines "
                       "share it and a data folder on storage they all mount (default: CUTORA_SERVICE_DATABASE, "
                       "else SQLite in the data folder, the folder's only service)."),
        QStringLiteral("uri"));
    const QCommandLineOption publicUrl(
        QStringLiteral("public-url"),
        QStringLiteral("Where a team's clients reach its services, e.g. https://cutout.example.org behind a "
                       "reverse proxy (default: CUTORA_SERVICE_PUBLIC_URL, else this service's own address)."),
        QStringLiteral("url"));
    const QCommandLineOption leaseSeconds(
        QStringLiteral("lease-seconds"),
        QStringLiteral("With --database: how long a claimed task is held without renewal; a killed service's "
                       "tasks are claimed again after it (default 30)."),
        QStringLiteral("seconds"), QStringLiteral("30"));
    const QCommandLineOption replaceAccount(
        QStringLiteral("replace-account"),
        QStringLiteral("With --database: make --account and --token the team's account even though the database "
                       "has another, dropping that account's uploads, masks and tasks."));
    const QCommandLineOption workers(QStringLiteral("workers"),
                                     QStringLiteral("Tasks cut out at once (default: half the cores)."),
                                     QStringLiteral("count"), QStringLiteral("-1"));
    const QCommandLineOption model(QStringLiteral("model"),
                                   QStringLiteral("JSON file describing a learned model, \"installed\" for %1, or "
                                                  "\"none\" for the classical engine (default: CUTORA_MODEL, else "
                                                  "the installed model when there is one).")
                                       .arg(KSLocalService::defaultModelDescription()),
                                   QStringLiteral("file"));
    parser.addOptions({address, port, data, account, token, workers, model, database, publicUrl, leaseSeconds,
                       replaceAccount});
    parser.process(app);

    KSLocalService::Options options;
    options.address = parser.value(address);
    bool portOk = false, workersOk = false, leaseOk = false;
    const uint portNumber = parser.value(port).toUInt(&portOk);
    options.workers = parser.value(workers).toInt(&workersOk);
    const double lease = parser.value(leaseSeconds).toDouble(&leaseOk);
    if (!portOk || portNumber > 65535 || !workersOk || !leaseOk || lease < 0.3 || lease > 3600) {
        std::fprintf(stderr, "cutora-service: the port, worker count or lease is not valid (see --help)\n");
        return 2;
    }
    const auto valueOrEnvironment = [&parser](const QCommandLineOption &option, const char *variable) {
        return parser.isSet(option) ? parser.value(option) : qEnvironmentVariable(variable);
    };
    options.database = valueOrEnvironment(database, "CUTORA_SERVICE_DATABASE");
    options.publicUrl = valueOrEnvironment(publicUrl, "CUTORA_SERVICE_PUBLIC_URL");
    options.taskLeaseMs = int(lease * 1000);
    options.replaceTeamAccount = parser.isSet(replaceAccount);
    options.port = quint16(portNumber);
    options.dataDir = parser.value(data);
    options.accountEmail = parser.value(account);
    options.token = valueOrEnvironment(token, "CUTORA_SERVICE_TOKEN");
    options.modelDescription = parser.value(model);
    const bool loopback = options.address.startsWith(QLatin1String("127.")) || options.address == QLatin1String("::1");
    if (!loopback)
        KSServiceLog::I(QStringLiteral("listening beyond this machine on %1: put TLS in front of it").arg(options.address));

    KSLocalService service;
    if (!service.start(options)) {
        std::fprintf(stderr, "cutora-service: %s\n", qPrintable(service.errorString()));
        return 1;
    }
    // A team's service runs under systemd, whose journal keeps what it
    // prints: the team's token, which its administrator gave, stays out.
    const QString shownToken = options.database.isEmpty() ? service.localToken() : QStringLiteral("(the team's)");
    std::printf("url %s\naccount %s\ntoken %s\n", qPrintable(service.baseUrl()), qPrintable(options.accountEmail),
                qPrintable(shownToken));
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    KSServiceLog::I(QStringLiteral("stopping"));
    service.stop();
    return 0;
}
