#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One window per user and display: the first start listens on a local
// socket; a later start hands its photos over and ends, and the running
// window shows itself. A socket left by a killed instance is removed when
// nothing answers on it.
class KSSingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit KSSingleInstance(QString socketPath = defaultSocketPath(), QObject *parent = nullptr);
    ~KSSingleInstance() override;

    // True when this one is now the running instance; false when another
    // answers on the socket (or it cannot be taken at all).
    [[nodiscard]] bool listen();
    // Gives `photos` (absolute paths, maybe none) to the running instance;
    // true once it has confirmed them.
    [[nodiscard]] bool handOver(const QStringList &photos, int timeoutMs = 3000) const;

    // In the runtime folder, with the user id and the display in the name.
    [[nodiscard]] static QString defaultSocketPath();
    [[nodiscard]] QString socketPath() const { return m_socketPath; }

signals:
    // Another start asked for the window, with the photos it was given.
    void activationRequested(const QStringList &photos);

private:
    void readRequest(QLocalSocket *socket);

    QString m_socketPath;
    QLocalServer *m_server = nullptr;
};
