#include "genicam/DescriptionLoader.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "genapi/CNodeMapFactory.h"
#include "genapi/CNodeMapRef.h"
#include "genicam/CTransportLayer.h"
#include "model/NOXBoardInterface.h"
#include "model/NOXCameraInterface.h"

namespace vexo::genicam {

void DescriptionLoader::BlankEmptyToolTips(std::vector<uint8_t> &text) {
    static constexpr std::string_view kEmptyToolTip = "<ToolTip></ToolTip>";
    auto position = text.begin();
    while ((position = std::search(position, text.end(), kEmptyToolTip.begin(), kEmptyToolTip.end())) != text.end())
        position = std::fill_n(position, kEmptyToolTip.size(), ' ');
}

void DescriptionLoader::Load(NOXCameraInterface &camera, const uint8_t *data, size_t size, DescriptionLog &log) {
    auto nodeMap = std::make_unique<GenApi::CNodeMapRef>("Device");
    nodeMap->_Initialize(GenApi::CNodeMapFactory(GenApi::ContentType_Auto, data, size).CreateNodeMap("Device", true));
    log.Trace("[ConnectCamera     ] GenICam XML loaded into GenApi.");
    auto port = std::make_unique<CTransportLayer>(camera.Board(), camera.GetPortIndex());
    if (!nodeMap->_Connect(port.get(), "Device")) {
        // The camera must not keep a node map whose registers lead nowhere.
        camera.SetConnected(false);
        throw std::runtime_error("Failed to connect node map to transport layer");
    }
    camera.SetGenApiObjects(std::move(nodeMap), std::move(port));
    log.Trace("[ConnectCamera     ] Port interface registered to GenApi.");
}

}  // namespace vexo::genicam
