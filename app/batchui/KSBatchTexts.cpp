#include "KSBatchTexts.h"

#include "CommLang.h"

#include <cmath>

namespace KSBatchTexts {

namespace {
QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

// Below this many seconds the estimate is said in seconds.
constexpr double kSecondsShown = 90.0;
constexpr int kSecondStep = 5;
} // namespace

QString timeLeft(std::optional<double> seconds)
{
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0)
        return {};
    if (*seconds >= kSecondsShown)
        return lang("BatchMinutesLeft").arg(int(std::ceil(*seconds / 60.0)));
    const int rounded = std::max(kSecondStep, int(std::ceil(*seconds / kSecondStep)) * kSecondStep);
    return lang("BatchSecondsLeft").arg(rounded);
}

QString progress(int done, int total, int failed)
{
    QString text = lang("BatchProgress").arg(done).arg(total);
    if (failed > 0)
        text += lang("BatchProgressFailed").arg(failed);
    return text;
}

} // namespace KSBatchTexts
