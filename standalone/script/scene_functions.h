// The scene side of the script language on this host: making mesh objects
// and standard materials, finding nodes by handle or by $name, attaching
// meshes, projection modifiers, node properties and the node's projection
// bake properties.
#pragma once

class StandaloneCore;

// Installs the functions and struct globals (mesh, standard, maxOps,
// meshop, Projection, addModifier) and the $name lookup into the core's
// script environment.
void InstallSceneFunctions(StandaloneCore& core);
