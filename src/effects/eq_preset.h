#pragma once
// One equalizer preset as a preset file holds it.

#include <array>
#include <string>
#include <vector>

struct TEqPreset {
    int Index = 100; // the file's own ordering hint; lists do not follow it
    std::string Name; // display name for the preset list
    std::array<int, 10> Bands {}; // whole dB, -15..15, in the band order of EqBandTable
};

// Presets in the order they were found.
using TEqPresetArray = std::vector<TEqPreset>;
