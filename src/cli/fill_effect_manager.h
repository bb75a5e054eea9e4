#pragma once

#include "cli_options.h"
#include "effects/effect_manager.h"

// Fills a manager as the window's effect group does: the master switch first,
// then each effect given. No effect option leaves the manager disabled.
// Throws AppError when the equalizer preset file cannot be read.
void FillEffectManager(TEffectManager& effects, const TEffectOptions& options);
