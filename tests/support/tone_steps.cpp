#include "support/tone_steps.h"

namespace zvtest {

Signal toneSteps(const std::vector<double>& hz, double secondsEach, int rate, int channels, double amplitude)
{
    Signal out { rate, channels, {} };
    for (double f : hz) {
        const Signal part = sine(f, secondsEach, rate, channels, amplitude);
        out.samples.insert(out.samples.end(), part.samples.begin(), part.samples.end());
    }
    return out;
}

} // namespace zvtest
