#pragma once

#include <QString>

#include <optional>

// The batch screen's lines that are made of numbers, in the application's
// language.
namespace KSBatchTexts {

// "About 3 min left": whole minutes from 90 s on (rounded up, so that the
// estimate is not beaten by its own rounding), else seconds by fives; empty
// without an estimate.
[[nodiscard]] QString timeLeft(std::optional<double> seconds);
// "4 of 12 done", with ", 1 failed" when some failed.
[[nodiscard]] QString progress(int done, int total, int failed);

} // namespace KSBatchTexts
