#pragma once

#include <QtCore/qglobal.h>

// Symbols of the shared library are hidden unless marked with this macro.
#if defined(KSCOMMONCONST_LIBRARY)
#define KSCOMMONCONST_EXPORT Q_DECL_EXPORT
#else
#define KSCOMMONCONST_EXPORT Q_DECL_IMPORT
#endif
