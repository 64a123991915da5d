#pragma once

#include <QFile>
#include <QString>

// What was appended to a log file since the watch began.
class LogWatch
{
public:
    explicit LogWatch(QString path) : m_path(std::move(path)) { m_start = QFile(m_path).size(); }

    [[nodiscard]] QString newText() const
    {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        // A smaller file was rotated meanwhile: all of it is new.
        if (file.size() >= m_start)
            file.seek(m_start);
        return QString::fromUtf8(file.readAll());
    }

private:
    QString m_path;
    qint64 m_start = 0;
};
