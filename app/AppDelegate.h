#pragma once

// The application's start and end. Nothing is saved at exit: every setting
// is written when it changes.
class AppDelegate
{
public:
    enum class TerminateReply { TerminateNow, TerminateCancel };

    // Runs the application with its main window until it quits; the exit
    // code of the event loop.
    static int applicationMain(int &argc, char **argv);

    static void applicationDidFinishLaunching();
    static void applicationWillTerminate();
    static TerminateReply applicationShouldTerminate();
};
