#pragma once
// The band values of an equalizer preset file (*.zveq): section "eq", keys
// "f" + centre frequency, whole dB; a missing, unparsable or out-of-range
// (beyond -15..15) value reads as 0.

#include <array>
#include <string>

// Throws AppError when the file cannot be read.
std::array<float, 10> ReadEqPresetBands(const std::string& path);
