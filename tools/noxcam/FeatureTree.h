#pragma once
// The features of a camera description as noxcam lists them: the category tree, each feature's
// kind, its access as the description fixes it, and its visibility. Parsed from the description
// text alone; current values come from the camera (FeatureValues.h).
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace noxcam {

enum class FeatureKind { kCategory, kInteger, kFloat, kBoolean, kEnumeration, kString, kCommand, kRegister, kOther };
enum class Access { kNotImplemented, kNotAvailable, kWriteOnly, kReadOnly, kReadWrite };
enum class Visibility { kBeginner, kExpert, kGuru, kInvisible };

struct FeatureNode {
    std::string name;
    FeatureKind kind = FeatureKind::kOther;
    Access access = Access::kNotImplemented;
    Visibility visibility = Visibility::kBeginner;
    std::string unit;
    std::vector<std::string> features;  // a category's members, in order
    std::vector<std::string> entries;   // an enumeration's entry names
};

class FeatureTree {
public:
    // The tree, or why the text is no description.
    static std::variant<FeatureTree, std::string> Parse(std::string_view description);

    const FeatureNode *Find(const std::string &name) const;
    // "Root", or the first category no other category lists.
    const std::string &RootCategory() const { return root_; }

private:
    std::map<std::string, FeatureNode> nodes_;
    std::string root_;
};

const char *KindName(FeatureKind kind);
const char *AccessName(Access access);  // "NI", "NA", "WO", "RO", "RW"

}  // namespace noxcam
