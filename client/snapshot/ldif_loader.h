#pragma once

// Reads an eDirectory LDIF export into a tree of the embedded directory.

#include "client/snapshot/snapshot_tree.h"

#include <memory>
#include <string>

namespace era {

// Loads file as the tree treeName. On failure gives nullptr and a message that names the file,
// the line and what was expected there; nothing of a file that fails is kept.
std::unique_ptr<TSnapshotTree> LoadLdifTree(const std::string& file, const std::string& treeName,
                                            std::string& error);

} // namespace era
