#include "KSJobProgress.h"

#include <algorithm>
#include <cmath>

double KSJobProgress::within(double start, double end, double fraction)
{
    if (!std::isfinite(fraction))
        fraction = 0.0;
    return start + (end - start) * std::clamp(fraction, 0.0, 1.0);
}
