"""Finds and loads libnox_genicam.so and the grabber library beside it, and declares their functions.

The library is looked for, in this order: the file NOX_GENICAM_LIBRARY names; lib/ of the
installation NOX_GENICAM_ROOT names; lib/ (or build/lib/, a build tree) of a folder this package
lies in; the dynamic loader's own search. The grabber library (libgrablib5.so) is loaded from the
folder the library was found in, where the library itself loads its board libraries from.
"""

from __future__ import annotations

import atexit
import ctypes
import os
import threading
import weakref
from ctypes import POINTER, c_char_p, c_double, c_int32, c_int64, c_uint16, c_uint32, c_void_p
from pathlib import Path
from typing import Iterator

from .errors import NoxError, Status

LIBRARY_NAME = "libnox_genicam.so.0"
GRABBER_NAME = "libgrablib5.so"


class LibraryNotFoundError(OSError):
    """No libnox_genicam.so where the package looks for it."""


class NoxCameraInfo(ctypes.Structure):
    _fields_ = [(name, c_char_p) for name in ("vendorName", "modelName", "familyName", "version", "firmwareVersion",
                                               "manufacturerInfo", "serialNumber", "userId")]


class NoxEvent(ctypes.Structure):
    _pack_ = 1
    _fields_ = [("type", c_uint16), ("slot", c_uint32), ("reserved", c_uint32)]


class NoxFeatureListEntry(ctypes.Structure):
    _fields_ = [("name", c_char_p), ("categoryPath", c_char_p), ("type", c_uint32)]


class NoxFeatureList(ctypes.Structure):
    _fields_ = [("count", c_uint32), ("features", POINTER(NoxFeatureListEntry))]


class NoxEnumEntryInfo(ctypes.Structure):
    _fields_ = [("name", c_char_p), ("displayName", c_char_p), ("value", c_int64), ("available", c_uint32)]


class NoxFeatureInfo(ctypes.Structure):
    _fields_ = [
        ("name", c_char_p), ("categoryPath", c_char_p),
        ("type", c_uint32), ("access", c_uint32), ("visibility", c_uint32), ("representation", c_uint32),
        ("displayName", c_char_p), ("toolTip", c_char_p), ("description", c_char_p), ("unit", c_char_p),
        ("hasIntegerRange", c_uint32), ("integerMin", c_int64), ("integerMax", c_int64), ("integerIncrement", c_int64),
        ("hasFloatRange", c_uint32), ("floatMin", c_double), ("floatMax", c_double), ("floatIncrement", c_double),
        ("entryCount", c_uint32), ("entries", POINTER(NoxEnumEntryInfo)),
        ("isSelector", c_uint32), ("selectedCount", c_uint32), ("selectedFeatures", POINTER(c_char_p)),
    ]


class NoxBoardListEntry(ctypes.Structure):
    _fields_ = [("index", c_uint32), ("typeCode", c_int32), ("modelName", c_char_p), ("serial", c_int64),
                ("portCount", c_uint32), ("firmwareMajor", c_uint32), ("firmwareMinor", c_uint32)]


EVENT_CALLBACK = ctypes.CFUNCTYPE(c_int32, c_void_p, c_void_p, POINTER(NoxEvent), c_void_p)

_BOARD, _CAMERA, _TEXT, _U32, _I64 = c_void_p, c_void_p, c_char_p, c_uint32, c_int64

