#pragma once
// Private to src/genapi.
#include <cstddef>
#include <cstdint>
#include <string>

#include "genapi/DescriptionFacts.h"

namespace vexo::genicam::genapi {

// The gate a description passes before the interpreter sees it. The
// interpreter trusts its input: a negative register length aborts the
// process, a reference to a node of the wrong kind returns 0 as a value, a
// reference cycle overflows the stack. The check refuses, with the reason, a
// description that breaks any of these rules:
//
//   size        1 byte to kMaxSize
//   syntax      well-formed XML, no document type declaration, root element
//               RegisterDescription
//   nesting     elements at most kMaxNesting deep
//   node kinds  every node is of a kind the interpreter serves
//   lengths     register Length 1 to kMaxRegisterLength bytes (integer
//               registers 1 to 8, float registers 4 or 8); no pLength, whose
//               run-time answer the interpreter would allocate unchecked
//   addresses   every Address 0 to kMaxAddress, and their sum too
//   bits        LSB, MSB and Bit 0 to 63
//   references  every pXxx element names a node that exists (a category's
//               pFeature may name none: the category leaves it out), of a
//               kind that can answer it (pPort a Port, pValue of a String a
//               text, numbers numbers)
//   cycles      no node's value depends on itself through its references
//   depth       no chain of value references longer than kMaxReferenceDepth
// An accepted description: its facts, and its text as the interpreter is to
// read it (the same nodes without blanks, comments, texts for people or
// elements it skips).
struct CheckedDescription {
    DescriptionFacts facts;
    std::string text;
};

class DescriptionCheck {
public:
    static constexpr size_t kMaxSize = size_t{64} << 20;
    static constexpr int kMaxNesting = 32;
    static constexpr int64_t kMaxRegisterLength = int64_t{1} << 20;
    static constexpr uint64_t kMaxAddress = (uint64_t{1} << 48) - 1;
    static constexpr size_t kMaxReferenceDepth = 64;

    // An accepted description; InvalidDescriptionException with the reason
    // otherwise.
    static CheckedDescription Check(const void *description, size_t size);
};

}  // namespace vexo::genicam::genapi
