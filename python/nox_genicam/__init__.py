"""Cameras on frame-grabber boards from Python: nox_genicam over libnox_genicam.so (ctypes).

    import nox_genicam

    with nox_genicam.open_board(0) as board:
        camera = board.scan()[0]
        camera.connect()
        camera["Width"] = 1024
        print(camera["PixelFormat"])

Failures raise NoxError, which carries the library's status code, its name and description.
"""

from __future__ import annotations

from ._native import LibraryNotFoundError, library
from .board import LINK_LOST, Board, BoardListing, LinkEvent, PowerStatus, list_boards, open_board
from .camera import Camera, CameraIdentity
from .errors import NoxError, Status, status_name
from .features import (AccessMode, Command, EnumEntry, FeatureInfo, FeatureListing, FeatureType, Representation,
                       Visibility)

__version__ = "0.1.0"

__all__ = [
    "AccessMode", "Board", "BoardListing", "Camera", "CameraIdentity", "Command", "EnumEntry", "FeatureInfo",
    "FeatureListing", "FeatureType", "LINK_LOST", "LibraryNotFoundError", "LinkEvent", "NoxError", "PowerStatus",
    "Representation", "Status", "Visibility", "library_version", "list_boards", "open_board", "status_name",
]


def library_version() -> str:
    """The version of the libnox_genicam.so in use."""
    return library().nox.Nox_getLibraryVersion().decode()
