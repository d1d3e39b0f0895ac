#include "description/CameraDescription.h"

#include <cstdio>
#include <initializer_list>
#include <vector>

#include "camera/FeatureRegisters.h"
#include "protocol/CxpBootstrap.h"
#include "protocol/GenCp.h"

namespace vexo::sim {
namespace {

namespace fa = feature_address;
namespace bootstrap = protocol::cxp::bootstrap;

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string Element(std::string_view name, std::string_view value) {
    return "    <" + std::string(name) + ">" + std::string(value) + "</" + std::string(name) + ">\n";
}

std::string Open(std::string_view type, std::string_view name, bool standard) {
    return "  <" + std::string(type) + " Name=\"" + std::string(name) + "\" NameSpace=\"" +
           (standard ? "Standard" : "Custom") + "\">\n";
}

std::string Close(std::string_view type) { return "  </" + std::string(type) + ">\n"; }

// Texts a user sees for a feature: tool tip, display name, visibility.
struct Presentation {
    std::string_view toolTip;
    std::string_view displayName;
    std::string_view visibility = "Beginner";
};

std::string Present(const Presentation &p) {
    return Element("ToolTip", p.toolTip) + Element("DisplayName", p.displayName) + Element("Visibility", p.visibility);
}

std::string_view AccessText(RegisterAccess access) {
    switch (access) {
        case RegisterAccess::ReadOnly: return "RO";
        case RegisterAccess::WriteOnly: return "WO";
        case RegisterAccess::ReadWrite: break;
    }
    return "RW";
}

// Where a value lives and how it is cached.
struct RegisterPlacement {
    uint32_t address;
    RegisterAccess access;
    std::string_view index = {};  // pIndex node: one register per index value, 4 bytes apart
    bool volatileValue = false;   // the camera changes it by itself
};

std::string RegisterBody(const RegisterPlacement &r, uint32_t length) {
    std::string body = Element("Address", Hex(r.address));
    if (!r.index.empty()) body += "    <pIndex Offset=\"4\">" + std::string(r.index) + "</pIndex>\n";
    body += Element("Length", std::to_string(length)) + Element("AccessMode", AccessText(r.access)) +
            Element("pPort", "Device") + Element("Cachable", r.volatileValue ? "NoCache" : "WriteThrough");
    return body;
}

std::string IntReg(std::string_view name, const RegisterPlacement &r) {
    return Open("IntReg", name, false) + RegisterBody(r, 4) + Element("Sign", "Unsigned") +
           Element("Endianess", "BigEndian") + Close("IntReg");
}

std::string FloatReg(std::string_view name, const RegisterPlacement &r, std::string_view unit) {
    return Open("FloatReg", name, false) + RegisterBody(r, 4) + Element("Endianess", "BigEndian") +
           Element("Unit", unit) + Close("FloatReg");
}

std::string StringReg(std::string_view name, const Presentation &p, uint32_t address, uint32_t length,
                      RegisterAccess access) {
    return Open("StringReg", name, true) + Present(p) + Element("Address", Hex(address)) +
           Element("Length", std::to_string(length)) + Element("AccessMode", AccessText(access)) +
           Element("pPort", "Device") + Close("StringReg");
}

std::string StringReg(std::string_view name, const Presentation &p, bootstrap::DeviceString field,
                      RegisterAccess access) {
    return StringReg(name, p, field.address, field.size, access);
}

// Where a camera keeps its device strings; a size of 0: it has no such string.
struct DeviceStrings {
    bootstrap::DeviceString vendor, model, family, manufacturerInfo, version, firmwareVersion, serial, userId;
};

constexpr DeviceStrings kCxpStrings{bootstrap::kDeviceVendorName,       bootstrap::kDeviceModelName,
                                    {fa::kDeviceFamilyName, 32},         bootstrap::kDeviceManufacturerInfo,
                                    bootstrap::kDeviceVersion,          bootstrap::kDeviceFirmwareVersion,
                                    bootstrap::kDeviceSerialNumber,     bootstrap::kDeviceUserId};

constexpr bootstrap::DeviceString GenCpString(uint32_t address) {
    return {address, protocol::gencp::bootstrap::kStringSize};
}

constexpr DeviceStrings kGenCpStrings{GenCpString(protocol::gencp::bootstrap::kDeviceVendorName),
                                      GenCpString(protocol::gencp::bootstrap::kDeviceModelName),
                                      GenCpString(protocol::gencp::bootstrap::kDeviceFamilyName),
                                      GenCpString(protocol::gencp::bootstrap::kDeviceManufacturerInfo),
                                      GenCpString(protocol::gencp::bootstrap::kDeviceVersion),
                                      {0, 0},
                                      GenCpString(protocol::gencp::bootstrap::kDeviceSerialNumber),
                                      GenCpString(protocol::gencp::bootstrap::kDeviceUserDefinedName)};

// The limits of an Integer or Float: each either a constant or a node.
struct Limits {
    std::string min{}, max{}, inc{};
    bool minIsNode = false, maxIsNode = false;
};

std::string LimitElements(const Limits &limits) {
    std::string body;
    if (!limits.min.empty()) body += Element(limits.minIsNode ? "pMin" : "Min", limits.min);
    if (!limits.max.empty()) body += Element(limits.maxIsNode ? "pMax" : "Max", limits.max);
    if (!limits.inc.empty()) body += Element("Inc", limits.inc);
    return body;
}

std::string Selected(std::initializer_list<std::string_view> selected) {
    std::string body;
    for (std::string_view name : selected) body += Element("pSelected", name);
    return body;
}

// An Integer feature over its own register.
std::string IntegerFeature(std::string_view name, const Presentation &p, const RegisterPlacement &r,
                           const Limits &limits, std::initializer_list<std::string_view> selected = {}) {
    const std::string reg = std::string(name) + "Reg";
    return Open("Integer", name, true) + Present(p) + Selected(selected) + Element("pValue", reg) +
           LimitElements(limits) + Close("Integer") + IntReg(reg, r);
}

std::string FloatFeature(std::string_view name, const Presentation &p, const RegisterPlacement &r, const Limits &limits,
                         std::string_view unit) {
    const std::string reg = std::string(name) + "Reg";
    return Open("Float", name, true) + Present(p) + Element("pValue", reg) + LimitElements(limits) +
           Element("Unit", unit) + Close("Float") + FloatReg(reg, r, unit);
}

struct EnumChoice {
    std::string_view name;
    uint32_t value;
};

std::string EnumerationFeature(std::string_view name, const Presentation &p, const RegisterPlacement &r,
                               const std::vector<EnumChoice> &choices,
                               std::initializer_list<std::string_view> selected = {}) {
    const std::string reg = std::string(name) + "Reg";
    std::string body = Open("Enumeration", name, true) + Present(p);
    for (const EnumChoice &choice : choices)
        body += "    <EnumEntry Name=\"" + std::string(choice.name) + "\" NameSpace=\"Standard\">\n  " +
                Element("Value", std::to_string(choice.value)) + "    </EnumEntry>\n";
    return body + Element("pValue", reg) + Selected(selected) + Close("Enumeration") + IntReg(reg, r);
}

std::string CommandFeature(std::string_view name, const Presentation &p, const RegisterPlacement &r) {
    const std::string reg = std::string(name) + "Reg";
    std::string body = Open("Command", name, true) + Present(p);
    // The command is executed by writing; reading the register tells whether it is done.
    if (r.access == RegisterAccess::ReadWrite) body += Element("ImposedAccessMode", "WO");
    return body + Element("pValue", reg) + Element("CommandValue", "1") + Close("Command") + IntReg(reg, r);
}

std::string BooleanFeature(std::string_view name, const Presentation &p, const RegisterPlacement &r) {
    const std::string reg = std::string(name) + "Reg";
    return Open("Boolean", name, true) + Present(p) + Element("pValue", reg) + Element("OnValue", "1") +
           Element("OffValue", "0") + Close("Boolean") + IntReg(reg, r);
}

// The largest size or offset that keeps the image inside the sensor.
std::string RemainderKnife(std::string_view name, std::string_view sensor, std::string_view other) {
    return Open("IntSwissKnife", name, false) + "    <pVariable Name=\"SENSOR\">" + std::string(sensor) +
           "</pVariable>\n    <pVariable Name=\"OTHER\">" + std::string(other) + "</pVariable>\n" +
           Element("Formula", "SENSOR - OTHER") + Close("IntSwissKnife");
}

std::string Category(std::string_view name, const Presentation &p, std::initializer_list<std::string_view> features) {
    std::string body = Open("Category", name, true) + Present(p);
    for (std::string_view feature : features) body += Element("pFeature", feature);
    return body + Close("Category");
}

std::string Header(DescriptionFlavour flavour) {
    const bool genCp = flavour == DescriptionFlavour::GenCp;
    return std::string(R"(<?xml version="1.0" encoding="utf-8"?>
<RegisterDescription ModelName=")") + (genCp ? "VirtualClCamera" : "VirtualCxpCamera") + R"(" VendorName="VexoVision"
  ToolTip="Simulated )" + (genCp ? "Camera Link" : "CoaXPress") + R"( camera of the vexo virtual frame grabber"
  StandardNameSpace="None" SchemaMajorVersion="1" SchemaMinorVersion="1" SchemaSubMinorVersion="0"
  MajorVersion="1" MinorVersion="0" SubMinorVersion="0"
  ProductGuid="5C1E8A3D-7F20-4B6C-9E1A-2D4F6B8C0E13" VersionGuid="A7D3C9E1-1B5F-4E2A-8C6D-3F9B0E7A5D24"
  xmlns="http://www.genicam.org/GenApi/Version_1_1"
  xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
  xsi:schemaLocation="http://www.genicam.org/GenApi/Version_1_1 http://www.genicam.org/GenApi/GenApiSchema_Version_1_1.xsd">
)";
}

std::string Categories(const DeviceStrings &strings) {
    return Category("Root", {"All features of the camera", "Root"},
                    {"DeviceControl", "ImageFormatControl", "AcquisitionControl", "AnalogControl", "SequencerControl",
                     "TransportLayerControl", "TestControl"}) +
           Category("DeviceControl", {"Identification and state of the device", "Device Control"},
                    strings.firmwareVersion.size
                        ? std::initializer_list<std::string_view>{"DeviceVendorName", "DeviceModelName", "DeviceFamilyName",
                                                                  "DeviceManufacturerInfo", "DeviceVersion",
                                                                  "DeviceFirmwareVersion", "DeviceSerialNumber",
                                                                  "DeviceUserID", "DeviceTemperature"}
                        : std::initializer_list<std::string_view>{"DeviceVendorName", "DeviceModelName", "DeviceFamilyName",
                                                                  "DeviceManufacturerInfo", "DeviceVersion",
                                                                  "DeviceSerialNumber", "DeviceUserID",
                                                                  "DeviceTemperature"}) +
           Category("ImageFormatControl", {"Size, position and format of the image", "Image Format Control"},
                    {"SensorWidth", "SensorHeight", "Width", "Height", "OffsetX", "OffsetY", "PixelFormat", "ReverseX"}) +
           Category("AcquisitionControl", {"Acquisition and triggering", "Acquisition Control"},
                    {"AcquisitionMode", "AcquisitionStart", "AcquisitionStop", "TriggerSelector", "TriggerMode",
                     "TriggerSource", "TriggerSoftware", "ExposureTime"}) +
           Category("AnalogControl", {"Analog amplification", "Analog Control"}, {"Gain"}) +
           Category("SequencerControl", {"Per-set acquisition settings", "Sequencer Control"},
                    {"SequencerSetSelector", "SequencerExposureTime"}) +
           Category("TransportLayerControl", {"Data transfer", "Transport Layer Control"}, {"PayloadSize"}) +
           Category("TestControl", {"Registers for testing hosts", "Test Control"},
                    {"TestWriteOnly", "TestFailingRegister"});
}

std::string DeviceFeatures(const DeviceStrings &strings) {
    const auto ro = RegisterAccess::ReadOnly;
    std::string features =
        StringReg("DeviceVendorName", {"Name of the manufacturer", "Vendor Name"}, strings.vendor, ro) +
        StringReg("DeviceModelName", {"Model of the device", "Model Name"}, strings.model, ro) +
        StringReg("DeviceFamilyName", {"Product family of the device", "Family Name"}, strings.family, ro) +
        StringReg("DeviceManufacturerInfo", {"Further information from the manufacturer", "Manufacturer Info"},
                  strings.manufacturerInfo, ro) +
        StringReg("DeviceVersion", {"Version of the device", "Device Version"}, strings.version, ro);
    if (strings.firmwareVersion.size)
        features += StringReg("DeviceFirmwareVersion", {"Version of the firmware", "Firmware Version"},
                              strings.firmwareVersion, ro);
    return features +
           StringReg("DeviceSerialNumber", {"Serial number of the device", "Serial Number"}, strings.serial, ro) +
           StringReg("DeviceUserID", {"Name the user gives the device", "User ID"}, strings.userId,
                     RegisterAccess::ReadWrite) +
           FloatFeature("DeviceTemperature", {"Temperature inside the device", "Device Temperature", "Expert"},
                        {fa::kDeviceTemperature, ro, {}, true}, {}, "C");
}

std::string ImageFormatFeatures() {
    const auto ro = RegisterAccess::ReadOnly, rw = RegisterAccess::ReadWrite;
    return IntegerFeature("SensorWidth", {"Width of the sensor in pixels", "Sensor Width", "Expert"},
                          {fa::kSensorWidth, ro}, {}) +
           IntegerFeature("SensorHeight", {"Height of the sensor in pixels", "Sensor Height", "Expert"},
                          {fa::kSensorHeight, ro}, {}) +
           IntegerFeature("Width", {"Width of the image in pixels", "Width"}, {fa::kWidth, rw},
                          {"16", "WidthMax", "16", false, true}) +
           IntegerFeature("Height", {"Height of the image in pixels", "Height"}, {fa::kHeight, rw},
                          {"16", "HeightMax", "16", false, true}) +
           IntegerFeature("OffsetX", {"Horizontal offset of the image in pixels", "Offset X"}, {fa::kOffsetX, rw},
                          {"0", "OffsetXMax", "16", false, true}) +
           IntegerFeature("OffsetY", {"Vertical offset of the image in pixels", "Offset Y"}, {fa::kOffsetY, rw},
                          {"0", "OffsetYMax", "16", false, true}) +
           RemainderKnife("WidthMax", "SensorWidthReg", "OffsetXReg") +
           RemainderKnife("HeightMax", "SensorHeightReg", "OffsetYReg") +
           RemainderKnife("OffsetXMax", "SensorWidthReg", "WidthReg") +
           RemainderKnife("OffsetYMax", "SensorHeightReg", "HeightReg") +
           EnumerationFeature("PixelFormat", {"Format of the pixels", "Pixel Format"}, {fa::kPixelFormat, rw},
                              {{kPixelFormats[0].name, kPixelFormats[0].value},
                               {kPixelFormats[1].name, kPixelFormats[1].value},
                               {kPixelFormats[2].name, kPixelFormats[2].value},
                               {kPixelFormats[3].name, kPixelFormats[3].value}}) +
           BooleanFeature("ReverseX", {"Mirrors the image horizontally", "Reverse X", "Expert"}, {fa::kReverseX, rw}) +
           IntegerFeature("PayloadSize", {"Bytes of one image", "Payload Size", "Expert"},
                          {fa::kPayloadSize, ro, {}, true}, {});
}

std::string AcquisitionFeatures() {
    const auto rw = RegisterAccess::ReadWrite, wo = RegisterAccess::WriteOnly;
    return EnumerationFeature("AcquisitionMode", {"How many images an acquisition takes", "Acquisition Mode"},
                              {fa::kAcquisitionMode, rw}, {{"Continuous", 0}, {"SingleFrame", 1}, {"MultiFrame", 2}}) +
           CommandFeature("AcquisitionStart", {"Starts the acquisition", "Acquisition Start"},
                          {fa::kAcquisitionStart, wo}) +
           CommandFeature("AcquisitionStop", {"Stops the acquisition", "Acquisition Stop"}, {fa::kAcquisitionStop, wo}) +
           EnumerationFeature("TriggerSelector", {"Trigger that TriggerMode and TriggerSource configure", "Trigger Selector"},
                              {fa::kTriggerSelector, rw}, {{"FrameStart", 0}, {"AcquisitionStart", 1}},
                              {"TriggerMode", "TriggerSource"}) +
           EnumerationFeature("TriggerMode", {"Whether the selected trigger is used", "Trigger Mode"},
                              {fa::kTriggerMode, rw, "TriggerSelectorReg"}, {{"Off", 0}, {"On", 1}}) +
           EnumerationFeature("TriggerSource", {"Signal that fires the selected trigger", "Trigger Source"},
                              {fa::kTriggerSource, rw, "TriggerSelectorReg"},
                              {{"Software", 0}, {"Line0", 1}, {"Line1", 2}}) +
           CommandFeature("TriggerSoftware", {"Fires the selected trigger", "Trigger Software"},
                          {fa::kTriggerSoftware, rw, {}, true}) +
           FloatFeature("ExposureTime", {"Exposure time in microseconds", "Exposure Time"}, {fa::kExposureTime, rw},
                        {.min = "10", .max = "1000000"}, "us");
}

std::string OtherFeatures() {
    const auto rw = RegisterAccess::ReadWrite;
    return FloatFeature("Gain", {"Amplification of the sensor signal", "Gain"}, {fa::kGain, rw}, {.min = "0", .max = "24"}, "dB") +
           IntegerFeature("SequencerSetSelector", {"Sequencer set that SequencerExposureTime configures",
                                                   "Sequencer Set Selector", "Expert"},
                          {fa::kSequencerSetSelector, rw}, {"0", std::to_string(kSequencerSetCount - 1), "1"},
                          {"SequencerExposureTime"}) +
           FloatFeature("SequencerExposureTime", {"Exposure time of the selected set", "Sequencer Exposure Time", "Expert"},
                        {fa::kSequencerExposureTime, rw, "SequencerSetSelectorReg"}, {.min = "10", .max = "1000000"}, "us") +
           IntegerFeature("TestWriteOnly", {"A register that can only be written", "Test Write Only", "Guru"},
                          {fa::kTestWriteOnly, RegisterAccess::WriteOnly}, {}) +
           IntegerFeature("TestFailingRegister", {"A register whose every access fails", "Test Failing Register", "Guru"},
                          {fa::kTestFailingRegister, RegisterAccess::ReadOnly}, {});
}

std::string BuildDescription(DescriptionFlavour flavour) {
    const DeviceStrings &strings = flavour == DescriptionFlavour::GenCp ? kGenCpStrings : kCxpStrings;
    return Header(flavour) + Categories(strings) + DeviceFeatures(strings) + ImageFormatFeatures() +
           AcquisitionFeatures() + OtherFeatures() +
           "  <Port Name=\"Device\" NameSpace=\"Standard\"/>\n</RegisterDescription>\n";
}

}  // namespace

std::string_view BuiltInDescriptionName(DescriptionFlavour flavour) {
    return flavour == DescriptionFlavour::GenCp ? "VexoVision_VirtualClCamera" : "VexoVision_VirtualCxpCamera";
}

const std::string &BuiltInDescriptionText(DescriptionFlavour flavour) {
    static const std::string coaxpress = BuildDescription(DescriptionFlavour::CoaXPress);
    static const std::string genCp = BuildDescription(DescriptionFlavour::GenCp);
    return flavour == DescriptionFlavour::GenCp ? genCp : coaxpress;
}

}  // namespace vexo::sim