# name: (result, arguments); every function not listed returns a status and takes what is given.
_PROTOTYPES: dict[str, tuple[object, list[object]]] = {
    "GenICamInit": (None, []),
    "GenICamDeinit": (None, []),
    "Nox_getErrorDescription": (c_char_p, [c_int32]),
    "Nox_getLastErrorText": (c_char_p, []),
    "Nox_getLibraryVersion": (c_char_p, []),
    "Nox_initBoardEx": (c_int32, [c_void_p, _U32, POINTER(c_void_p), _U32]),
    "Nox_freeBoard": (None, [_BOARD]),
    "Nox_scanPortsEx": (c_int32, [_BOARD, _U32, _U32, _U32, _U32]),
    "Nox_getCameraCount": (c_int32, [_BOARD]),
    "Nox_getCameraByIndex": (c_int32, [_BOARD, _U32, POINTER(c_void_p)]),
    "Nox_isCameraAvailableAtIndex": (c_int32, [_BOARD, _U32]),
    "Nox_getCameraInfo": (POINTER(NoxCameraInfo), [_CAMERA]),
    "Nox_powerSwitchExt": (c_int32, [_BOARD, _U32, _U32]),
    "Nox_LinkConnect": (c_int32, [_BOARD, _CAMERA]),
    "Nox_disconnectCamera": (c_int32, [_CAMERA]),
    "Nox_RegisterEventCallback": (c_int32, [_BOARD, EVENT_CALLBACK, c_void_p]),
    "Nox_DirectRegisterRead": (c_int32, [_BOARD, _U32, _U32, POINTER(c_uint32)]),
    "Nox_DirectRegisterWrite": (c_int32, [_BOARD, _U32, _U32, _U32, _U32]),
    "Nox_DirectRegisterReadMem": (c_int32, [_BOARD, _U32, _U32, c_void_p, POINTER(c_uint32)]),
    "Nox_DirectRegisterWriteMem": (c_int32, [_BOARD, _U32, _U32, c_void_p, _U32]),
    "Nox_registerReadFromCamera": (c_int32, [_CAMERA, POINTER(c_uint32), _U32]),
    "Nox_registerWriteToCamera": (c_int32, [_CAMERA, _U32, _U32]),
    "Nox_memoryReadFromCamera": (c_int32, [_CAMERA, c_void_p, _U32, _U32]),
    "Nox_memoryWriteToCamera": (c_int32, [_CAMERA, c_void_p, _U32, _U32]),
    "Nox_getBoardPropertyWithType": (c_int32, [_BOARD, _TEXT, c_void_p, _U32, _U32]),
    "Nox_getCameraPropertyWithType": (c_int32, [_CAMERA, _TEXT, c_void_p, POINTER(c_uint32), POINTER(c_uint32)]),
    "Nox_getIntegerValue": (c_int32, [_CAMERA, _TEXT, POINTER(c_int64)]),
    "Nox_setIntegerValue": (c_int32, [_CAMERA, _TEXT, _I64]),
    "Nox_getBooleanValue": (c_int32, [_CAMERA, _TEXT, POINTER(c_uint32)]),
    "Nox_setBooleanValue": (c_int32, [_CAMERA, _TEXT, _U32]),
    "Nox_getFloatValue": (c_int32, [_CAMERA, _TEXT, POINTER(c_double)]),
    "Nox_setFloatValue": (c_int32, [_CAMERA, _TEXT, c_double]),
    "Nox_getStringValue": (c_int32, [_CAMERA, _TEXT, POINTER(c_char_p)]),
    "Nox_setStringValue": (c_int32, [_CAMERA, _TEXT, _TEXT]),
    "Nox_getEnumerationValueAsString": (c_int32, [_CAMERA, _TEXT, POINTER(c_char_p)]),
    "Nox_setEnumerationValue": (c_int32, [_CAMERA, _TEXT, _TEXT]),
    "Nox_executeCommand": (c_int32, [_CAMERA, _TEXT]),
    "Nox_isCommandDone": (c_int32, [_CAMERA, _TEXT, POINTER(c_uint32)]),
    "Nox_connectCamera": (c_int32, [_CAMERA]),
    "Nox_connectCameraWithExternalXml": (c_int32, [_CAMERA, _TEXT]),
    "Nox_SaveCameraParameters": (c_int32, [_CAMERA, _TEXT]),
    "Nox_LoadCameraParameters": (c_int32, [_CAMERA, _TEXT, _U32]),
    "Nox_SaveBoardConfiguration": (c_int32, [_BOARD, _TEXT]),
    "Nox_LoadBoardConfiguration": (c_int32, [_BOARD, _TEXT]),
    "Nox_attachBoardConfiguration": (c_int32, [_BOARD, _TEXT]),
    "Nox_StoreLowLevelLinkProfile": (c_int32, [_BOARD, _TEXT]),
    "Nox_RestoreLowLevelLinkProfile": (c_int32, [_BOARD, _TEXT]),
    "Nox_getFeatureList": (c_int32, [_CAMERA, POINTER(POINTER(NoxFeatureList))]),
    "Nox_freeFeatureList": (c_int32, [POINTER(NoxFeatureList)]),
    "Nox_getFeatureInfo": (c_int32, [_CAMERA, _TEXT, POINTER(POINTER(NoxFeatureInfo))]),
    "Nox_freeFeatureInfo": (c_int32, [POINTER(NoxFeatureInfo)]),
    "Nox_getBoardList": (c_int32, [POINTER(NoxBoardListEntry), _U32, POINTER(c_uint32)]),
}


def _candidates() -> Iterator[Path | str]:
    named = os.environ.get("NOX_GENICAM_LIBRARY")
    if named:
        yield Path(named)
        return
    root = os.environ.get("NOX_GENICAM_ROOT")
    if root:
        yield Path(root) / "lib" / LIBRARY_NAME
    for folder in Path(__file__).resolve().parents:
        yield folder / "lib" / LIBRARY_NAME
        yield folder / "build" / "lib" / LIBRARY_NAME
    yield LIBRARY_NAME


