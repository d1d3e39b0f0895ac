#include "logging/StatusDescription.h"

#include "nox_genicam.h"

namespace vexo::tools::logging {
namespace {

struct ErrorDescription {
    int32_t code;
    const char *text;
};

// Searched in this order; the first pair with the code wins.
const ErrorDescription kDescriptions[] = {
    {ERR_NONE, "No error"},
    {ERR_INVALID_CAMERA_HANDLE, "Invalid camera handle"},
    {ERR_INVALID_BOARD_HANDLE, "Invalid board handle"},
    {ERR_FILE_NOT_FOUND, "File not found"},
    {ERR_INVALID_FILENAME, "Invalid filename"},
    {ERR_FILE_ACCESS, "Error when accessing the file"},
    {ERR_NO_DATA, "No data at function argument given"},
    {ERR_OPERATION_BLOCKED, "Operation is blocked by another process / thread"},
    {ERR_NO_EVENT_HANDLER, "No event handler registered"},
    {ERR_VALUE_OUT_OF_RANGE, "Value out of range"},
    {ERR_NO_CXP_INTERFACE, "No CXP Interface"},
    {ERR_BOARD_NOT_SUPPORTED, "Board type does not support GenICam interface"},
    {ERR_BUFFER_TOO_SMALL, "Buffer to small to store all received data"},
    {ERR_ACCESS_DENIED, "Access denied"},
    {ERR_NO_GENICAM_CONNECTION, "No GenICam connection"},
    {ERR_UNKNOWN_PROPERTY, "Tried to access an unknown property"},
    {ERR_INVALID_FEATURE, "Invalid GenICam feature requested"},
    {ERR_INVALID_COMMAND, "Invalid GenICam command requested"},
    {ERR_FEATURE_WRITE_ONLY, "a NOX_GetValue function tried to read a write only register"},
    {ERR_FEATURE_READ_ONLY, "a NOX_GetValue function tried to write a read only register"},
    {ERR_GENICAM_EXCEPTION, "GenICam layer threw an exception, which was caught"},
    {ERR_INVALID_LINK_SPEED, "Tried to set an invalid link speed"},
    {ERR_INVALID_LINK_INDEX, "Invalid link index"},
    {ERR_STREAM_PACKET_SIZE_REJECTED, "Camera doesn't accept the given stream packet size"},
    {ERR_NO_PHYSICAL_CONNECTION, "No physical layer connection"},
    {ERR_BITRATE_LINKS_REJECTED, "Combination of bit rate and no. of links not accepted"},
    {ERR_EXTENSION_MISMATCH, "Extension link does not match to master"},
    {ERR_STREAM_PACKET_SIZE_NOT_ACCEPTED, "Stream packet size is not accepted by camera"},
    {ERR_LINK_LAYOUT_MISMATCH, "Desired link layout does not match"},
    {ERR_LINK_TIMEOUT, "Timeout when establishing link"},
    {ERR_INVALID_PORT, "Function was called by using an invalid port mask or port index"},
    {ERR_NO_MASTER_CONNECT, "A Master connect didn't take place at a second frame grabber"},
    {ERR_NO_CAMERA_FOUND, "Automatic discovery didn't find any camera"},
    {ERR_NO_MASTER, "No master was detected or set for the camera"},
    {ERR_DISCOVERY_INCOMPLETE, "The camera discovery info is incomplete"},
    {ERR_INVALID_DATA_TYPE, "Invalid data type for void pointer"},
    {ERR_INVALID_ARGUMENT, "Invalid function argument"},
    {ERR_INTERNAL, "An internal error occurred"},
    {ERR_EXCEPTION, "Exception occurred when calling function"},
    {ERR_NOT_IMPLEMENTED, "Not implemented"},
    {ERR_INVALID_POINTER, "Invalid pointer"},
    {ERR_OUT_OF_MEMORY, "Not enough memory"},
    {ERR_BOARD_INIT, "Board initialization error"},
    {ERR_INCOMPATIBLE_LIBRARY, "Incompatible underlying library"},
    {ERR_LIBRARY_NOT_LOADED, "Underlaying library not loaded"},
    {ERR_GENCP_CRC, "Corrupt CRC at command or acknowledge packet"},
    {ERR_GENCP_INVALID_PACKET, "Invalid GenCP packet received"},
    {ERR_GENCP_NO_ACK, "No acknowledge according to GenCP protocol received"},
    {ERR_GENCP_UNKNOWN_DEVICE_ERROR, "Unknown error code received from device / camera"},
    {ERR_GENCP_TOO_FEW_DATA, "Too few data received at a read command"},
    {ERR_GENCP_NO_DATA, "No data received at a read command"},
    {ERR_GENCP_PENDING_ACK, "Pending Acknowledge received"},
    {ERR_GENCP_WRONG_REQ_ID, "Acknowledge of another ReqId received, while waiting on finalizing pending Ack."},
    {ERR_GENCP_PENDING_ACK_UNKNOWN_ERROR, "An unknown GenCP error code was detected on finalizing pending Ack."},
    {ERR_GENCP_UNEXPECTED_ACK, "An unexpected type of acknowledge was received"},
    {ERR_GENCP_TIMEOUT, "Timeout occurred after 3 retrials"},
    {ERR_GENCP_NOT_IMPLEMENTED, "GenCP: Command not implemented in the device"},
    {ERR_GENCP_INVALID_PARAMETER, "GenCP: least one of the command parameter of CD or SCD is invalid or out of range"},
    {ERR_GENCP_INVALID_ADDRESS, "GenCP: Attempt to access a not existing register address"},
    {ERR_GENCP_WRITE_PROTECT, "GenCP: Attempt to write to a read only register"},
    {ERR_GENCP_BAD_ALIGNMENT, "GenCP: Attempt to access register with an address which is not aligned according to the underlying technology"},
    {ERR_GENCP_ACCESS_DENIED, "GenCP: Attempt to read a non readable or write a non writable register address"},
    {ERR_GENCP_BUSY, "GenCP: The command receiver is currently busy"},
    {ERR_GENCP_MSG_TIMEOUT, "GenCP: Timeout waiting for an acknowledge"},
    {ERR_GENCP_INVALID_HEADER, "GenCP: The header of the received command is invalid. This includes CCD and SCD fields but not the command payload"},
    {ERR_GENCP_WRONG_CONFIG, "GenCP: The current receiver configuration does not allow the execution of the sent command"},
    {ERR_GENCP_ERROR, "GenCP: Generic error"},
    {ERR_CLHS_NO_COMMAND_WORD, "No command word available in the X-Core (CLHS)"},
    {ERR_CLHS_RECEIVE_FAILED, "XCore failed receiving a message 10 times (CLHS)"},
    {ERR_CLHS_TX_BUFFER_FULL, "An transmission buffer was full, when trying to send data (CLHS)"},
    {ERR_CLHS_SEND_FAILED, "XCore failed Sending a message 10 times (CLHS) (no Acknowledge received 10 times)"},
    {ERR_CLHS_TX_BUSY_TIMEOUT, "XCore TX Busy time out (CLHS)"},
    {ERR_CLHS_DEVICE_ID_REJECTED, "LLDeviceID Rejected by camera (CLHS)"},
    {ERR_CLHS_DEVICE_ID_READBACK, "LLDeviceID read back from camera failed (CLHS)"},
    {ERR_CXP_ACK_TIMEOUT, "CXP: Acknowledgment timeout"},
    {ERR_CXP_INVALID_ADDRESS, "CXP: Invalid address"},
    {ERR_CXP_INVALID_DATA, "CXP: Invalid data for the address"},
    {ERR_CXP_INVALID_OPCODE, "CXP: Invalid control operation code"},
    {ERR_CXP_WRITE_TO_READ_ONLY, "CXP: Write attempted to a read-only address"},
    {ERR_CXP_READ_FROM_WRITE_ONLY, "CXP: Read attempted from a write-only address"},
    {ERR_CXP_SIZE_TOO_LARGE, "CXP: Size field too large for command message (write) or acknowledgment message (read) would exceed packet size limit"},
    {ERR_CXP_INCORRECT_SIZE, "CXP: Incorrect size received, Message size is inconsistent with message size indication"},
    {ERR_CXP_MALFORMED_PACKET, "CXP: Malformed packet"},
    {ERR_CXP_CRC, "CXP: Failed CRC test in last received command"},
    {0, nullptr},
};

}  // namespace

const char *StatusDescription(int32_t status) {
    for (const ErrorDescription *entry = kDescriptions; entry->text != nullptr; ++entry)
        if (entry->code == status) return entry->text;
    return "Unknown Error.";
}

}  // namespace vexo::tools::logging
