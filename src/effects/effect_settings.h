#pragma once
// Constants shared by the effect managers, the cut job and the equalizer window.

#include <array>
#include <cstdint>

struct TEqBandInfo {
    int CentreHz;
    float BandwidthOctaves;
};

// The ten equalizer bands, lowest first. The centre frequencies also name the
// bands in preset files, preferences and labels.
inline constexpr std::array<TEqBandInfo, 10> EqBandTable { {
    { 70, 2.5f },
    { 180, 1.5f },
    { 320, 1.0f },
    { 600, 1.0f },
    { 1000, 1.0f },
    { 3000, 1.0f },
    { 6000, 1.0f },
    { 12000, 0.8f },
    { 14000, 0.3f },
    { 16000, 0.2f },
} };

// Every fade starts from or ends at this linear level (-40 dB), never at 0.
inline constexpr float FadeFloorLevel = 0.01f;
// Bytes the cut job reads per block; the decode fades step once per block.
inline constexpr std::uint32_t CutBlockBytes = 2000;
