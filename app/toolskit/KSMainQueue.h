#pragma once

#include <functional>

// The "main queue": the thread of the application's event loop, with a
// QApplication or a plain QCoreApplication alike. Work handed over here runs
// later, in order, never inside the call that handed it over.
class KSMainQueue
{
public:
    static void async(std::function<void()> work);
    // Runs the work on the main thread after the delay (0 or less: as async).
    static void after(double seconds, std::function<void()> work);
    [[nodiscard]] static bool isMainThread();
};
