// Bake elements as the command line spells them: "CLASS[:NAME=VALUE,...]"
// to choose one, and readable lines to show one.
#pragma once

#include "bake/bake_element.h"

#include <string>

// A new entry of the offered class named in `choice`, with the parameters it
// names set. On failure returns false and says why in `error`, naming the
// valid classes or parameters.
bool ParseElementChoice(const std::string& choice, BakeElementEntry& entry, std::string& error);

// "W" or "WxH" in pixels, each 1..16384.
bool ParseElementSize(const std::string& text, int& width, int& height);

// The parameter's type as users read it: "float", "int", "flag", "colour",
// or "type N (not supported)".
std::string ParamTypeText(const BakeParam& p);
// Its value ("0.8", "16", "true", "1 1 1"); "-" for a type without one.
std::string ParamValueText(const BakeParam& p);
// Its range ("1..1024"), or "" when it has none.
std::string ParamRangeText(const BakeParam& p);
