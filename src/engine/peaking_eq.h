#pragma once
// Peaking equalizer: any number of bands, each a peaking biquad ("Audio EQ
// Cookbook") with its own centre, bandwidth in octaves and gain.
//
// Not thread-safe: the engine serialises parameter calls with the data path
// of the channel that carries the effect.

#include "engine/effect.h"
#include "engine/engine.h"

#include <vector>

namespace zv::engine {

class PeakingEq final : public Effect {
public:
    // Adds the band or replaces the one with the same index; the change takes
    // effect on the next processed block, keeping the filter's state.
    // Pre: band.band >= 0, centre and bandwidth finite and above 0, gain finite.
    void setBand(const EqBand& band);
    // Fills band with the parameters of the band whose index band.band holds;
    // false when no such band was set.
    bool getBand(EqBand& band) const;

    void process(float* samples, std::size_t frames, int channels, int rate) override;

private:
    // Direct form I: the history is the same for every coefficient set, so a
    // coefficient swap is the only discontinuity a change brings.
    struct History {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    };
    struct Band {
        EqBand params;
        // Normalised by a0. Not active: the band passes the sound through
        // (0 dB, centre at or above Nyquist, or a filter that would not be stable).
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
        bool active = false;
        bool stale = true; // coefficients not yet computed for the current rate
        std::vector<History> history; // one per channel
    };

    void design(Band& band, int rate) const;
    // Filters channels channel .. channel + Lanes - 1 of the planar block.
    template <std::size_t Lanes>
    static void filter(Band& band, std::size_t channel, double* planar, std::size_t frames);

    std::vector<Band> m_bands; // in the order they were first set
    int m_rate = 0;
    int m_channels = 0;
    std::vector<double> m_scratch; // the block being processed, one channel after another
};

} // namespace zv::engine
