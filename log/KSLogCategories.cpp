#include "KSLogCategories.h"

Q_LOGGING_CATEGORY(lcProtocol, "cutora.protocol")
Q_LOGGING_CATEGORY(lcShell, "cutora.shell")
Q_LOGGING_CATEGORY(lcEditor, "cutora.editor")
