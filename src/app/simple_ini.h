#pragma once
// SimpleIni as a header-only library. Plain char storage needs no conversion
// library, and Debian's packaging hides the template bodies behind
// SI_IMPLEMENTATION (upstream's header ignores the macro): every user must see
// them, or an optimised build finds no instantiation to link against.

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>
