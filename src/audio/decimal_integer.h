#pragma once
// Integers as the program's INI files hold them.

#include <optional>
#include <string_view>

// A decimal integer with an optional sign and nothing else around it;
// nothing for any other text, an empty one included.
std::optional<int> ParseDecimalInteger(std::string_view text);
