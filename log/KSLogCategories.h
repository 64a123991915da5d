#pragma once

#include <QLoggingCategory>

// The developer's trace lines, never shown to the user, by area. Their debug
// lines are off unless asked for: QT_LOGGING_RULES="cutora.*.debug=true", or
// `cutora --cut --verbose`. What the user or support needs to read goes to
// CommLog instead.
Q_DECLARE_LOGGING_CATEGORY(lcProtocol) // "cutora.protocol": the cut-out client's requests and replies
Q_DECLARE_LOGGING_CATEGORY(lcShell)    // "cutora.shell": the window, its screens and the title bar
Q_DECLARE_LOGGING_CATEGORY(lcEditor)   // "cutora.editor": the editor and its panels
