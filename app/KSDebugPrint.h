#pragma once

#include <QString>

// A developer's trace line on standard output (never shown to the user):
// the text as one line, as the platform's debug print writes it.
void KSDebugPrint(const QString &line);
