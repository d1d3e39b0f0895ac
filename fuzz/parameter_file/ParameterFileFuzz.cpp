// Parameter files as users hand them over, applied to a fresh camera of every
// value kind (integer, float, boolean, string, enumeration, command, selectors)
// held in memory. The first input byte says whether loading stops at the first
// failure. Every line is applied or counted as failed, the kept failure texts
// stay within their bound, and no exception escapes.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "Finding.h"
#include "FuzzPort.h"
#include "ParameterDescription.h"
#include "genapi/GenApi.h"
#include "genicam/ParameterLoader.h"

using nox_fuzz::Require;
using vexo::genicam::ParameterLoader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    static const std::string description = nox_test::kParameterDescription;
    const std::unique_ptr<GenApi::INodeMap> map =
        GenApi::CNodeMapFactory(GenApi::ContentType_Xml, description.data(), description.size()).CreateNodeMap();
    nox_fuzz::FuzzPort port;
    map->Connect(&port, "Device");

    const std::string text(reinterpret_cast<const char *>(data) + 1, size - 1);
    std::istringstream file(text);
    const bool stopAtFirstFailure = data[0] & 1;
    const ParameterLoader::Result result = ParameterLoader(*map).Load(file, stopAtFirstFailure);

    const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    Require(result.applied + result.failed <= lines, "more outcomes than lines");
    Require(result.failures.size() == std::min<size_t>(result.failed, ParameterLoader::kMaxReportedFailures),
            "failure texts not kept as counted");
    Require(result.stopped == (stopAtFirstFailure && result.failed > 0), "stopped otherwise than asked");
    Require(!result.stopped || result.failed == 1, "went on after stopping");
    return 0;
}
