/*
 * nox-genicam extensions: what a camera's node map says about its features, the boards the board
 * libraries offer, link configuration files with serial numbers, a camera's link counts, parameter
 * loads that report each line, the calling thread's last error text and the library's version.
 *
 * These functions follow the rules of nox_genicam.h: a status (0 success, negative failure) unless
 * said otherwise, stale handles answered like null ones, out values written only on success, one
 * error record in the library's log for each refusal. Records the library hands out here are owned
 * by the application until it frees them with the matching free function; they do not depend on
 * the camera or board they describe, which may go away first.
 */
#ifndef NOX_GENICAM_EXT_H
#define NOX_GENICAM_EXT_H

#include "nox_genicam.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The kind of a feature node. */
enum NoxFeatureType {
    NOX_FEATURE_OTHER = 0, /* a node of no value kind: a port, a plain register */
    NOX_FEATURE_INTEGER = 1,
    NOX_FEATURE_FLOAT = 2,
    NOX_FEATURE_STRING = 3,
    NOX_FEATURE_BOOLEAN = 4,
    NOX_FEATURE_ENUMERATION = 5,
    NOX_FEATURE_COMMAND = 6,
    NOX_FEATURE_CATEGORY = 7
};

/* What may be done with a feature now. A feature is NI when it or a node its value comes from is
   not implemented, NA when one of them is not available now; a lock (pIsLocked) takes writing away. */
enum NoxAccessMode {
    NOX_ACCESS_NI = 0, /* not implemented */
    NOX_ACCESS_NA = 1, /* not available */
    NOX_ACCESS_WO = 2, /* write only */
    NOX_ACCESS_RO = 3, /* read only */
    NOX_ACCESS_RW = 4  /* read and write */
};

/* For whom a user interface shows the feature. */
enum NoxVisibility {
    NOX_VISIBILITY_BEGINNER = 0,
    NOX_VISIBILITY_EXPERT = 1,
    NOX_VISIBILITY_GURU = 2,
    NOX_VISIBILITY_INVISIBLE = 3
};

/* How an integer or float is best shown or entered. */
enum NoxRepresentation {
    NOX_REPRESENTATION_LINEAR = 0,
    NOX_REPRESENTATION_LOGARITHMIC = 1,
    NOX_REPRESENTATION_BOOLEAN = 2,
    NOX_REPRESENTATION_PURE_NUMBER = 3,
    NOX_REPRESENTATION_HEX_NUMBER = 4,
    NOX_REPRESENTATION_IPV4_ADDRESS = 5,
    NOX_REPRESENTATION_MAC_ADDRESS = 6,
    NOX_REPRESENTATION_UNDEFINED = 7 /* the description does not say, or the feature is no number */
};

/* ---- Feature listing ------------------------------------------------------------------------------ */

typedef struct NoxFeatureListEntry {
    const char *name;
    /* The categories from a root category (one no other category lists, such as "Root") down to the one
       that lists the feature, joined by "/" ("Root/ImageFormatControl"); "" for a root category and for a
       node no category reaches (registers behind features, for instance). */
    const char *categoryPath;
    uint32_t type; /* enum NoxFeatureType */
} NoxFeatureListEntry;

typedef struct NoxFeatureList {
    uint32_t count;
    const NoxFeatureListEntry *features; /* every feature node of the description once, in its order */
} NoxFeatureList;

/* Lists the features of the camera's node map. Statuses: 0; ERR_INVALID_CAMERA_HANDLE (-1000);
   ERR_INVALID_ARGUMENT (-1991) for a null list pointer; ERR_NO_GENICAM_CONNECTION (-1100) before
   Nox_connectCamera; ERR_EXCEPTION (-1999) when the node map cannot be walked. */
NOX_API int32_t Nox_getFeatureList(NoxCameraHandle *camera, NoxFeatureList **list);
/* Statuses: 0; ERR_INVALID_ARGUMENT (-1991) for null and for a list not handed out (or already freed). */
NOX_API int32_t Nox_freeFeatureList(NoxFeatureList *list);

/* ---- Feature information ---------------------------------------------------------------------------- */

typedef struct NoxEnumEntryInfo {
    const char *name;        /* the symbolic name Nox_setEnumerationValue takes */
    const char *displayName; /* the name when the description gives none */
    int64_t value;
    uint32_t available;      /* 1 when the entry is implemented and available now */
} NoxEnumEntryInfo;

