/*
 * nox-genicam: control of CoaXPress, Camera Link HS and Camera Link cameras
 * attached to frame-grabber boards.
 *
 * Every function returns a status (0 success, negative failure) unless said
 * otherwise; Nox_getErrorDescription turns a status into text. Handles are
 * opaque: a board handle lives from Nox_initBoardEx to Nox_freeBoard, its
 * camera handles as long as the board (a new scan replaces them).
 * A stale handle (freed, replaced, or never issued) is answered like a null one.
 *
 * Threads: every function may be called from any thread. A call holds the
 * board and camera it was given until it returns, so a Nox_freeBoard or a new
 * scan on another thread never deletes them under it: the call finishes as
 * it started, and from the moment the free or scan begins, new calls with the
 * old handles are answered like calls with null handles.
 */
#ifndef NOX_GENICAM_H
#define NOX_GENICAM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define NOX_API __attribute__((visibility("default")))
#else
#define NOX_API
#endif

#ifndef GRABBER_SESSION_DECLARED
#define GRABBER_SESSION_DECLARED
/* The grabber library's session of one board (see grablib5.h), owned by the application. */
typedef struct GrabberSession GrabberSession;
#endif

typedef struct NoxBoardHandle NoxBoardHandle;
typedef struct NoxCameraHandle NoxCameraHandle;

/* Identification texts of a camera; a member is null when the camera did not report it. */
typedef struct NoxCameraInfo {
    const char *vendorName, *modelName, *familyName, *version,
               *firmwareVersion, *manufacturerInfo, *serialNumber, *userId;
} NoxCameraInfo;

#pragma pack(push, 1)
/* Handed to the event callback; type 100 means a camera's link was lost. */
typedef struct NoxEvent {
    uint16_t type;
    uint32_t slot;
    uint32_t reserved;
} NoxEvent;

typedef struct NoxConnectionProfile {
    NoxBoardHandle *board;
    uint32_t cameraCount;
    NoxCameraHandle **cameras;
    NoxCameraInfo **cameraInfos;
    uint32_t *states;
} NoxConnectionProfile;
#pragma pack(pop)

typedef int32_t (*NoxEventCallback)(NoxBoardHandle *board, NoxCameraHandle *camera,
                                    const NoxEvent *event, void *context);

