#include "AppDelegate.h"

#include "CommLog.h"
#include "KSMainViewController.h"
#include "KSMainWindow.h"
#include "KSSingleInstance.h"
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

    // Photos and folders named on the command line (a file manager's "Open
    // with"): one photo is cut out, several or a folder make a batch.
    QStringList photos = KSStartOptions::photoArguments(QCoreApplication::arguments());
    for (QString &photo : photos)
        photo = QFileInfo(photo).absoluteFilePath();

    bool relaunch = false;
    int code = 0;
    {
        // A window already open takes the photos and comes to the front.
        KSSingleInstance instance;
        if (!instance.listen()) {
            if (instance.handOver(photos))
                return 0;
            CommLog::E(QStringLiteral("the open window did not answer; this start opens its own"));
        }
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

        if (!photos.isEmpty()) {
            QTimer::singleShot(0, window.viewController(), [controller = window.viewController(), photos] {
                controller->openPhotosWhenReady(photos);
            });
        }
        QObject::connect(&instance, &KSSingleInstance::activationRequested, &window, [&window](const QStringList &given) {
            window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
            window.show();
            window.raise();
            window.activateWindow();
            window.viewController()->openPhotosWhenReady(given);
        });
        code = app.exec();
    }
    // The socket is closed by now: the new run becomes the open window.
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
