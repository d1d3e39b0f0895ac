#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "genapi/ICategory.h"

namespace vexo::genicam {

// The nodes a category lists, in its order.
std::vector<GenApi::INode *> CategoryMembers(GenApi::ICategory &category);

// Visits what a category lists, depth first in the categories' order and
// without recursion: a nested category's members come right after it. Each
// node is visited once, and only when the seen set does not hold it yet (the
// walk adds it); categories deeper than maxDepth below the root are visited
// but not entered. path is the categories from the root down to the one that
// lists the node, joined by "/".
void WalkCategory(GenApi::INode &root, std::unordered_set<const GenApi::INode *> &seen, size_t maxDepth,
                  const std::function<void(GenApi::INode &node, const std::string &path)> &visit);

}  // namespace vexo::genicam
