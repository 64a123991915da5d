#pragma once

#include <QString>

// The learned cut-out model the install script puts in place: the service
// loads it, and the About window names it with its licence.
struct KSInstalledModel
{
    QString name; // empty: none is installed, or its description is unreadable
    QString licence;

    // Where the install script puts the model's description:
    // "~/.local/share/Cutora/models/isnet.json" (after XDG_DATA_HOME).
    [[nodiscard]] static QString descriptionPath();
    // The "name" and "license" of the description at `path`.
    [[nodiscard]] static KSInstalledModel read(const QString &path = descriptionPath());
    // The description the built-in service loads, chosen as the service
    // chooses it: CUTORA_MODEL when set ("none" or "classic": none;
    // "installed": descriptionPath()), else descriptionPath() when it exists.
    // Empty when the classical engine cuts out.
    [[nodiscard]] static QString descriptionInUse();
};
