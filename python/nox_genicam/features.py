"""What a camera's node map says about its features (nox_genicam_ext.h), as Python values."""

from __future__ import annotations

import enum
from dataclasses import dataclass, field
from typing import TYPE_CHECKING

from ._native import NoxFeatureInfo, NoxFeatureListEntry, text

if TYPE_CHECKING:
    from .camera import Camera


class FeatureType(enum.IntEnum):
    """The kind of a feature node."""

    OTHER = 0
    INTEGER = 1
    FLOAT = 2
    STRING = 3
    BOOLEAN = 4
    ENUMERATION = 5
    COMMAND = 6
    CATEGORY = 7


class AccessMode(enum.IntEnum):
    """What may be done with a feature now: not implemented, not available, write only, read only, both."""

    NI = 0
    NA = 1
    WO = 2
    RO = 3
    RW = 4

    @property
    def readable(self) -> bool:
        return self in (AccessMode.RO, AccessMode.RW)

    @property
    def writable(self) -> bool:
        return self in (AccessMode.WO, AccessMode.RW)


class Visibility(enum.IntEnum):
    """For whom a user interface shows the feature."""

    BEGINNER = 0
    EXPERT = 1
    GURU = 2
    INVISIBLE = 3


class Representation(enum.IntEnum):
    """How a number is best shown or entered."""

    LINEAR = 0
    LOGARITHMIC = 1
    BOOLEAN = 2
    PURE_NUMBER = 3
    HEX_NUMBER = 4
    IPV4_ADDRESS = 5
    MAC_ADDRESS = 6
    UNDEFINED = 7


@dataclass(frozen=True)
class FeatureListing:
    """One feature node of the description, with the categories that lead to it ("Root/ImageFormatControl";
    "" for a root category and for a node no category reaches)."""

    name: str
    category_path: str
    type: FeatureType

    @classmethod
    def from_native(cls, entry: NoxFeatureListEntry) -> FeatureListing:
        return cls(text(entry.name), text(entry.categoryPath), FeatureType(entry.type))


@dataclass(frozen=True)
class EnumEntry:
    """One entry of an enumeration; available tells whether it may be chosen now."""

    name: str
    display_name: str
    value: int
    available: bool


@dataclass(frozen=True)
class FeatureInfo:
    """One feature as the node map has it when asked. minimum, maximum and increment are None for
    features without a range (and for numbers whose bounds could not be read); a float without a
    step has increment 0.0."""

    name: str
    category_path: str
    type: FeatureType
    access: AccessMode
    visibility: Visibility
    representation: Representation
    display_name: str
    tooltip: str
    description: str
    unit: str
    minimum: int | float | None = None
    maximum: int | float | None = None
    increment: int | float | None = None
    entries: list[EnumEntry] = field(default_factory=list)
    is_selector: bool = False
    selected: list[str] = field(default_factory=list)

    @property
    def readable(self) -> bool:
        return self.access.readable

    @property
    def writable(self) -> bool:
        return self.access.writable

    @classmethod
    def from_native(cls, info: NoxFeatureInfo) -> FeatureInfo:
        if info.hasIntegerRange:
            bounds: tuple[int | float | None, ...] = (info.integerMin, info.integerMax, info.integerIncrement)
        elif info.hasFloatRange:
            bounds = (info.floatMin, info.floatMax, info.floatIncrement)
        else:
            bounds = (None, None, None)
        entries = [EnumEntry(text(e.name), text(e.displayName), e.value, bool(e.available))
                   for e in (info.entries[i] for i in range(info.entryCount))]
        return cls(name=text(info.name), category_path=text(info.categoryPath), type=FeatureType(info.type),
                   access=AccessMode(info.access), visibility=Visibility(info.visibility),
                   representation=Representation(info.representation), display_name=text(info.displayName),
                   tooltip=text(info.toolTip), description=text(info.description), unit=text(info.unit),
                   minimum=bounds[0], maximum=bounds[1], increment=bounds[2], entries=entries,
                   is_selector=bool(info.isSelector),
                   selected=[text(info.selectedFeatures[i]) for i in range(info.selectedCount)])


class Command:
    """A command feature: call it to execute the command."""

    def __init__(self, camera: Camera, name: str) -> None:
        self._camera = camera
        self.name = name

    def __call__(self) -> None:
        self._camera.execute(self.name)

    @property
    def done(self) -> bool:
        """Whether the camera reports the command complete."""
        return self._camera.is_done(self.name)

    def __repr__(self) -> str:
        return f"Command({self.name!r})"
