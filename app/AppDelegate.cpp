#include "AppDelegate.h"

#include "CommLog.h"
#include "KSMainViewController.h"
#include "KSMainWindow.h"
#include "KSStartOptions.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QProcess>
#include <QTimer>

int AppDelegate::applicationMain(int &argc, char **argv)
{
    QApplication app(argc, argv);
    // The same names as the service, so that both find the same data folder.
    QApplication::setOrganizationName(QStringLiteral("Cutora"));
    QApplication::setApplicationName(QStringLiteral("Cutora"));
    QApplication::setApplicationVersion(QStringLiteral(CUTORA_VERSION_STRING));
    QApplication::setDesktopFileName(QStringLiteral("cutora"));

    bool relaunch = false;
    int code = 0;
    {
        KSMainWindow window;
        // The window's own question first: its view controller asks the
        // editor about unsaved edits.
        window.shouldTerminateClosure = [windowAsks = std::move(window.shouldTerminateClosure)] {
            if (windowAsks && !windowAsks())
                return false;
            return applicationShouldTerminate() == TerminateReply::TerminateNow;
        };
        window.viewController()->relaunchClosure = [&relaunch] {
            relaunch = true;
            QApplication::quit();
        };
        // After the window: its pictures have registered the icon resources.
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/cutora.svg")));
        window.awakeFromNib();
        applicationDidFinishLaunching();
        QObject::connect(&app, &QApplication::aboutToQuit, [] { applicationWillTerminate(); });

        // Photos named on the command line (a file manager's "Open with"):
        // one job at a time, so the first is cut out.
        const QStringList photos = KSStartOptions::photoArguments(QCoreApplication::arguments());
        if (photos.size() > 1)
            CommLog::I(QStringLiteral("%1 photos given; the first is opened").arg(photos.size()));
        if (!photos.isEmpty()) {
            const QString photo = QFileInfo(photos.constFirst()).absoluteFilePath();
            QTimer::singleShot(0, window.viewController(),
                               [controller = window.viewController(), photo] { controller->openPhotoWhenReady(photo); });
        }
        code = app.exec();
    }
    // The window and its screens are gone; the new run starts afresh.
    if (relaunch && !QProcess::startDetached(QCoreApplication::applicationFilePath(), {}))
        CommLog::E(QStringLiteral("Cutora could not start again: ") + QCoreApplication::applicationFilePath());
    return code;
}

void AppDelegate::applicationDidFinishLaunching() {}

void AppDelegate::applicationWillTerminate() {}

AppDelegate::TerminateReply AppDelegate::applicationShouldTerminate()
{
    return TerminateReply::TerminateNow;
}