/* Status codes. One code space for every layer of the library. */
enum NoxStatus {
    ERR_NONE = 0,
    ERR_INVALID_CAMERA_HANDLE = -1000,
    ERR_INVALID_BOARD_HANDLE = -1001,
    ERR_FILE_NOT_FOUND = -1002,
    ERR_INVALID_FILENAME = -1003,
    ERR_FILE_ACCESS = -1006,
    ERR_NO_DATA = -1008,
    ERR_OPERATION_BLOCKED = -1015,
    ERR_NO_EVENT_HANDLER = -1016,
    ERR_VALUE_OUT_OF_RANGE = -1009,
    ERR_NO_CXP_INTERFACE = -1010,
    ERR_BOARD_NOT_SUPPORTED = -1011,
    ERR_BUFFER_TOO_SMALL = -1012,
    ERR_ACCESS_DENIED = -1013,
    ERR_NO_GENICAM_CONNECTION = -1100,
    ERR_UNKNOWN_PROPERTY = -1101,
    ERR_INVALID_FEATURE = -1102,
    ERR_INVALID_COMMAND = -1103,
    ERR_FEATURE_WRITE_ONLY = -1104,
    ERR_FEATURE_READ_ONLY = -1105,
    ERR_GENICAM_EXCEPTION = -1198,
    ERR_INVALID_LINK_SPEED = -1200,
    ERR_INVALID_LINK_INDEX = -1201,
    ERR_STREAM_PACKET_SIZE_REJECTED = -1202,
    ERR_NO_PHYSICAL_CONNECTION = -1211,
    ERR_BITRATE_LINKS_REJECTED = -1203,
    ERR_EXTENSION_MISMATCH = -1204,
    ERR_STREAM_PACKET_SIZE_NOT_ACCEPTED = -1205,
    ERR_LINK_LAYOUT_MISMATCH = -1206,
    ERR_LINK_TIMEOUT = -1207,
    ERR_INVALID_PORT = -1208,
    ERR_NO_MASTER_CONNECT = -1209,
    ERR_NO_CAMERA_FOUND = -1210,
    ERR_NO_MASTER = -1212,
    ERR_DISCOVERY_INCOMPLETE = -1213,
    ERR_INVALID_DATA_TYPE = -1990,
    ERR_INVALID_ARGUMENT = -1991,
    ERR_INTERNAL = -1998,
    ERR_EXCEPTION = -1999,
    ERR_NOT_IMPLEMENTED = -2000,
    ERR_INVALID_POINTER = -1017,
    ERR_OUT_OF_MEMORY = -1018,
    ERR_BOARD_INIT = -40018,
    ERR_INCOMPATIBLE_LIBRARY = -40019,
    ERR_LIBRARY_NOT_LOADED = -40020,
    ERR_GENCP_CRC = -1601,
    ERR_GENCP_INVALID_PACKET = -1603,
    ERR_GENCP_NO_ACK = -1604,
    ERR_GENCP_UNKNOWN_DEVICE_ERROR = -1605,
    ERR_GENCP_TOO_FEW_DATA = -1606,
    ERR_GENCP_NO_DATA = -1607,
    ERR_GENCP_PENDING_ACK = -1608,
    ERR_GENCP_WRONG_REQ_ID = -1609,
    ERR_GENCP_PENDING_ACK_UNKNOWN_ERROR = -1610,
    ERR_GENCP_UNEXPECTED_ACK = -1611,
    ERR_GENCP_TIMEOUT = -1602,
    ERR_GENCP_NOT_IMPLEMENTED = -32769,
    ERR_GENCP_INVALID_PARAMETER = -32770,
    ERR_GENCP_INVALID_ADDRESS = -32771,
    ERR_GENCP_WRITE_PROTECT = -32772,
    ERR_GENCP_BAD_ALIGNMENT = -32773,
    ERR_GENCP_ACCESS_DENIED = -32774,
    ERR_GENCP_BUSY = -32775,
    ERR_GENCP_MSG_TIMEOUT = -32779,
    ERR_GENCP_INVALID_HEADER = -32782,
    ERR_GENCP_WRONG_CONFIG = -32783,
    ERR_GENCP_ERROR = -36863,
    ERR_CLHS_NO_COMMAND_WORD = -1501,
    ERR_CLHS_RECEIVE_FAILED = -1503,
    ERR_CLHS_TX_BUFFER_FULL = -1502,
    ERR_CLHS_SEND_FAILED = -1505,
    ERR_CLHS_TX_BUSY_TIMEOUT = -1504,
    ERR_CLHS_DEVICE_ID_REJECTED = -1506,
    ERR_CLHS_DEVICE_ID_READBACK = -1507,
    ERR_CXP_ACK_TIMEOUT = -256,
    ERR_CXP_INVALID_ADDRESS = -64,
    ERR_CXP_INVALID_DATA = -65,
    ERR_CXP_INVALID_OPCODE = -66,
    ERR_CXP_WRITE_TO_READ_ONLY = -67,
    ERR_CXP_READ_FROM_WRITE_ONLY = -68,
    ERR_CXP_SIZE_TOO_LARGE = -69,
    ERR_CXP_INCORRECT_SIZE = -70,
    ERR_CXP_MALFORMED_PACKET = -71,
    ERR_CXP_CRC = -128,

    /* Returned by operations but without a description of their own. */
    ERR_INVALID_DATA = -1014,
    LibraryNotLoaded = -2130,
    ERR_CAMERA_LIST_FULL = -2500
};

/* Library lifecycle. Calls nest: the library stays up until every GenICamInit
   (and every board opened without one) is matched by GenICamDeinit. */
NOX_API void GenICamInit(void);
NOX_API void GenICamDeinit(void);

