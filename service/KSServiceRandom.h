#pragma once

#include <QString>

// Identifiers that must not be guessable (tokens, keys, task ids, mask
// names): lower-case hex from the operating system's random source.
[[nodiscard]] QString KSServiceRandomHex(int bytes);
