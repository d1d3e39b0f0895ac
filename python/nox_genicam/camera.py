"""A camera on a board: its links, its GenICam features by name, its registers and parameter files."""

from __future__ import annotations

import ctypes
import os
from ctypes import byref, c_char_p, c_double, c_int64, c_uint32
from dataclasses import dataclass
from typing import TYPE_CHECKING, Union

from ._native import NoxFeatureInfo, NoxFeatureList, encoded, library, text
from .errors import Status
from .features import Command, FeatureInfo, FeatureListing, FeatureType

if TYPE_CHECKING:
    from .board import Board

Value = Union[int, float, bool, str, Command]
PathLike = Union[str, "os.PathLike[str]"]


@dataclass(frozen=True)
class CameraIdentity:
    """What the camera reports about itself; None where it reports nothing."""

    vendor: str | None
    model: str | None
    family: str | None
    version: str | None
    firmware_version: str | None
    manufacturer_info: str | None
    serial: str | None
    user_id: str | None


class Camera:
    """One camera slot of a board's last scan (or loaded link configuration).

    Features are reached by name once connect() succeeded: camera["Width"] reads, camera["Width"] = 1024
    writes, an enumeration reads and takes the entry's name, a command reads as a callable Command.
    A camera object is valid until its board is scanned again or closed; afterwards every call raises
    NoxError ERR_INVALID_CAMERA_HANDLE.
    """

    def __init__(self, board: Board, slot: int, handle: int, discovered: bool) -> None:
        self._board = board
        self.slot = slot
        self.discovered = discovered
        self._handle: int | None = handle
        self._types: dict[str, FeatureType] = {}

    def __repr__(self) -> str:
        return f"Camera(slot={self.slot}, discovered={self.discovered})"

    # --- Links and GenICam connection -------------------------------------------------------------

    def link_connect(self) -> None:
        """Brings the camera's links up."""
        self._call("Nox_LinkConnect", "connecting the links", self._board.handle, self.handle)

    def connect(self, description: PathLike | None = None) -> None:
        """Brings the links up and builds the node map from the camera's description, or from a
        description file (plain or zipped) when one is given."""
        self.link_connect()
        self._types.clear()
        if description is None:
            self._call("Nox_connectCamera", "connecting the camera", self.handle)
        else:
            path = os.fspath(description)
            self._call("Nox_connectCameraWithExternalXml", f"connecting the camera with {path}", self.handle,
                       encoded(path, "description file"))

    def disconnect(self) -> None:
        """Drops the GenICam connection and marks the links down."""
        self._types.clear()
        self._call("Nox_disconnectCamera", "disconnecting the camera", self.handle)

    @property
    def identity(self) -> CameraIdentity:
        """The camera's identification texts."""
        info = library().nox.Nox_getCameraInfo(self.handle)
        if not info:
            raise library().refuse(Status.ERR_INVALID_CAMERA_HANDLE, f"camera {self.slot}: identity")
        fields = info.contents
        texts = [fields.vendorName, fields.modelName, fields.familyName, fields.version, fields.firmwareVersion,
                 fields.manufacturerInfo, fields.serialNumber, fields.userId]
        return CameraIdentity(*(None if value is None else text(value) for value in texts))

    def property_value(self, name: str, index: int | None = None) -> int:
        """A numeric camera property ("LINKSPEED", "MASTERPORT", "FGPORT" with a link index ...)."""
        value, kind = c_uint32(), c_uint32(1)
        link = c_uint32(index or 0)
        self._call("Nox_getCameraPropertyWithType", f"property {name}", self.handle, encoded(name, "property"),
                   byref(value), byref(kind), byref(link) if index is not None else None)
        return value.value

    # --- Features ----------------------------------------------------------------------------------

    def __getitem__(self, name: str) -> Value:
        kind = self.feature_type(name)
        feature = encoded(name, "feature")
        what = f"get {name}"
        if kind == FeatureType.INTEGER:
            integer = c_int64()
            self._call("Nox_getIntegerValue", what, self.handle, feature, byref(integer))
            return integer.value
        if kind == FeatureType.FLOAT:
            number = c_double()
            self._call("Nox_getFloatValue", what, self.handle, feature, byref(number))
            return number.value
        if kind == FeatureType.BOOLEAN:
            flag = c_uint32()
            self._call("Nox_getBooleanValue", what, self.handle, feature, byref(flag))
            return flag.value != 0
        if kind in (FeatureType.STRING, FeatureType.ENUMERATION):
            function = "Nox_getStringValue" if kind == FeatureType.STRING else "Nox_getEnumerationValueAsString"
            value = c_char_p()
            self._call(function, what, self.handle, feature, byref(value))
            return text(value.value)
        if kind == FeatureType.COMMAND:
            return Command(self, name)
        raise library().refuse(Status.ERR_INVALID_FEATURE, f"{what}: a {kind.name.lower()} holds no value")

    def __setitem__(self, name: str, value: int | float | bool | str) -> None:
        kind = self.feature_type(name)
        feature = encoded(name, "feature")
        what = f"set {name}"
        if kind == FeatureType.INTEGER and isinstance(value, int) and not isinstance(value, bool):
            self._call("Nox_setIntegerValue", what, self.handle, feature, value)
        elif kind == FeatureType.FLOAT and isinstance(value, (int, float)) and not isinstance(value, bool):
            self._call("Nox_setFloatValue", what, self.handle, feature, float(value))
        elif kind == FeatureType.BOOLEAN and isinstance(value, (bool, int)):
            self._call("Nox_setBooleanValue", what, self.handle, feature, 1 if value else 0)
        elif kind == FeatureType.STRING and isinstance(value, str):
            self._call("Nox_setStringValue", what, self.handle, feature, encoded(value, what))
        elif kind == FeatureType.ENUMERATION and isinstance(value, str):
            self._call("Nox_setEnumerationValue", what, self.handle, feature, encoded(value, what))
        else:
            raise TypeError(f"{what}: a {kind.name.lower()} feature does not take {type(value).__name__} {value!r}")

    def execute(self, name: str) -> None:
        """Executes a command feature."""
        self._call("Nox_executeCommand", f"exec {name}", self.handle, encoded(name, "feature"))

    def is_done(self, name: str) -> bool:
        """Whether the camera reports the command complete."""
        done = c_uint32()
        self._call("Nox_isCommandDone", f"state of {name}", self.handle, encoded(name, "feature"), byref(done))
        return done.value != 0

    def feature_type(self, name: str) -> FeatureType:
        """The kind of a feature (asked of the node map once per connection)."""
        if name not in self._types:
            self._types[name] = self.describe(name).type
        return self._types[name]

    def describe(self, name: str) -> FeatureInfo:
        """What the node map says about the feature now."""
        lib = library()
        pointer = ctypes.POINTER(NoxFeatureInfo)()
        self._call("Nox_getFeatureInfo", f"describe {name}", self.handle, encoded(name, "feature"), byref(pointer))
        try:
            return FeatureInfo.from_native(pointer.contents)
        finally:
            lib.nox.Nox_freeFeatureInfo(pointer)

    def features(self, category: str | None = None) -> list[FeatureListing]:
        """Every feature node of the description in its order; with a category, only those under it."""
        lib = library()
        pointer = ctypes.POINTER(NoxFeatureList)()
        self._call("Nox_getFeatureList", "listing the features", self.handle, byref(pointer))
        try:
            listing = [FeatureListing.from_native(pointer.contents.features[i]) for i in range(pointer.contents.count)]
        finally:
            lib.nox.Nox_freeFeatureList(pointer)
        if category is None:
            return listing
        return [feature for feature in listing if category in feature.category_path.split("/")]

    # --- Registers and memory ------------------------------------------------------------------------

    def read_register(self, address: int) -> int:
        """A 32-bit camera register (big-endian on the wire) as a number."""
        value = c_uint32()
        self._call("Nox_registerReadFromCamera", f"reading register {address:#x}", self.handle, byref(value), address)
        return value.value

    def write_register(self, address: int, value: int) -> None:
        self._call("Nox_registerWriteToCamera", f"writing register {address:#x}", self.handle, value, address)

    def read_memory(self, address: int, length: int) -> bytes:
        """length bytes of the camera's register space, as they are on the wire."""
        buffer = ctypes.create_string_buffer(length)
        self._call("Nox_memoryReadFromCamera", f"reading {length} bytes at {address:#x}", self.handle, buffer,
                   address, length)
        return buffer.raw[:length]

    def write_memory(self, address: int, data: bytes) -> None:
        buffer = ctypes.create_string_buffer(bytes(data), len(data))
        self._call("Nox_memoryWriteToCamera", f"writing {len(data)} bytes at {address:#x}", self.handle, buffer,
                   address, len(data))

    # --- Parameter files -----------------------------------------------------------------------------

    def save_parameters(self, path: PathLike) -> None:
        """Writes every feature's value as a parameter file."""
        file = os.fspath(path)
        self._call("Nox_SaveCameraParameters", f"saving the parameters to {file}", self.handle,
                   encoded(file, "file"))

    def load_parameters(self, path: PathLike, strict: bool = False) -> None:
        """Applies a parameter file line by line; strict stops at the first line that cannot be applied."""
        file = os.fspath(path)
        self._call("Nox_LoadCameraParameters", f"loading the parameters from {file}", self.handle,
                   encoded(file, "file"), 1 if strict else 0)

    # --- Plumbing --------------------------------------------------------------------------------------

    @property
    def handle(self) -> int:
        """The library's camera handle."""
        if self._handle is None:
            raise library().refuse(Status.ERR_INVALID_CAMERA_HANDLE,
                                   f"camera {self.slot}: its board was scanned again or closed")
        return self._handle

    def _forget(self) -> None:
        self._handle = None
        self._types.clear()

    def _call(self, function: str, what: str, *arguments: object) -> int:
        lib = library()
        return lib.check(getattr(lib.nox, function)(*arguments), f"camera {self.slot}: {what}")