typedef struct NoxFeatureInfo {
    const char *name;
    const char *categoryPath;    /* as in NoxFeatureListEntry */
    uint32_t type;               /* enum NoxFeatureType */
    uint32_t access;             /* enum NoxAccessMode, now */
    uint32_t visibility;         /* enum NoxVisibility */
    uint32_t representation;     /* enum NoxRepresentation */
    const char *displayName;     /* the name when the description gives none */
    const char *toolTip;         /* "" when none */
    const char *description;     /* "" when none */
    const char *unit;            /* "" when none */
    /* 1 when the integer (or float) range below holds: the feature is an integer (a float) whose
       bounds could be read now. A float without a step has increment 0. */
    uint32_t hasIntegerRange;
    int64_t integerMin, integerMax, integerIncrement;
    uint32_t hasFloatRange;
    double floatMin, floatMax, floatIncrement;
    uint32_t entryCount;         /* enumerations: every entry, in the description's order */
    const NoxEnumEntryInfo *entries;
    uint32_t isSelector;         /* 1 when the feature selects which instance of others is reached */
    uint32_t selectedCount;
    const char *const *selectedFeatures;
} NoxFeatureInfo;

/* Describes one feature of the camera's node map, as it is now. Statuses, checked in this order: 0;
   ERR_INVALID_CAMERA_HANDLE (-1000); ERR_INVALID_FEATURE (-1102) for a null or empty name;
   ERR_INVALID_ARGUMENT (-1991) for a null info pointer; ERR_NO_GENICAM_CONNECTION (-1100) before
   Nox_connectCamera; ERR_INVALID_FEATURE (-1102) for a name that is no node of the node map;
   ERR_EXCEPTION (-1999) when the node map cannot work out the feature's access now (a register its
   availability hangs on cannot be read, for instance). */
NOX_API int32_t Nox_getFeatureInfo(NoxCameraHandle *camera, const char *feature, NoxFeatureInfo **info);
/* Statuses: 0; ERR_INVALID_ARGUMENT (-1991) for null and for a record not handed out (or already freed). */
NOX_API int32_t Nox_freeFeatureInfo(NoxFeatureInfo *info);

/* ---- Boards ----------------------------------------------------------------------------------------- */

typedef struct NoxBoardListEntry {
    uint32_t index;        /* the index OpenGrabber takes */
    int32_t typeCode;      /* the hardware library's "board/type" */
    const char *modelName; /* static text; "" for a type code the library does not serve */
    int64_t serial;
    uint32_t portCount;    /* 0 for a type code the library does not serve */
    uint32_t firmwareMajor, firmwareMinor;
} NoxBoardListEntry;

/* The boards the board libraries offer, from index 0 up to the first index without one: each is
   opened and closed again in turn, so none may be in use by another process that locks it. *count
   gets the number of boards; up to capacity entries are written to boards. A null boards asks for
   the count alone. Statuses: 0; ERR_INVALID_ARGUMENT (-1991) for a null count; ERR_BUFFER_TOO_SMALL
   (-1012) when there are more boards than capacity (the first capacity entries are written);
   LibraryNotLoaded (-2130) when the grabber or the hardware library cannot be loaded. */
NOX_API int32_t Nox_getBoardList(NoxBoardListEntry *boards, uint32_t capacity, uint32_t *count);

/* ---- Camera Link serial ports ----------------------------------------------------------------------- */

/* What the last scan of a Camera Link board settled on a serial port: the line rate in baud (0 when the
   port has no camera connection) and the applet's camera-port configuration (2 base, 3 medium, 4 full,
   5 undetermined; 5 also before a scan). Statuses: 0; ERR_INVALID_BOARD_HANDLE (-1001);
   ERR_INVALID_ARGUMENT (-1991) for a null out pointer; ERR_NOT_IMPLEMENTED (-2000) on boards whose
   cameras are not on Camera Link. */
NOX_API int32_t Nox_getCameraLinkPortState(NoxBoardHandle *board, uint32_t port, uint32_t *baudRate,
                                           uint32_t *portConfiguration);

/* ---- Link configuration ----------------------------------------------------------------------------- */

/* Sets the board's cameras up from a link configuration file (as Nox_LoadBoardConfiguration does) and
   brings their links up, attaching to links that are up already without disturbing them: where every
   link of a camera runs locked and the camera holds the file's master id and link configuration (read
   back from the camera), the links are taken as they are, with no reset and nothing written to the
   camera or its transceivers; otherwise the full Nox_LinkConnect runs for that camera. Meant for a
   program that uses a board another program (or an earlier run) has scanned. Statuses, checked in this
   order: 0; ERR_INVALID_BOARD_HANDLE (-1001); ERR_INVALID_FILENAME (-1003) for a null or empty name and
   for a file that cannot be read; what Nox_LoadBoardConfiguration answers for the file; else every
   camera is tried and the first failure of a camera's link connect is the answer (its cameras stay
   set up, those that failed not connected). */
NOX_API int32_t Nox_attachBoardConfiguration(NoxBoardHandle *board, const char *fileName);

/* Saves the board's connected cameras as Nox_SaveBoardConfiguration does, and records the serial number
   of each camera in its linkgroup element as serialNumber="..." (left out for a camera that gives none),
   an attribute Nox_LoadBoardConfiguration does not read: the file loads as before, and
   Nox_readBoardConfigurationFile tells a later run which camera stood at each link. Statuses: those of
   Nox_SaveBoardConfiguration. */
