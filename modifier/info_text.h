// The text of the modifier's Info rollout: one paragraph per set, in
// ascending group key order.
#pragma once

#include <string>

class VellumarModifier;

std::string InfoText(const VellumarModifier& mod);
