#pragma once

#include <QString>

// The learned cut-out model the install script puts in place: the service
// loads it, and the About window names it with its licence.
struct KSInstalledModel
{
    QString name; // empty: none is installed, or its description is unreadable
    QString licence;
    // What runs it in this process ("oneDNN 2.6.3 (avx512_core)"), once
    // the built-in service has loaded it; empty before, or elsewhere.
    QString runtime;

    // Where the install script puts the model's description:
    // "~/.local/share/Cutora/models/isnet.json" (after XDG_DATA_HOME).
    [[nodiscard]] static QString descriptionPath();
    // The "name" and "license" of the description at `path`, and what runs
    // the model it describes, as noted by noteRuntime().
    [[nodiscard]] static KSInstalledModel read(const QString &path = descriptionPath());
    // The description a service told `told` loads ("none" or "classic":
    // none; "installed": descriptionPath(); empty: descriptionPath() when it
    // exists; else `told` itself). Empty when the classical engine cuts out.
    [[nodiscard]] static QString descriptionFor(const QString &told);
    // What the built-in service loads: descriptionFor(CUTORA_MODEL).
    [[nodiscard]] static QString descriptionInUse();
    // Notes that a service of this process runs the model of the
    // description at `path` with `runtime` (what read() then says).
    static void noteRuntime(const QString &path, const QString &runtime);
};