/* Text of a status; "Unknown Error." for codes without a description. Never null. */
NOX_API const char *Nox_getErrorDescription(int32_t status);

/* ---- Boards, scanning, cameras, power, links and events ---------------------------------------- */

/* Opens the board of a grabber session (brings the library up when needed). Port mask 0xFFFF by default. */
NOX_API int32_t Nox_initBoard(GrabberSession *session, int32_t initFlag, NoxBoardHandle **board);
NOX_API int32_t Nox_initBoardEx(GrabberSession *session, uint32_t initFlag, NoxBoardHandle **board, uint32_t portMask);
/* Frees the board, its cameras and their handles. The handles are dead at once; the board itself goes
   once the calls other threads are making on it, and its running event callback, have returned: the
   free waits for them for up to 10 s, after which the board's monitoring thread deletes the board
   when the last of them returns. Called from inside the board's own event callback it returns at
   once, and the board is freed right after the callback returns. */
NOX_API void Nox_freeBoard(NoxBoardHandle *board);
/* Discovers the cameras on the ports of the mask (which must hold every port of the board); speed 0
   detects it. A new scan replaces the cameras (and handles) of the previous one; a camera an event
   callback or another thread's call is using is deleted only once they are done with it. -1206 when
   a camera could not be given the link configuration its camera operator wants; every camera is
   registered all the same. */
NOX_API int32_t Nox_scanPorts(NoxBoardHandle *board, uint32_t portMask, uint32_t speed, uint32_t flags);
NOX_API int32_t Nox_scanPortsEx(NoxBoardHandle *board, uint32_t portMask, uint32_t speed, uint32_t flags,
                                uint32_t option);
/* Number of cameras of the last scan (placeholders for free camera operators included), or a status. */
NOX_API int32_t Nox_getCameraCount(NoxBoardHandle *board);
/* The camera in a slot; a null handle (and 0) for an empty slot. */
NOX_API int32_t Nox_getCameraByIndex(NoxBoardHandle *board, uint32_t index, NoxCameraHandle **camera);
/* The camera one of whose links arrives at the port, created when there is none. */
NOX_API int32_t Nox_getCamera(NoxBoardHandle *board, uint32_t port, NoxCameraHandle **camera);
/* 1 when a discovered camera (not a placeholder) is there, else 0. */
NOX_API int32_t Nox_isCameraAvailable(NoxBoardHandle *board, uint32_t port);
NOX_API int32_t Nox_isCameraAvailableAtIndex(NoxBoardHandle *board, uint32_t index);
/* Identification texts, owned by the camera; null when unknown. */
NOX_API NoxCameraInfo *Nox_getCameraInfo(NoxCameraHandle *camera);
/* Power over CoaXPress: command 0 off, 1 on, 2 power cycle (Nox_powerSwitch); others do nothing. */
NOX_API int32_t Nox_powerSwitch(NoxBoardHandle *board, uint32_t portMask);
NOX_API int32_t Nox_powerSwitchExt(NoxBoardHandle *board, uint32_t portMask, uint32_t command);
/* Brings the camera's links up; a null camera connects every camera of the board and answers the
   last failure. */
NOX_API int32_t Nox_LinkConnect(NoxBoardHandle *board, NoxCameraHandle *camera);
NOX_API int32_t Nox_CxpConnect(NoxBoardHandle *board, NoxCameraHandle *camera);
/* Marks the links down; nothing is sent. */
NOX_API int32_t Nox_LinkDisconnect(NoxCameraHandle *camera);
NOX_API int32_t Nox_CxpDisconnect(NoxCameraHandle *camera);
/* Drops the camera's GenICam connection and marks its links down. */
NOX_API int32_t Nox_disconnectCamera(NoxCameraHandle *camera);
/* The callback runs on the board's monitoring thread when a camera's link is lost (event type 100),
   once per loss, with no lock of the library held: it may call back into the library for this
   board, even scan it or free it, and it may wait for the application's other threads, whose calls
   on the board do not wait for it. The board and the reported camera stay valid while it runs. A
   null callback unregisters; a callback already running when another is registered finishes. A link
   the library cannot look at in time (its lock busy) is not reported as lost. */