class Library:
    """The loaded library, brought up once (GenICamInit) and down at interpreter exit."""

    def __init__(self, folder: Path, nox: ctypes.CDLL, grabber: ctypes.CDLL) -> None:
        self.folder = folder  # where the library and the board libraries lie
        self.nox = nox
        self.grabber = grabber
        # Boards not closed yet: each is closed before the library goes down.
        self._open: weakref.WeakSet[Closable] = weakref.WeakSet()
        self._lock = threading.Lock()
        self.nox.GenICamInit()
        atexit.register(self._shut_down)

    def check(self, status: int, what: str) -> int:
        """The status when it is no failure; otherwise NoxError with the thread's last error record."""
        if status >= 0:
            return status
        detail = (self.nox.Nox_getLastErrorText() or b"").decode("utf-8", "replace")
        raise NoxError(status, what, self.description(status), detail)

    def refuse(self, status: int, what: str) -> NoxError:
        """A NoxError for a refusal of the package itself, before the library was called."""
        return NoxError(status, what, self.description(status))

    def description(self, status: int) -> str:
        return self.nox.Nox_getErrorDescription(status).decode("utf-8", "replace")

    def track(self, closable: Closable) -> None:
        with self._lock:
            self._open.add(closable)

    def untrack(self, closable: Closable) -> None:
        with self._lock:
            self._open.discard(closable)

    def _shut_down(self) -> None:
        # Boards first: their monitoring threads call into Python until they are freed.
        with self._lock:
            remaining = list(self._open)
        for closable in remaining:
            closable.close()
        self.nox.GenICamDeinit()


class Closable:
    """Something the library must close before it goes down."""

    def close(self) -> None:  # pragma: no cover - overridden
        raise NotImplementedError


_library: Library | None = None
_load_lock = threading.Lock()


def library() -> Library:
    """The library, loaded on first use; LibraryNotFoundError when it is nowhere to be found."""
    global _library
    with _load_lock:
        if _library is None:
            _library = _load()
        return _library


def _load() -> Library:
    tried = []
    for candidate in _candidates():
        if isinstance(candidate, Path) and not candidate.is_file():
            tried.append(str(candidate))
            continue
        try:
            nox = ctypes.CDLL(str(candidate))
        except OSError as error:
            tried.append(f"{candidate} ({error})")
            continue
        folder = Path(_loaded_path(nox, candidate)).parent
        grabber = ctypes.CDLL(str(folder / GRABBER_NAME))
        _declare(nox)
        _declare_grabber(grabber)
        return Library(folder, nox, grabber)
    raise LibraryNotFoundError(
        "libnox_genicam.so not found; set NOX_GENICAM_LIBRARY or NOX_GENICAM_ROOT. Tried: " + ", ".join(tried))


def _loaded_path(nox: ctypes.CDLL, candidate: Path | str) -> str:
    """The file the loader took the library from (the candidate may be a bare name)."""
    if isinstance(candidate, Path):
        return str(candidate.resolve())
    info = _DlInfo()
    libc = ctypes.CDLL(None)
    libc.dladdr.argtypes = [c_void_p, POINTER(_DlInfo)]
    address = ctypes.cast(nox.GenICamInit, c_void_p)
    if libc.dladdr(address, ctypes.byref(info)) == 0 or not info.dli_fname:
        raise LibraryNotFoundError(f"cannot tell where {candidate} was loaded from")
    return os.path.realpath(info.dli_fname.decode())


class _DlInfo(ctypes.Structure):
    _fields_ = [("dli_fname", c_char_p), ("dli_fbase", c_void_p), ("dli_sname", c_char_p), ("dli_saddr", c_void_p)]


def _declare(nox: ctypes.CDLL) -> None:
    for name, (result, arguments) in _PROTOTYPES.items():
        function = getattr(nox, name)
        function.restype = result
        function.argtypes = arguments


def _declare_grabber(grabber: ctypes.CDLL) -> None:
    grabber.OpenGrabber.restype = c_void_p
    grabber.OpenGrabber.argtypes = [c_uint32]
    grabber.CloseGrabber.restype = None
    grabber.CloseGrabber.argtypes = [c_void_p]


def text(value: bytes | None) -> str:
    """A text of the library as str ("" for null)."""
    return value.decode("utf-8", "replace") if value else ""


def encoded(value: str, what: str) -> bytes:
    """A text for the library; one with a NUL in it could never be what the caller meant."""
    if "\0" in value:
        raise library().refuse(Status.ERR_INVALID_ARGUMENT, f"{what}: the text holds a NUL character")
    return value.encode("utf-8")

