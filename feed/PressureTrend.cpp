#include "feed/PressureTrend.h"

namespace feed {

char PressureTrend(double nowHpa, double earlierHpa) {
    const double change = nowHpa - earlierHpa;
    if (change > kSteadyPressureBand)
        return '1';
    if (change < -kSteadyPressureBand)
        return '2';
    return '0';
}

} // namespace feed
