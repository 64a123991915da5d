#pragma once

#include "CommAppInfo.h"

#include <QObject>
#include <QPointer>

// Registration of the application with the common utilities: its identity
// record and its main window, which update and feedback windows attach to.
// Registering a record also makes its appLang the current CommLang language.
class KSCommonUtils
{
public:
    // The window is any QObject (the main QWidget window, or a QWindow);
    // it is held weakly. None is allowed when there is no window yet.
    static void initWithCommAppInfo(const CommAppInfo &appInfo, QObject *parentWindow);
    // Replaces the record after a change of language; the window stays.
    static void setAppInfo(const CommAppInfo &appInfo);

    static bool isInitialized();
    static CommAppInfo appInfo();
    static QPointer<QObject> parentWindow();
};
