#pragma once

#include "ToolFile.h"

#include <QString>

#include <optional>

// The name an output picture will have, held while its bytes are written.
// A free name is claimed by creating it empty and exclusively, so that two
// saves into one folder at once (two command lines, a window and a command
// line) never both take it: the second finds it taken and moves on to the
// next free name. The bytes go to a short hidden name beside it, which
// commit() renames over the claim once complete; a claim dropped without a
// commit removes both, leaving the folder as it was.
class KSOutputClaim
{
public:
    static constexpr qsizetype kMaxNameBytes = ToolFile::kMaxNameBytes;

    // Claims the first free name of baseName.extension, baseName(1).extension,
    // ... in folder; a base name too long for the file system is shortened,
    // by whole characters, to fit. Nothing, with the reason, when no name can
    // be created there.
    [[nodiscard]] static std::optional<KSOutputClaim> claimFreeName(const QString &folder, const QString &baseName,
                                                                    const QString &extension, QString *error);
    // A write that replaces `path` on commit, whatever stands there now (a
    // file the user named knowingly); nothing is created under `path` before.
    [[nodiscard]] static std::optional<KSOutputClaim> replacing(const QString &path, QString *error);

    // Why `fileName` cannot be created as a name of its own, or an empty
    // text: too long for the file system, or bytes that are no text.
    [[nodiscard]] static QString nameProblem(const QString &fileName);

    KSOutputClaim(KSOutputClaim &&other) noexcept;
    KSOutputClaim &operator=(KSOutputClaim &&other) noexcept;
    KSOutputClaim(const KSOutputClaim &) = delete;
    KSOutputClaim &operator=(const KSOutputClaim &) = delete;
    ~KSOutputClaim();

    // The name the picture gets.
    [[nodiscard]] QString path() const { return m_path; }
    // Where its bytes are written first.
    [[nodiscard]] QString partialPath() const { return m_partial; }

    // Puts what was written at partialPath() under path(); false, with the
    // reason, when it cannot (the claim is then dropped).
    [[nodiscard]] bool commit(QString *error);

private:
    KSOutputClaim(QString path, QString partial, bool claimed);
    void drop();

    QString m_path;
    QString m_partial;
    bool m_claimed = false; // path() was created by this claim
    bool m_done = false;
};
