"""The library's status codes and the one exception class its failures raise."""

from __future__ import annotations

import enum


class Status(enum.IntEnum):
    """Status codes of the library: 0 success, negative failure (names as in nox_genicam.h)."""

    ERR_NONE = 0
    ERR_INVALID_CAMERA_HANDLE = -1000
    ERR_INVALID_BOARD_HANDLE = -1001
    ERR_FILE_NOT_FOUND = -1002
    ERR_INVALID_FILENAME = -1003
    ERR_FILE_ACCESS = -1006
    ERR_NO_DATA = -1008
    ERR_OPERATION_BLOCKED = -1015
    ERR_NO_EVENT_HANDLER = -1016
    ERR_VALUE_OUT_OF_RANGE = -1009
    ERR_NO_CXP_INTERFACE = -1010
    ERR_BOARD_NOT_SUPPORTED = -1011
    ERR_BUFFER_TOO_SMALL = -1012
    ERR_ACCESS_DENIED = -1013
    ERR_NO_GENICAM_CONNECTION = -1100
    ERR_UNKNOWN_PROPERTY = -1101
    ERR_INVALID_FEATURE = -1102
    ERR_INVALID_COMMAND = -1103
    ERR_FEATURE_WRITE_ONLY = -1104
    ERR_FEATURE_READ_ONLY = -1105
    ERR_GENICAM_EXCEPTION = -1198
    ERR_INVALID_LINK_SPEED = -1200
    ERR_INVALID_LINK_INDEX = -1201
    ERR_STREAM_PACKET_SIZE_REJECTED = -1202
    ERR_NO_PHYSICAL_CONNECTION = -1211
    ERR_BITRATE_LINKS_REJECTED = -1203
    ERR_EXTENSION_MISMATCH = -1204
    ERR_STREAM_PACKET_SIZE_NOT_ACCEPTED = -1205
    ERR_LINK_LAYOUT_MISMATCH = -1206
    ERR_LINK_TIMEOUT = -1207
    ERR_INVALID_PORT = -1208
    ERR_NO_MASTER_CONNECT = -1209
    ERR_NO_CAMERA_FOUND = -1210
    ERR_NO_MASTER = -1212
    ERR_DISCOVERY_INCOMPLETE = -1213
    ERR_INVALID_DATA_TYPE = -1990
    ERR_INVALID_ARGUMENT = -1991
    ERR_INTERNAL = -1998
    ERR_EXCEPTION = -1999
    ERR_NOT_IMPLEMENTED = -2000
    ERR_INVALID_POINTER = -1017
    ERR_OUT_OF_MEMORY = -1018
    ERR_BOARD_INIT = -40018
    ERR_INCOMPATIBLE_LIBRARY = -40019
    ERR_LIBRARY_NOT_LOADED = -40020
    ERR_GENCP_CRC = -1601
    ERR_GENCP_INVALID_PACKET = -1603
    ERR_GENCP_NO_ACK = -1604
    ERR_GENCP_UNKNOWN_DEVICE_ERROR = -1605
    ERR_GENCP_TOO_FEW_DATA = -1606
    ERR_GENCP_NO_DATA = -1607
    ERR_GENCP_PENDING_ACK = -1608
    ERR_GENCP_WRONG_REQ_ID = -1609
    ERR_GENCP_PENDING_ACK_UNKNOWN_ERROR = -1610
    ERR_GENCP_UNEXPECTED_ACK = -1611
    ERR_GENCP_TIMEOUT = -1602
    ERR_GENCP_NOT_IMPLEMENTED = -32769
    ERR_GENCP_INVALID_PARAMETER = -32770
    ERR_GENCP_INVALID_ADDRESS = -32771
    ERR_GENCP_WRITE_PROTECT = -32772
    ERR_GENCP_BAD_ALIGNMENT = -32773
    ERR_GENCP_ACCESS_DENIED = -32774
    ERR_GENCP_BUSY = -32775
    ERR_GENCP_MSG_TIMEOUT = -32779
    ERR_GENCP_INVALID_HEADER = -32782
    ERR_GENCP_WRONG_CONFIG = -32783
    ERR_GENCP_ERROR = -36863
    ERR_CLHS_NO_COMMAND_WORD = -1501
    ERR_CLHS_RECEIVE_FAILED = -1503
    ERR_CLHS_TX_BUFFER_FULL = -1502
    ERR_CLHS_SEND_FAILED = -1505
    ERR_CLHS_TX_BUSY_TIMEOUT = -1504
    ERR_CLHS_DEVICE_ID_REJECTED = -1506
    ERR_CLHS_DEVICE_ID_READBACK = -1507
    ERR_CXP_ACK_TIMEOUT = -256
    ERR_CXP_INVALID_ADDRESS = -64
    ERR_CXP_INVALID_DATA = -65
    ERR_CXP_INVALID_OPCODE = -66
    ERR_CXP_WRITE_TO_READ_ONLY = -67
    ERR_CXP_READ_FROM_WRITE_ONLY = -68
    ERR_CXP_SIZE_TOO_LARGE = -69
    ERR_CXP_INCORRECT_SIZE = -70
    ERR_CXP_MALFORMED_PACKET = -71
    ERR_CXP_CRC = -128
    ERR_INVALID_DATA = -1014
    LibraryNotLoaded = -2130
    ERR_CAMERA_LIST_FULL = -2500


class NoxError(Exception):
    """A failed call of the library.

    Attributes:
        status: the status code the library returned.
        name: the code's name ("ERR_INVALID_FEATURE"), or "status <code>" for a code without one.
        description: the library's text for the code.
        detail: the thread's last error record from the library ("" when the call wrote none).
        what: what was being done when it failed.
    """

    def __init__(self, status: int, what: str, description: str, detail: str = "") -> None:
        self.status = int(status)
        self.name = status_name(self.status)
        self.description = description
        self.detail = detail
        self.what = what
        super().__init__(f"{what}: {self.name} ({self.status}): {description}")


def status_name(status: int) -> str:
    """The name of a status code, or "status <code>" for one the library does not name."""
    try:
        return Status(status).name
    except ValueError:
        return f"status {status}"
