// Keeps the user's selection across the renders of a bake: each render
// selects what it bakes, and the selection (and its lock) comes back after.
#pragma once

#include "host/inode.h"

#include <vector>

class BakeSelection {
  public:
    // The node (or the nodes, in order) replace the selection.
    void SelectOne(INode* node);
    void SelectList(const std::vector<INode*>& nodes);
    // The caddy of the map replaces the selection; when there is none the
    // selection stays empty, the failure is reported and false returned.
    bool SelectCaddy(int mapIndex);
    // Puts back the selection and lock found before the first change; does
    // nothing when nothing was changed since the last restore.
    void Restore();

  private:
    void Select(const std::vector<INode*>& nodes);

    std::vector<INode*> saved_;
    bool frozen_ = false;
    bool recorded_ = false;
};
