#include "AppDelegate.h"

#include "KSMainWindow.h"

#include <QApplication>
#include <QIcon>

int AppDelegate::applicationMain(int &argc, char **argv)
{
    QApplication app(argc, argv);
    // The same names as the service, so that both find the same data folder.
    QApplication::setOrganizationName(QStringLiteral("Cutora"));
    QApplication::setApplicationName(QStringLiteral("Cutora"));
    QApplication::setApplicationVersion(QStringLiteral(CUTORA_VERSION_STRING));
    QApplication::setDesktopFileName(QStringLiteral("cutora"));

    KSMainWindow window;
    // The window's own question first: its view controller asks the editor
    // about unsaved edits.
    window.shouldTerminateClosure = [windowAsks = std::move(window.shouldTerminateClosure)] {
        if (windowAsks && !windowAsks())
            return false;
        return applicationShouldTerminate() == TerminateReply::TerminateNow;
    };
    // After the window: its pictures have registered the icon resources.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/cutora.svg")));
    window.awakeFromNib();
    applicationDidFinishLaunching();
    QObject::connect(&app, &QApplication::aboutToQuit, [] { applicationWillTerminate(); });
    return app.exec();
}

void AppDelegate::applicationDidFinishLaunching() {}

void AppDelegate::applicationWillTerminate() {}

AppDelegate::TerminateReply AppDelegate::applicationShouldTerminate()
{
    return TerminateReply::TerminateNow;
}
