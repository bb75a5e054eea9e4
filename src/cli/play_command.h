#pragma once

#include "cli_options.h"

// Plays the range through the default device with the effects, as the effect
// preview does, and returns when the range has ended. Needs an engine
// initialised on a sound device. Returns the exit code. Throws AppError.
int RunPlay(const TPlayOptions& options);
