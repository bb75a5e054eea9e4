#pragma once
// The program's time texts: points as mm:ss.zzz (three or more minute digits
// from 100 minutes on), durations as mm:ss or hh:mm:ss.

#include <cstdint>
#include <string>

std::string MsToTimeText(std::uint32_t ms);
// Reads a point text: the minutes are everything before the last seven
// characters, then two digits of seconds, a separator, three digits of
// milliseconds. The separators are not examined and seconds above 59 are
// accepted ("00:75.000" is 75000 ms). Throws AppError when a part is empty
// or not all decimal digits (an edit still holding blanks) or when the
// result does not fit 32 bits.
std::uint32_t TimeTextToMs(const std::string& text);

std::string SecondsToTimeText(std::int32_t seconds);
// Decimal seconds with "." as the point ("1.5" -> 1500), truncated to whole
// ms; 0 when the text is not such a number or is out of range.
std::uint32_t SecondsTextToMs(const std::string& text);
