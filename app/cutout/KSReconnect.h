#pragma once

#include "KSNetError.h"

#include <QString>

#include <chrono>
#include <functional>

// How the cut-out client rides out the loss of its service. When the program
// that runs the built-in service ends, its requests under way fail with a
// lost connection and the next ones are refused until another program (this
// one, or another on the same data folder) has taken the service over and
// the address is known again. A step that lost its connection is therefore
// sent again an interval later, to the address read anew, until a bound;
// anything else (a time-out, an answer, a bad reply) is not repeated.
namespace KSReconnect {

struct Policy
{
    std::chrono::milliseconds interval{250};
    // How long one step may go without its service before the job fails.
    std::chrono::milliseconds bound{20000};
};

void setPolicy(const Policy &policy);
[[nodiscard]] Policy policy();

// Whether a step after `retriesBefore` retries that failed with error is
// sent again.
[[nodiscard]] bool shouldRetry(const KSNetError &error, int retriesBefore);

// Whether the job still wants the step: false once it was cancelled.
using StillWanted = std::function<bool()>;

// Logs that the step lost its service and runs retry on the main queue an
// interval later, unless wanted() says no by then.
void later(const QString &step, StillWanted wanted, std::function<void()> retry);

} // namespace KSReconnect
