#pragma once
// The command line of zelvora-cli: parsing and checking, nothing else.

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A command line that cannot be run as given; the CLI exits with 2.
class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The effect options cut and play share; each one given switches its effect on.
struct TEffectOptions {
    std::optional<float> GainDb;
    std::optional<float> TempoPercent;
    std::optional<std::uint32_t> FadeInMs;
    std::optional<std::uint32_t> FadeOutMs;
    std::optional<std::array<float, 10>> EqBands;
    std::string EqPresetFile;

    bool HasEffects() const;
};

struct TCutOptions : TEffectOptions {
    std::string Source;
    std::string Output;
    std::uint32_t StartMs = 0;
    std::uint32_t EndMs = 0;
    std::string Format = "mp3";
    int Bitrate = 128;
    bool Force = false;
};

struct TPlayOptions : TEffectOptions {
    std::string Source;
    std::uint32_t StartMs = 0;
    std::optional<std::uint32_t> EndMs; // none: the end of the source
};

// The text --help prints.
std::string UsageText();
// The reminder shown with a usage error.
std::string ShortUsageText();
// True when the arguments ask for help (before any "--").
bool WantsHelp(const std::vector<std::string>& args);
// Arguments after the command word. Throw TUsageError.
std::string ParseInfoOptions(const std::vector<std::string>& args);
TCutOptions ParseCutOptions(const std::vector<std::string>& args);
TPlayOptions ParsePlayOptions(const std::vector<std::string>& args);
