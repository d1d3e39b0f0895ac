#pragma once

// The names under which the library's classes ask for their loggers.
namespace vexo::tools::logging::names {

inline constexpr const char *kLibrary = "vexo.genicam.lib";
inline constexpr const char *kNoxInterface = "vexo.genicam.NOXInterface";
inline constexpr const char *kBoardInterface = "vexo.genicam.NOXBoardInterface";
inline constexpr const char *kCameraInterface = "vexo.genicam.NOXCameraInterface";
inline constexpr const char *kFirmwareControllerBase = "vexo.genicam.FirmwareControllerBase";
inline constexpr const char *kCxpController = "vexo.genicam.CxpController";
inline constexpr const char *kClhsController = "vexo.genicam.ClhsController";
inline constexpr const char *kCameraLinkController = "vexo.genicam.CameraLinkController";
inline constexpr const char *kConnectionBuilder = "vexo.genicam.ConnectionBuilder";
inline constexpr const char *kGenCpSerialController = "vexo.genicam.CameraLinkController.GenCP";
inline constexpr const char *kGenCpRequest = "vexo.genicam.CameraLinkController.Request";
inline constexpr const char *kGenCpReadRequest = "vexo.genicam.CameraLinkController.ReadRequest";
inline constexpr const char *kGenCpWriteRequest = "vexo.genicam.CameraLinkController.WriteRequest";
inline constexpr const char *kGenCpConnection = "vexo.genicam.GenCPConnection";
inline constexpr const char *kClTransmitter = "vexo.genicam.CLTransmitter";
inline constexpr const char *kGenICamManager = "vexo.core.GenICamManager";
inline constexpr const char *kTweakProperties = "vexo.templates.platform.TweakProperties";

}  // namespace vexo::tools::logging::names
