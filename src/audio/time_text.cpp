#include "audio/time_text.h"

#include "audio/app_error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>

namespace {

[[noreturn]] void throwInvalid(const std::string& text)
{
    throw AppError("“" + text + "”不是有效的时间");
}

// Saturates far above any 32-bit millisecond count, so overlong texts
// cannot wrap around into a valid time.
bool parseDigits(std::string_view digits, std::uint64_t& value)
{
    constexpr std::uint64_t saturation = 1'000'000'000'000;
    if (digits.empty())
        return false;
    value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = std::min(value * 10 + static_cast<std::uint64_t>(c - '0'), saturation);
    }
    return true;
}

} // namespace

std::string MsToTimeText(std::uint32_t ms)
{
    const std::uint32_t s = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%.2u:%.2u.%.3u", s / 60, s % 60, ms % 1000);
    return text;
}

std::uint32_t TimeTextToMs(const std::string& text)
{
    const std::string_view view(text);
    const std::size_t n = view.size();
    if (n < 9)
        throwInvalid(text);
    std::uint64_t minutes = 0, seconds = 0, millis = 0;
    if (!parseDigits(view.substr(0, n - 7), minutes) || !parseDigits(view.substr(n - 6, 2), seconds)
        || !parseDigits(view.substr(n - 3, 3), millis))
        throwInvalid(text);
    const std::uint64_t ms = minutes * 60000 + seconds * 1000 + millis;
    if (ms > std::numeric_limits<std::uint32_t>::max())
        throwInvalid(text);
    return static_cast<std::uint32_t>(ms);
}

std::string SecondsToTimeText(std::int32_t seconds)
{
    char text[32];
    if (seconds / 3600 > 0)
        std::snprintf(
            text, sizeof text, "%.2d:%.2d:%.2d", seconds / 3600, (seconds % 3600) / 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%.2d:%.2d", seconds / 60, seconds % 60);
    return text;
}

std::uint32_t SecondsTextToMs(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return 0;
    std::string_view number(text);
    number = number.substr(first, text.find_last_not_of(' ') + 1 - first);
    if (number.front() == '+')
        number.remove_prefix(1);
    double seconds = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), seconds);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(seconds))
        return 0;
    const double ms = std::trunc(seconds * 1000);
    if (ms < 0 || ms > std::numeric_limits<std::uint32_t>::max())
        return 0;
    return static_cast<std::uint32_t>(ms);
}
