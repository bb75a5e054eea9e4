#pragma once

#include "cli_options.h"

// Cuts as the window does, then prints the written path. Needs an initialised
// engine. Returns the exit code: 0 only when the output was written
// completely. Throws AppError.
int RunCut(const TCutOptions& options);