NOX_API int32_t Nox_saveBoardConfigurationWithSerials(NoxBoardHandle *board, const char *fileName);

typedef struct NoxLinkFileCamera {
    uint32_t masterPort;      /* the physical port of the camera's master link */
    uint32_t linkCount;
    uint32_t speed;           /* Mbit/s */
    const char *serialNumber; /* as saved by Nox_saveBoardConfigurationWithSerials; "" when the file has none */
} NoxLinkFileCamera;

typedef struct NoxLinkFileInfo {
    uint32_t cameraCount;
    const NoxLinkFileCamera *cameras; /* in the file's order, which is the order of the board's camera slots */
} NoxLinkFileInfo;

/* Reads a link configuration file without touching any board, refusing what Nox_LoadBoardConfiguration
   would pass over in silence. Statuses, checked in this order: 0; ERR_INVALID_ARGUMENT (-1991) for a
   null info pointer; ERR_INVALID_FILENAME (-1003) for a null or empty name and for a file that cannot be
   opened; ERR_INVALID_DATA (-1014) for a file that is no link configuration: empty, not XML, another
   root element, a link group or link that cannot be read, or no camera at all. The error record says
   which, with the parser's words. */
NOX_API int32_t Nox_readBoardConfigurationFile(const char *fileName, NoxLinkFileInfo **info);
/* Statuses: 0; ERR_INVALID_ARGUMENT (-1991) for null and for a record not handed out (or already freed). */
NOX_API int32_t Nox_freeLinkFileInfo(NoxLinkFileInfo *info);

/* ---- Camera links ----------------------------------------------------------------------------------- */

typedef struct NoxCameraLinkCounts {
    uint32_t cabledLinks;   /* the camera's links the last discovery found answering on the board's ports */
    uint32_t operatorLinks; /* the links of the camera operator its master link is routed to; 0 without one */
    uint32_t usedLinks;     /* the links the camera is set to run */
} NoxCameraLinkCounts;

/* How many links a camera has on the board, how many its camera operator takes, and how many it runs:
   a camera that runs fewer links than it is cabled with sits on a narrower operator. Statuses, checked
   in this order: 0; ERR_INVALID_CAMERA_HANDLE (-1000); ERR_INVALID_ARGUMENT (-1991) for a null counts
   pointer; ERR_NO_CXP_INTERFACE (-1010) when the camera's board is gone. */
NOX_API int32_t Nox_getCameraLinkCounts(NoxCameraHandle *camera, NoxCameraLinkCounts *counts);

/* ---- Parameter files -------------------------------------------------------------------------------- */

typedef struct NoxParameterLineFailure {
    uint32_t line;       /* the file's line number, from 1 */
    const char *feature; /* the name the line gives; "" for a line too long to be read */
    const char *reason;
} NoxParameterLineFailure;

typedef struct NoxParameterLoadReport {
    uint32_t applied;      /* lines applied */
    uint32_t failed;       /* lines that could not be applied */
    uint32_t stopped;      /* 1 when loading stopped at the first failed line, as flag bit 0 asks */
    uint32_t failureCount; /* lines listed below: the first 100 failed ones */
    const NoxParameterLineFailure *failures;
} NoxParameterLoadReport;

/* Applies a parameter file as Nox_LoadCameraParameters does (the same flags, lines and log records) and
   reports each line that could not be applied. Statuses: ERR_INVALID_ARGUMENT (-1991) for a null report
   pointer, checked first; then the refusals of Nox_LoadCameraParameters before the file is read
   (-1000, -1100, -1003) and ERR_EXCEPTION (-1999) when the node map fails as a whole; otherwise 0 with
   the report, whether or not every line applied. */
NOX_API int32_t Nox_loadCameraParametersWithReport(NoxCameraHandle *camera, const char *fileName, uint32_t flags,
                                                   NoxParameterLoadReport **report);
/* Statuses: 0; ERR_INVALID_ARGUMENT (-1991) for null and for a report not handed out (or already freed). */
NOX_API int32_t Nox_freeParameterLoadReport(NoxParameterLoadReport *report);

/* ---- Library ---------------------------------------------------------------------------------------- */

/* The calling thread's last error record as the log shows it ("thread-id=...|message"), kept whatever
   the log level; "" when none. Each call of a Nox_ function by the application clears it first
   (Nox_getErrorDescription, Nox_getLastErrorText and Nox_getLibraryVersion excepted), so after a failed
   call it tells why that call failed, or is "" when the failure wrote no record. The text is the
   library's, valid until the thread's next call of a Nox_ function. Never null; no status. */
NOX_API const char *Nox_getLastErrorText(void);

/* The library's version, "major.minor.patch". Never null; no status. */
NOX_API const char *Nox_getLibraryVersion(void);

#ifdef __cplusplus
}
#endif

#endif /* NOX_GENICAM_EXT_H */
