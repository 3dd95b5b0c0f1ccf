// NetworkRTT: the host's network render-to-texture submission. The scene,
// with its selection and every node's bake settings, is saved as a
// snapshot into the job folder (the file property RTT_Default_Path), and
// one job that runs the render server on that snapshot goes to the farm.
#pragma once

#include "host/maxnet.h"

#include <string>

class StandaloneCore;

// Submits the selection; false (with a message box naming the cause) when
// nothing is selected, the folder is missing or the farm refuses the job.
bool NetworkRTT(StandaloneCore& core);
