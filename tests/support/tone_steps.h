#pragma once

#include "support/signal.h"

#include <vector>

namespace zvtest {

// Tones of equal length one after the other, in every channel: a cut of it
// shows by its frequencies which part of the source it took.
Signal toneSteps(const std::vector<double>& hz, double secondsEach, int rate = 44100, int channels = 2,
    double amplitude = 0.5);

} // namespace zvtest
