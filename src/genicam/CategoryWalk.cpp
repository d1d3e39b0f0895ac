#include "genicam/CategoryWalk.h"

#include "genapi/GenApi.h"

namespace vexo::genicam {

std::vector<GenApi::INode *> CategoryMembers(GenApi::ICategory &category) {
    GenApi::FeatureList_t features;
    category.GetFeatures(features);
    std::vector<GenApi::INode *> members;
    for (GenApi::IValue *feature : features)
        if (feature != nullptr && feature->GetNode() != nullptr) members.push_back(feature->GetNode());
    return members;
}

void WalkCategory(GenApi::INode &root, std::unordered_set<const GenApi::INode *> &seen, size_t maxDepth,
                  const std::function<void(GenApi::INode &node, const std::string &path)> &visit) {
    GenApi::CCategoryPtr top = &root;
    if (!top.IsValid()) return;
    // One pending member list per open category, innermost last.
    struct Open {
        std::string path;  // of the members
        std::vector<GenApi::INode *> members;
        size_t next = 0;
    };
    std::vector<Open> open{{std::string(root.GetName()), CategoryMembers(*top), 0}};
    while (!open.empty()) {
        Open &last = open.back();
        if (last.next == last.members.size()) {
            open.pop_back();
            continue;
        }
        GenApi::INode *node = last.members[last.next++];
        if (!seen.insert(node).second) continue;
        const std::string path = last.path;
        visit(*node, path);
        if (GenApi::CCategoryPtr category = node; category.IsValid() && open.size() <= maxDepth)
            open.push_back({path + "/" + std::string(node->GetName()), CategoryMembers(*category), 0});
    }
}

}  // namespace vexo::genicam
