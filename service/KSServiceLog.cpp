#include "KSServiceLog.h"

#include <QDateTime>

#include <cstdio>
#include <mutex>

namespace {
std::mutex sinkMutex;
KSServiceLog::Sink currentSink;

void write(bool isError, const QString &line)
{
    std::lock_guard lock(sinkMutex);
    if (currentSink) {
        currentSink(isError, line);
        return;
    }
    const QByteArray bytes = QStringLiteral("%1 [%2] cutora-service: %3\n")
                                 .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs),
                                      isError ? QStringLiteral("E") : QStringLiteral("I"), line)
                                 .toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}
} // namespace

void KSServiceLog::I(const QString &line) { write(false, line); }
void KSServiceLog::E(const QString &line) { write(true, line); }

void KSServiceLog::setSink(Sink sink)
{
    std::lock_guard lock(sinkMutex);
    currentSink = std::move(sink);
}