NOX_API int32_t Nox_RegisterEventCallback(NoxBoardHandle *board, NoxEventCallback callback, void *context);

/* Data of Nox_callInternalFunction function 3: console trace of the board's link bring-up. */
typedef struct NoxConsoleTraceRequest {
    NoxBoardHandle *board;
    uint8_t enable;
} NoxConsoleTraceRequest;
/* Function 1 (data: two uint32_t, board index and port mask): resets the board's Ethernet PHYs;
   function 3 (data: NoxConsoleTraceRequest). 0, or -1 for any other function or a refusal. */
NOX_API int32_t Nox_callInternalFunction(int32_t function, void *data, void *reserved);

/* ---- Register and memory access ----------------------------------------------------------------
   "Direct" functions address the camera on a board port; camera functions use the camera's command
   port. Addresses are in the camera's register space; reads without a timeout wait up to 2000 ms. */
NOX_API int32_t Nox_DirectRegisterRead(NoxBoardHandle *b, uint32_t port, uint32_t address, uint32_t *value);
NOX_API int32_t Nox_DirectRegisterRead64(NoxBoardHandle *b, uint32_t port, uint64_t address, uint32_t *value);
NOX_API int32_t Nox_DirectRegisterWrite(NoxBoardHandle *b, uint32_t port, uint32_t address, uint32_t value,
                                        uint32_t swap);
NOX_API int32_t Nox_DirectRegisterWrite64(NoxBoardHandle *b, uint32_t port, uint64_t address, uint32_t value,
                                          uint32_t swap);
NOX_API int32_t Nox_DirectRegisterReadMem(NoxBoardHandle *b, uint32_t port, uint32_t address, void *buffer,
                                          uint32_t *length);
NOX_API int32_t Nox_DirectRegisterReadMem64(NoxBoardHandle *b, uint32_t port, uint64_t address, void *buffer,
                                            uint32_t *length);
NOX_API int32_t Nox_DirectRegisterReadMemWithTimeOut(NoxBoardHandle *b, uint32_t port, uint32_t address,
                                                     void *buffer, uint32_t *length, uint32_t timeout);
NOX_API int32_t Nox_DirectRegisterReadMemWithTimeOut64(NoxBoardHandle *b, uint32_t port, uint64_t address,
                                                       void *buffer, uint32_t *length, uint32_t timeout);
NOX_API int32_t Nox_DirectRegisterWriteMem(NoxBoardHandle *b, uint32_t port, uint32_t address, const void *data,
                                           uint32_t length);
NOX_API int32_t Nox_DirectRegisterWriteMem64(NoxBoardHandle *b, uint32_t port, uint64_t address,
                                             const void *data, uint32_t length);
NOX_API int32_t Nox_DirectRegisterWriteMemWithTimeOut(NoxBoardHandle *b, uint32_t port, uint32_t address,
                                                      const void *data, uint32_t length, uint32_t timeout);
NOX_API int32_t Nox_DirectRegisterWriteMemWithTimeOut64(NoxBoardHandle *b, uint32_t port, uint64_t address,
                                                        const void *data, uint32_t length, uint32_t timeout);
/* A camera register as a big-endian 32-bit value; refused (-1202) while the camera's link is down. */
NOX_API int32_t Nox_registerReadFromCamera(NoxCameraHandle *c, uint32_t *value, uint32_t address);
NOX_API int32_t Nox_registerWriteToCamera(NoxCameraHandle *c, uint32_t value, uint32_t address);
NOX_API int32_t Nox_memoryReadFromCamera(NoxCameraHandle *c, void *buffer, uint32_t address, uint32_t length);
NOX_API int32_t Nox_memoryReadFromCameraWithTimeout(NoxCameraHandle *c, void *buffer, uint32_t address,
                                                    uint32_t length, uint32_t timeout);
