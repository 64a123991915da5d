#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>

// Stands in for the desktop's opener: an xdg-open on PATH that writes its
// argument to a file and ends with the exit status it is given.
// Lives for one test: PATH is restored when it goes.
class FakeOpener
{
public:
    explicit FakeOpener(int exitStatus)
    {
        const QString script = m_dir.filePath(QStringLiteral("xdg-open"));
        QFile file(script);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\nexit %2\n")
                           .arg(argumentFile())
                           .arg(exitStatus)
                           .toUtf8());
            file.close();
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        }
        m_path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ':' + m_path);
    }
    ~FakeOpener() { qputenv("PATH", m_path); }

    QString argumentFile() const { return m_dir.filePath(QStringLiteral("opened")); }
    QString opened() const
    {
        QFile file(argumentFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_path;
};
