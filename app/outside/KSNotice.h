#pragma once

#include <QString>
#include <QVariant>

// A short message for the user from a part with no window of its own (a
// copy made, a link no browser opened, a folder no file manager showed). post() logs it and broadcasts it as
// kNotificationShowNotice; the application shell shows it in its notice
// window. `detail` is text the user may want to copy: an address, a path.
struct KSNotice
{
    static inline const QString kNotificationShowNotice = QStringLiteral("kNotificationShowNotice");

    QString title;
    QString message;
    QString detail;

    static void post(const KSNotice &notice);

    // The notification's object and back; a missing field reads as empty.
    [[nodiscard]] QVariant toVariant() const;
    [[nodiscard]] static KSNotice fromVariant(const QVariant &object);
};