/* As Nox_memoryReadFromCamera; adds no terminating zero. */
NOX_API int32_t Nox_stringReadFromCamera(NoxCameraHandle *c, char *buffer, uint32_t address, uint32_t length);
NOX_API int32_t Nox_memoryWriteToCamera(NoxCameraHandle *c, const void *data, uint32_t address, uint32_t length);
NOX_API int32_t Nox_memoryWriteToCameraWithTimeout(NoxCameraHandle *c, const void *data, uint32_t address,
                                                   uint32_t length, uint32_t timeout);

/* ---- Board and camera properties ----------------------------------------------------------------
   Type 1: uint32_t; type 2: double (power measurements). A wrong type answers -1990
   (Nox_getCameraPropertyWithType writes the property's type first, so callers may ask for it). */
NOX_API int32_t Nox_getBoardPropertyWithType(NoxBoardHandle *b, const char *name, void *value, uint32_t type,
                                             uint32_t index);
NOX_API int32_t Nox_setBoardPropertyWithType(NoxBoardHandle *b, const char *name, void *value, uint32_t type,
                                             uint32_t *index);
NOX_API int32_t Nox_getCameraPropertyWithType(NoxCameraHandle *c, const char *name, void *value, uint32_t *type,
                                              uint32_t *index);
NOX_API int32_t Nox_setCameraPropertyWithType(NoxCameraHandle *c, const char *name, void *value, uint32_t type,
                                              uint32_t *index);

/* ---- GenICam features ---------------------------------------------------------------------------
   By name, through the camera's node map once Nox_connectCamera succeeded (-1100 before). A feature
   of another kind answers -1102; a read of a write-only feature -1104, a write of a read-only one
   -1105; a failure inside GenICam or on the wire -1999 (the log tells why). Out values are written
   only on success. */
NOX_API int32_t Nox_getIntegerValue(NoxCameraHandle *c, const char *feature, int64_t *value);
/* Negative values are refused (-1991). */
NOX_API int32_t Nox_setIntegerValue(NoxCameraHandle *c, const char *feature, int64_t value);
NOX_API int32_t Nox_getBooleanValue(NoxCameraHandle *c, const char *feature, uint32_t *value);
NOX_API int32_t Nox_setBooleanValue(NoxCameraHandle *c, const char *feature, uint32_t value);
NOX_API int32_t Nox_getFloatValue(NoxCameraHandle *c, const char *feature, double *value);
NOX_API int32_t Nox_setFloatValue(NoxCameraHandle *c, const char *feature, double value);
/* The text is owned by the camera and stays valid until the next text handed out for the same
   feature (by this function or Nox_getEnumerationValueAsString) or until the camera is deleted
   (a scan or Nox_freeBoard of its board deletes it). Calls for one camera must not run
   concurrently. */
NOX_API int32_t Nox_getStringValue(NoxCameraHandle *c, const char *feature, const char **value);
NOX_API int32_t Nox_setStringValue(NoxCameraHandle *c, const char *feature, const char *value);
NOX_API int32_t Nox_getEnumerationValue(NoxCameraHandle *c, const char *feature, int64_t *value);
/* The current entry's name, kept as Nox_getStringValue keeps its texts. */
NOX_API int32_t Nox_getEnumerationValueAsString(NoxCameraHandle *c, const char *feature, const char **value);
/* An entry name the enumeration does not have is refused (-1991). */
NOX_API int32_t Nox_setEnumerationValue(NoxCameraHandle *c, const char *feature, const char *entry);
NOX_API int32_t Nox_executeCommand(NoxCameraHandle *c, const char *feature);
/* 1 once the camera reports the command complete, else 0. */
NOX_API int32_t Nox_isCommandDone(NoxCameraHandle *c, const char *feature, uint32_t *done);
/* Execute the camera's AcquisitionStart / AcquisitionStop; the grabber's acquisition is not touched. */
NOX_API int32_t Nox_startAcquisition(NoxCameraHandle *c);
NOX_API int32_t Nox_stopAcquisition(NoxCameraHandle *c);

