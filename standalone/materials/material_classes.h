// The material and texture map classes the host offers.
#pragma once

#include "host/class_desc.h"

#include <vector>

std::vector<ClassDesc*> MaterialClassDescs();
