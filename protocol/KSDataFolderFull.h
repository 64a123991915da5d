#pragma once

#include <QString>

#include <optional>

// How the service says that its data folder is full, so that the client can
// tell the user which folder needs room: the storage endpoint answers
// kHttpStatus with message() in its error, and a task whose mask cannot be
// written fails with it in its error text.
namespace KSDataFolderFull {

inline constexpr int kHttpStatus = 507;
inline constexpr const char *kStorageCode = "InsufficientStorage";

// "the data folder FOLDER is full".
[[nodiscard]] QString message(const QString &folder);

// The folder named by a message() inside text (an error line, a reply body
// with its XML escapes), or none.
[[nodiscard]] std::optional<QString> folderIn(const QString &text);

} // namespace KSDataFolderFull
