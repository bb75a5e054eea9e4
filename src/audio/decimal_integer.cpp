#include "audio/decimal_integer.h"

#include <charconv>

std::optional<int> ParseDecimalInteger(std::string_view text)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    // from_chars takes a minus sign but no plus sign.
    if (text.size() > 1 && text[0] == '+' && text[1] != '-')
        ++begin;
    int result = 0;
    const auto [stop, failure] = std::from_chars(begin, end, result);
    if (begin == end || failure != std::errc() || stop != end)
        return std::nullopt;
    return result;
}
