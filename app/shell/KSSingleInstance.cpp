#include "KSSingleInstance.h"

#include "CommLog.h"

#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QStandardPaths>

#include <memory>
#include <utility>

#include <unistd.h>

namespace {

// What the running instance answers once it has the photos.
constexpr char kAccepted = 'A';
// How long a start waits for an instance that may be running.
constexpr int kProbeMs = 1000;

bool someoneAnswers(const QString &path)
{
    QLocalSocket probe;
    probe.connectToServer(path);
    return probe.waitForConnected(kProbeMs);
}

} // namespace

KSSingleInstance::KSSingleInstance(QString socketPath, QObject *parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath))
{
}

KSSingleInstance::~KSSingleInstance() = default;

QString KSSingleInstance::defaultSocketPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    // A window on another display cannot be shown on this one: each display
    // has its own.
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    display.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return QStringLiteral("%1/cutora-%2-%3.socket").arg(folder).arg(::getuid()).arg(display);
}

bool KSSingleInstance::listen()
{
    if (m_server)
        return true;
    // Asked first: listening with access options replaces whatever file
    // has the name, a running instance's socket included.
    if (someoneAnswers(m_socketPath))
        return false;
    auto server = std::make_unique<QLocalServer>(this);
    // Nobody else on the machine may hand photos to this user's window.
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_socketPath)) {
        if (server->serverError() != QAbstractSocket::AddressInUseError) {
            CommLog::E(QStringLiteral("the window socket cannot be taken: ") + server->errorString());
            return false;
        }
        // Left by an instance that was killed: nothing listens on it.
        CommLog::I(QStringLiteral("a stale window socket is removed: ") + m_socketPath);
        QLocalServer::removeServer(m_socketPath);
        if (!server->listen(m_socketPath)) {
            CommLog::E(QStringLiteral("the window socket cannot be taken: ") + server->errorString());
            return false;
        }
    }
    connect(server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        }
    });
    m_server = server.release();
    return true;
}

void KSSingleInstance::readRequest(QLocalSocket *socket)
{
    QDataStream in(socket);
    in.startTransaction();
    QStringList photos;
    in >> photos;
    if (!in.commitTransaction())
        return; // the rest is still on its way
    socket->write(&kAccepted, 1);
    socket->flush();
    emit activationRequested(photos);
}

bool KSSingleInstance::handOver(const QStringList &photos, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray request;
    QDataStream out(&request, QIODevice::WriteOnly);
    out << photos;
    socket.write(request);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Confirmed, so that a hung window does not swallow the photo.
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    char answer = 0;
    return socket.getChar(&answer) && answer == kAccepted;
}
