#include "KSLogCategories.h"

Q_LOGGING_CATEGORY(lcProtocol, "cutora.protocol", QtInfoMsg)
Q_LOGGING_CATEGORY(lcShell, "cutora.shell", QtInfoMsg)
Q_LOGGING_CATEGORY(lcEditor, "cutora.editor", QtInfoMsg)
