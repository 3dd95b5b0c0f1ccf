// The material and texture map classes the host offers, in its directory
// order.
#pragma once

#include "host/class_desc.h"

#include <vector>

std::vector<ClassDesc*> MaterialClassDescs();
