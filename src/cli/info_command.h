#pragma once

#include <string>

// Prints length_ms, rate, channels and format of source, one per line.
// Needs an initialised engine. Returns the exit code; throws AppError.
int RunInfo(const std::string& source);
