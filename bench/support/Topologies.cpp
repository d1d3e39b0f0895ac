#include "Topologies.h"

#include <stdexcept>

namespace nox_bench {
namespace {

std::string CameraKeys() { return R"("control_packet_size": )" + std::to_string(kControlPacketSize); }

// Integer features over a read-only register the camera has (SensorWidth).
std::string GeneratedFeature(size_t index) {
    const std::string name = "BenchFeature" + std::to_string(index);
    return "  <Integer Name=\"" + name + "\" NameSpace=\"Custom\">\n"
           "    <ToolTip>Generated feature " + std::to_string(index) + " for scale measurements</ToolTip>\n"
           "    <DisplayName>" + name + "</DisplayName>\n"
           "    <Visibility>Guru</Visibility>\n"
           "    <pValue>" + name + "Reg</pValue>\n"
           "    <Min>0</Min>\n"
           "    <Max>65535</Max>\n"
           "  </Integer>\n"
           "  <IntReg Name=\"" + name + "Reg\" NameSpace=\"Custom\">\n"
           "    <Address>0x6000</Address>\n"
           "    <Length>4</Length>\n"
           "    <AccessMode>RO</AccessMode>\n"
           "    <pPort>Device</pPort>\n"
           "    <Sign>Unsigned</Sign>\n"
           "    <Endianess>BigEndian</Endianess>\n"
           "  </IntReg>\n";
}

}  // namespace

std::string DefaultBoardWithDescription(const std::string &descriptionPath, bool zip, Timing timing) {
    const std::string xml = descriptionPath.empty() ? std::string()
                                                    : R"(, "xml": {"file": ")" + descriptionPath + R"(", "zip": )" +
                                                          (zip ? "true" : "false") + "}";
    return R"({"boards": [{"model": "cxp4-c", )" + std::string(timing == Timing::kInstant ? R"("timing": false, )" : "") +
           R"("applet": {"operators": [[0, 1], [2], [3]]}, "cameras": [)"
           R"({"links": [0, 1], )" + CameraKeys() + xml + R"(},)"
           R"({"links": [2], "speeds": [1250, 2500, 3125, 5000, 6250], )" + CameraKeys() + "}]}]}";
}

std::string DefaultBoard(Timing timing) { return DefaultBoardWithDescription("", true, timing); }

std::string FullBoards(uint32_t boards) {
    std::string cameras;
    for (uint32_t port = 0; port < 4; ++port)
        cameras += std::string(port ? ", " : "") + R"({"links": [)" + std::to_string(port) + "], " + CameraKeys() + "}";
    std::string json = R"({"boards": [)";
    for (uint32_t board = 0; board < boards; ++board)
        json += std::string(board ? ", " : "") + R"({"model": "cxp4-c", "cameras": [)" + cameras + "]}";
    return json + "]}";
}

std::string LargeDescription(const std::string &builtIn, size_t bytes) {
    const std::string end = "</RegisterDescription>";
    const size_t at = builtIn.rfind(end);
    if (at == std::string::npos) throw std::runtime_error("the camera's description has no end tag");
    std::string generated;
    for (size_t index = 0; builtIn.size() + generated.size() < bytes; ++index) generated += GeneratedFeature(index);
    return builtIn.substr(0, at) + generated + builtIn.substr(at);
}

}  // namespace nox_bench
