/*
 * nox-genicam extensions: what a camera's node map says about its features, the boards the board
 * libraries offer, the calling thread's last error text and the library's version.
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