/* ---- Camera connection and description ----------------------------------------------------------
   Nox_connectCamera reads the camera's description (zipped or plain) from its register space after
   Nox_LinkConnect (-1211 before) and builds the node map; a failed register read answers the read's
   status, every other failure -1999, and leaves the camera without a GenICam connection.
   Descriptions larger than 64 MiB are refused. Camera Link HS and Camera Link cameras answer -2000
   for now. */
NOX_API int32_t Nox_connectCamera(NoxCameraHandle *c);
/* The same from a description file (plain or zipped); the file becomes the description copy. */
NOX_API int32_t Nox_connectCameraWithExternalXml(NoxCameraHandle *c, const char *fileName);
/* The description copy. A null buffer asks for its size; a smaller size than needed is refused
   (-1991). Without a copy the size is 0, and a buffer with room gets a single zero byte. */
NOX_API int32_t Nox_getGenICamXML(NoxCameraHandle *c, char *buffer, size_t *size);
/* Replaces the description copy by size bytes of text (at most 64 MiB); the node map stays. */
NOX_API int32_t Nox_setGenICamXML(NoxCameraHandle *c, const char *text, size_t size);

/* ---- Camera parameter files ---------------------------------------------------------------------
   One "Name=value" line per feature, features that are not readable and writable commented out with
   "# "; a selector is written once per value, each followed by the features it selects. Only a
   description that would nest selectors more than 64 deep or fill more than 4M lines has values left
   out, each logged at level 4.
   Nox_SaveCameraParameters answers -1006 when the file could not be written completely.
   Nox_LoadCameraParameters applies the lines in order; a line that cannot be applied (unknown
   feature, bad value, refused by the camera) is skipped, or, with flag bit 0, ends the load with
   -1102. Command lines are not executed. */
NOX_API int32_t Nox_SaveCameraParameters(NoxCameraHandle *c, const char *fileName);
NOX_API int32_t Nox_LoadCameraParameters(NoxCameraHandle *c, const char *fileName, uint32_t flags);

/* ---- Link configuration files and link profiles ---------------------------------------------------
   A link configuration file (XML) records per camera of a board its links (physical and applet port),
   master id, link speed and stream packet size. Nox_SaveBoardConfiguration writes the board's connected
   cameras, in slot order up to the first one that is not connected (-1006 when the file could not be
   written). Nox_LoadBoardConfiguration empties the board's camera slots and builds cameras from the
   file without a scan; their first Nox_LinkConnect configures the links in full. The link marked
   isMaster (or else the first) is the camera's master link wherever it stands in the group. A file that cannot
   be opened answers -1003; errors inside a file end the reading, and what was read before is used.
   Nox_LoadConnectionProfile opens the session's board, loads the file and brings every camera up as
   far as it goes (states: 0 no camera, 1 link connect failed, 2 links up without GenICam connection,
   3 connected); Nox_UnloadConnectionProfile disconnects the cameras, frees the board and the record.
   A low-level link profile (text) records a CoaXPress board's port routing, the camera operator of each
   applet port and the uplink speeds; restoring it on the same applet puts routing and speeds back
   without a discovery (-1206 when the applet's operators differ, -1991 for a file that is no profile,
   -1006 when the file cannot be opened; nothing reaches the board before the file has been checked).
   Boards other than CoaXPress answer -2000. */
NOX_API int32_t Nox_SaveBoardConfiguration(NoxBoardHandle *b, const char *fileName);
NOX_API int32_t Nox_LoadBoardConfiguration(NoxBoardHandle *b, const char *fileName);
NOX_API int32_t Nox_LoadConnectionProfile(GrabberSession *session, const char *fileName,
                                          NoxConnectionProfile **profile);
NOX_API int32_t Nox_UnloadConnectionProfile(NoxConnectionProfile *profile);
NOX_API int32_t Nox_StoreLowLevelLinkProfile(NoxBoardHandle *b, const char *path);
NOX_API int32_t Nox_RestoreLowLevelLinkProfile(NoxBoardHandle *b, const char *path);

#ifdef __cplusplus
}
#endif

#endif /* NOX_GENICAM_H */
