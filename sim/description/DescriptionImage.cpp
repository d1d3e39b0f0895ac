#include "description/DescriptionImage.h"

#include <fstream>
#include <iterator>

#include "description/CameraDescription.h"
#include "description/ZipArchive.h"

namespace vexo::sim {
namespace {

bool IsZipArchive(const std::vector<uint8_t> &bytes) {
    return bytes.size() >= 4 && bytes[0] == 0x50 && bytes[1] == 0x4B && bytes[2] == 0x03 && bytes[3] == 0x04;
}

std::variant<DescriptionHandle, std::string> MakeImage(std::string name, std::vector<uint8_t> bytes, bool zip) {
    if (!zip || IsZipArchive(bytes))
        return std::make_shared<const DescriptionImage>(DescriptionImage{std::move(name), std::move(bytes)});
    std::optional<std::vector<uint8_t>> archive = ZipOneEntry(name, bytes);
    if (!archive) return std::string("cannot zip description \"" + name + "\"");
    const std::string stem = std::filesystem::path(name).stem().string();
    return std::make_shared<const DescriptionImage>(DescriptionImage{stem + ".zip", std::move(*archive)});
}

DescriptionHandle BuiltIn(DescriptionFlavour flavour, bool zip) {
    static const auto build = [](DescriptionFlavour of, bool zipped) {
        const std::string &text = BuiltInDescriptionText(of);
        auto image = MakeImage(std::string(BuiltInDescriptionName(of)) + ".xml", {text.begin(), text.end()}, zipped);
        return std::get<DescriptionHandle>(std::move(image));
    };
    static const DescriptionHandle images[2][2] = {
        {build(DescriptionFlavour::CoaXPress, false), build(DescriptionFlavour::CoaXPress, true)},
        {build(DescriptionFlavour::GenCp, false), build(DescriptionFlavour::GenCp, true)}};
    return images[flavour == DescriptionFlavour::GenCp][zip];
}

std::variant<std::vector<uint8_t>, std::string> ReadBounded(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::string("cannot open description file \"" + path.string() + "\"");
    std::vector<uint8_t> bytes;
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + file.gcount());
        if (bytes.size() > kMaxDescriptionBytes)
            return std::string("description file \"" + path.string() + "\" is larger than 16 MiB");
    }
    if (bytes.empty()) return std::string("description file \"" + path.string() + "\" is empty");
    return bytes;
}

}  // namespace

std::variant<DescriptionHandle, std::string> LoadDescription(const DescriptionSource &source,
                                                             const std::filesystem::path &baseFolder,
                                                             DescriptionFlavour flavour) {
    if (!source.file) return BuiltIn(flavour, source.zip);
    std::filesystem::path path(*source.file);
    if (path.is_relative()) path = baseFolder / path;
    auto bytes = ReadBounded(path);
    if (auto *error = std::get_if<std::string>(&bytes)) return std::move(*error);
    return MakeImage(path.filename().string(), std::get<std::vector<uint8_t>>(std::move(bytes)), source.zip);
}

}  // namespace vexo::sim
