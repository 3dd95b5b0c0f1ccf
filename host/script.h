// Script execution: the host runs a script text and says whether it went
// through. With quietErrors set, an error is only returned, not shown.
#pragma once

#include "host/max_types.h"

struct FPValue;

BOOL ExecuteMAXScriptScript(const MCHAR* s, BOOL quietErrors = 0, FPValue* fpv = nullptr);
