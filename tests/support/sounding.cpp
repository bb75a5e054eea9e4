#include "support/sounding.h"

namespace zvtest {

Signal sounding(const Signal& played)
{
    constexpr std::size_t MinGap = 16;
    Signal out { played.rate, 2, {} };
    const auto silentFrame = [&played](std::size_t i) {
        return played.samples[2 * i] == 0.0f && played.samples[2 * i + 1] == 0.0f;
    };
    std::size_t silentFrom = 0;
    std::size_t silent = 0;
    for (std::size_t i = 0; i < played.frames(); ++i) {
        if (silentFrame(i)) {
            if (silent++ == 0)
                silentFrom = i;
            continue;
        }
        const auto keepFrom = silent > 0 && silent < MinGap && !out.samples.empty() ? silentFrom : i;
        out.samples.insert(
            out.samples.end(), played.samples.begin() + 2 * keepFrom, played.samples.begin() + 2 * (i + 1));
        silent = 0;
    }
    return out;
}

} // namespace zvtest
