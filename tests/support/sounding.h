#pragma once
// What a captured device stream sounded, without its silences.

#include "support/signal.h"

namespace zvtest {

// The frames of played (stereo) without the device's silence before,
// between and after sounds, nor gaps a busy machine may leave: runs of at
// least 16 frames whose samples are all 0. A shorter silent run inside a
// sound (a waveform's zero crossing) stays.
Signal sounding(const Signal& played);

} // namespace zvtest
