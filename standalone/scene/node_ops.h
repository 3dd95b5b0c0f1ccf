// Edits of the standalone scene a user makes in a host: copying a node,
// collapsing its stack, deleting a modifier.
#pragma once

#include "standalone/scene/scene.h"

// The node's evaluated object at time t as a triangle mesh (copied into
// out); false when the node is no mesh.
bool EvaluatedMesh(INode* node, TimeValue t, Mesh& out);

// A copy of the node (transform, user properties, its object and every
// modifier cloned through the host's Clone), added to the scene.
SceneNode* CloneNode(Scene& scene, SceneNode* node, const std::wstring& name);

// Replaces the node's pipeline by a copy of what it evaluates to, telling
// each modifier of the stack (NotifyPostCollapse) before it goes.
void CollapseStack(SceneNode* node, TimeValue t);

// The modify panel shows an object of a node's stack; before a node goes or
// its stack collapses, the panel closes, so that it never holds an object
// that is gone.
void CloseModifyPanel();

// The named selection sets changed: the open utility hears of it, as of a
// change of the selection.
void NamedSetsChanged();

// Removes mod from whichever derived object of the node's pipeline holds it,
// with the modifier-deleted notifications; a derived object left without
// modifiers is taken out of the pipeline. 0 when the node has no such
// modifier.
int DeleteModifierFromNode(INode& node, Modifier& mod);
