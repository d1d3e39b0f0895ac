#include <gtest/gtest.h>

#include <set>

#include "nox_genicam.h"

namespace {
// The published descriptions, by number: callers match on these texts.
const struct {
    int32_t code;
    const char *text;
} kExpected[] = {
    {0, "No error"},
    {-1000, "Invalid camera handle"},
    {-1001, "Invalid board handle"},
    {-1002, "File not found"},
    {-1003, "Invalid filename"},
    {-1006, "Error when accessing the file"},
    {-1008, "No data at function argument given"},
    {-1015, "Operation is blocked by another process / thread"},
    {-1016, "No event handler registered"},
    {-1009, "Value out of range"},
    {-1010, "No CXP Interface"},
    {-1011, "Board type does not support GenICam interface"},
    {-1012, "Buffer to small to store all received data"},
    {-1013, "Access denied"},
    {-1100, "No GenICam connection"},
    {-1101, "Tried to access an unknown property"},
    {-1102, "Invalid GenICam feature requested"},
    {-1103, "Invalid GenICam command requested"},
    {-1104, "a NOX_GetValue function tried to read a write only register"},
    {-1105, "a NOX_GetValue function tried to write a read only register"},
    {-1198, "GenICam layer threw an exception, which was caught"},
    {-1200, "Tried to set an invalid link speed"},
    {-1201, "Invalid link index"},
    {-1202, "Camera doesn't accept the given stream packet size"},
    {-1211, "No physical layer connection"},
    {-1203, "Combination of bit rate and no. of links not accepted"},
    {-1204, "Extension link does not match to master"},
    {-1205, "Stream packet size is not accepted by camera"},
    {-1206, "Desired link layout does not match"},
    {-1207, "Timeout when establishing link"},
    {-1208, "Function was called by using an invalid port mask or port index"},
    {-1209, "A Master connect didn't take place at a second frame grabber"},
    {-1210, "Automatic discovery didn't find any camera"},
    {-1212, "No master was detected or set for the camera"},
    {-1213, "The camera discovery info is incomplete"},
    {-1990, "Invalid data type for void pointer"},
    {-1991, "Invalid function argument"},
    {-1998, "An internal error occurred"},
    {-1999, "Exception occurred when calling function"},
    {-2000, "Not implemented"},
    {-1017, "Invalid pointer"},
    {-1018, "Not enough memory"},
    {-40018, "Board initialization error"},
    {-40019, "Incompatible underlying library"},
    {-40020, "Underlaying library not loaded"},
    {-1601, "Corrupt CRC at command or acknowledge packet"},
    {-1603, "Invalid GenCP packet received"},
    {-1604, "No acknowledge according to GenCP protocol received"},
    {-1605, "Unknown error code received from device / camera"},
    {-1606, "Too few data received at a read command"},
    {-1607, "No data received at a read command"},
    {-1608, "Pending Acknowledge received"},
    {-1609, "Acknowledge of another ReqId received, while waiting on finalizing pending Ack."},
    {-1610, "An unknown GenCP error code was detected on finalizing pending Ack."},
    {-1611, "An unexpected type of acknowledge was received"},
    {-1602, "Timeout occurred after 3 retrials"},
    {-32769, "GenCP: Command not implemented in the device"},
    {-32770, "GenCP: least one of the command parameter of CD or SCD is invalid or out of range"},
    {-32771, "GenCP: Attempt to access a not existing register address"},
    {-32772, "GenCP: Attempt to write to a read only register"},
    {-32773, "GenCP: Attempt to access register with an address which is not aligned according to the underlying technology"},
    {-32774, "GenCP: Attempt to read a non readable or write a non writable register address"},
    {-32775, "GenCP: The command receiver is currently busy"},
    {-32779, "GenCP: Timeout waiting for an acknowledge"},
    {-32782, "GenCP: The header of the received command is invalid. This includes CCD and SCD fields but not the command payload"},
    {-32783, "GenCP: The current receiver configuration does not allow the execution of the sent command"},
    {-36863, "GenCP: Generic error"},
    {-1501, "No command word available in the X-Core (CLHS)"},
    {-1503, "XCore failed receiving a message 10 times (CLHS)"},
    {-1502, "An transmission buffer was full, when trying to send data (CLHS)"},
    {-1505, "XCore failed Sending a message 10 times (CLHS) (no Acknowledge received 10 times)"},
    {-1504, "XCore TX Busy time out (CLHS)"},
    {-1506, "LLDeviceID Rejected by camera (CLHS)"},
    {-1507, "LLDeviceID read back from camera failed (CLHS)"},
    {-256, "CXP: Acknowledgment timeout"},
    {-64, "CXP: Invalid address"},
    {-65, "CXP: Invalid data for the address"},
    {-66, "CXP: Invalid control operation code"},
    {-67, "CXP: Write attempted to a read-only address"},
    {-68, "CXP: Read attempted from a write-only address"},
    {-69, "CXP: Size field too large for command message (write) or acknowledgment message (read) would exceed packet size limit"},
    {-70, "CXP: Incorrect size received, Message size is inconsistent with message size indication"},
    {-71, "CXP: Malformed packet"},
    {-128, "CXP: Failed CRC test in last received command"},
};
}  // namespace

TEST(ErrorDescription, EveryCodeOfTheTableHasItsText) {
    std::set<int32_t> codes;
    for (const auto &expected : kExpected) {
        EXPECT_STREQ(Nox_getErrorDescription(expected.code), expected.text) << expected.code;
        codes.insert(expected.code);
    }
    EXPECT_EQ(codes.size(), 84u);
    // The named constants carry the same numbers.
    EXPECT_STREQ(Nox_getErrorDescription(ERR_GENCP_NOT_IMPLEMENTED), "GenCP: Command not implemented in the device");
    EXPECT_STREQ(Nox_getErrorDescription(ERR_FILE_ACCESS), "Error when accessing the file");
}

TEST(ErrorDescription, CodesWithoutADescriptionAreUnknown) {
    for (int32_t code : std::initializer_list<int32_t>{ERR_INVALID_DATA, LibraryNotLoaded, ERR_CAMERA_LIST_FULL, -1, 1, -1007, INT32_MIN, INT32_MAX})
        EXPECT_STREQ(Nox_getErrorDescription(code), "Unknown Error.") << code;
}
