"""Boards: opening one, scanning its ports, its cameras, power, link files and link-loss events."""

from __future__ import annotations

import ctypes
import os
import queue
import sys
import threading
import traceback
import weakref
from ctypes import byref, c_double, c_uint32, c_void_p
from dataclasses import dataclass
from typing import Any, Callable, Union

from ._native import EVENT_CALLBACK, Closable, Library, NoxBoardListEntry, encoded, library, text
from .camera import Camera
from .errors import Status

PathLike = Union[str, "os.PathLike[str]"]

LINK_LOST = 100
"""Event type of a lost camera link."""

# How long closing a board waits for its event thread to hand over the last event.
_EVENT_THREAD_JOIN_SECONDS = 10.0


@dataclass(frozen=True)
class BoardListing:
    """A board the board libraries offer; model "" and ports 0 for a type the library does not serve."""

    index: int
    type_code: int
    model: str
    serial: int
    ports: int
    firmware: tuple[int, int]


@dataclass(frozen=True)
class LinkEvent:
    """An event of a board: type LINK_LOST when the link of the camera in slot was lost."""

    type: int
    slot: int
    camera: Camera | None


@dataclass(frozen=True)
class PowerStatus:
    """Power over CoaXPress of one port: the board's state code, volts and current (A)."""

    port: int
    state: int
    volts: float
    current: float


EventHandler = Callable[[LinkEvent], object]


def list_boards() -> list[BoardListing]:
    """The boards the board libraries offer, from index 0 up to the first index without one."""
    lib = library()
    count = c_uint32()
    lib.check(lib.nox.Nox_getBoardList(None, 0, byref(count)), "listing the boards")
    entries = (NoxBoardListEntry * max(count.value, 1))()
    status = lib.nox.Nox_getBoardList(entries, count.value, byref(count))
    if status != Status.ERR_BUFFER_TOO_SMALL:  # a board that came meanwhile waits for the next listing
        lib.check(status, "listing the boards")
    return [BoardListing(e.index, e.typeCode, text(e.modelName), e.serial, e.portCount,
                         (e.firmwareMajor, e.firmwareMinor)) for e in entries[:min(count.value, len(entries))]]


def open_board(index: int = 0, port_mask: int = 0xFFFF, init_flag: int = 0) -> Board:
    """Opens the board with that index (a grabber session and the library's board object). Use it in a
    with statement, or close() it; boards left open are closed when the interpreter exits."""
    lib = library()
    session = lib.grabber.OpenGrabber(index)
    if not session:
        raise lib.refuse(Status.ERR_BOARD_INIT, f"board {index}: the board libraries offer no such board")
    handle = c_void_p()
    status = lib.nox.Nox_initBoardEx(session, init_flag, byref(handle), port_mask)
    if status != Status.ERR_NONE:
        try:
            lib.check(status, f"board {index}: opening")
        finally:
            lib.grabber.CloseGrabber(session)
    return Board(lib, index, session, handle.value)


class _Events:
    """Link events of one board: the library calls the trampoline on the board's monitoring thread, which
    only queues the event; a Python thread of its own hands each to the handler. So the handler may take
    its time and call the library, close the board included, without holding the monitoring thread."""

    def __init__(self, board: Board) -> None:
        self._board = weakref.ref(board)
        self._queue: queue.SimpleQueue[LinkEvent | None] = queue.SimpleQueue()
        self.handler: EventHandler | None = None
        # Kept alive for as long as the library may call it: until the board is freed.
        self.trampoline = EVENT_CALLBACK(self._on_event)
        self._thread = threading.Thread(target=self._deliver, name="nox-genicam-events", daemon=True)
        self._thread.start()

    def _on_event(self, _board: int | None, camera: int | None, event: Any, _context: int | None) -> int:
        # event: a pointer to the library's NoxEvent, valid during this call only.
        try:
            board = self._board()
            record = event.contents
            self._queue.put(LinkEvent(record.type, record.slot, board._camera_of(camera) if board else None))
        except Exception:  # noqa: BLE001 - nothing may reach the library's thread
            traceback.print_exc()
        return 0

    def _deliver(self) -> None:
        while (event := self._queue.get()) is not None:
            handler = self.handler
            if handler is None:
                continue
            try:
                handler(event)
            except Exception:  # noqa: BLE001 - one failing handler call must not end the delivery
                print("nox_genicam: exception in a link event handler:", file=sys.stderr)
                traceback.print_exc()

    def stop(self) -> None:
        self._queue.put(None)
        if threading.current_thread() is not self._thread:
            self._thread.join(_EVENT_THREAD_JOIN_SECONDS)


class _BoardResources(Closable):
    """What closing a board releases, in order: the event callback, the board object, the session."""

    def __init__(self, lib: Library, handle: int, session: int, events: _Events) -> None:
        self.lib = lib
        self.handle: int | None = handle
        self.session = session
        self.events = events
        self.lock = threading.Lock()

    def close(self) -> None:
        with self.lock:
            if self.handle is None:
                return
            handle, self.handle = self.handle, None
        self.lib.nox.Nox_RegisterEventCallback(handle, EVENT_CALLBACK(), None)
        # Freeing joins the monitoring thread: afterwards no event can arrive.
        self.lib.nox.Nox_freeBoard(handle)
        self.lib.grabber.CloseGrabber(self.session)
        self.events.stop()
        self.lib.untrack(self)


class Board:
    """An open board. Its cameras come from scan() (or load_configuration()); a new scan replaces them."""

    def __init__(self, lib: Library, index: int, session: int, handle: int) -> None:
        self.index = index
        self._lib = lib
        self._lock = threading.RLock()
        self._cameras: list[Camera] = []
        self._by_handle: dict[int, Camera] = {}
        self._events = _Events(self)
        self._resources = _BoardResources(lib, handle, session, self._events)
        lib.track(self._resources)
        self._finalizer = weakref.finalize(self, _BoardResources.close, self._resources)
        lib.check(lib.nox.Nox_RegisterEventCallback(handle, self._events.trampoline, None),
                  f"board {index}: registering the event callback")

    def __enter__(self) -> Board:
        return self

    def __exit__(self, *exception: object) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"Board(index={self.index}, open={self._resources.handle is not None})"

    def close(self) -> None:
        """Frees the board and its cameras; safe to call again, and from an event handler."""
        with self._lock:
            for camera in self._cameras:
                camera._forget()
            self._cameras = []
            self._by_handle = {}
        self._resources.close()

    @property
    def handle(self) -> int:
        """The library's board handle."""
        handle = self._resources.handle
        if handle is None:
            raise self._lib.refuse(Status.ERR_INVALID_BOARD_HANDLE, f"board {self.index}: closed")
        return handle

    # --- Cameras -------------------------------------------------------------------------------------

    def scan(self, port_mask: int = 0xF, speed: int = 0) -> list[Camera]:
        """Discovers the cameras on the ports of the mask (speed 0: detected) and returns them."""
        self._call("Nox_scanPortsEx", "discovering cameras", self.handle, port_mask, speed, 0, 0)
        return [camera for camera in self._refresh_cameras() if camera.discovered]

    @property
    def cameras(self) -> list[Camera]:
        """The camera slots of the last scan or configuration load, placeholders of free camera
        operators included (camera.discovered is False for those)."""
        with self._lock:
            return list(self._cameras)

    def camera(self, slot: int = 0) -> Camera:
        """The camera in a slot of the last scan."""
        for camera in self.cameras:
            if camera.slot == slot:
                return camera
        raise self._lib.refuse(Status.ERR_NO_CAMERA_FOUND, f"board {self.index}: no camera in slot {slot}")

    def _refresh_cameras(self) -> list[Camera]:
        with self._lock:
            for camera in self._cameras:
                camera._forget()
            count = self._call("Nox_getCameraCount", "counting cameras", self.handle)
            cameras = []
            for slot in range(count):
                handle = c_void_p()
                self._call("Nox_getCameraByIndex", f"camera {slot}", self.handle, slot, byref(handle))
                if handle.value:
                    discovered = self._lib.nox.Nox_isCameraAvailableAtIndex(self.handle, slot) == 1
                    cameras.append(Camera(self, slot, handle.value, discovered))
            self._cameras = cameras
            self._by_handle = {camera.handle: camera for camera in cameras}
            return list(cameras)

    def _camera_of(self, handle: int | None) -> Camera | None:
        # Asked on the library's monitoring thread: a dictionary read, no lock to wait for.
        return self._by_handle.get(handle) if handle else None

    # --- Events ----------------------------------------------------------------------------------------

    def on_event(self, handler: EventHandler | None) -> None:
        """Calls handler(LinkEvent) for each link event, on a Python thread of the board's own; None stops."""
        self._events.handler = handler

    # --- Power -----------------------------------------------------------------------------------------

    def power_on(self, port_mask: int = 0xF) -> None:
        self._call("Nox_powerSwitchExt", "switching power on", self.handle, port_mask, 1)

    def power_off(self, port_mask: int = 0xF) -> None:
        self._call("Nox_powerSwitchExt", "switching power off", self.handle, port_mask, 0)

    def power_cycle(self, port_mask: int = 0xF) -> None:
        self._call("Nox_powerSwitchExt", "cycling power", self.handle, port_mask, 2)

    def power_status(self, port: int) -> PowerStatus:
        """Power over CoaXPress of one port."""
        state, volts, current = c_uint32(), c_double(), c_double()
        what = f"power status of port {port}"
        self._call("Nox_getBoardPropertyWithType", what, self.handle, b"CxpPowerStatus", byref(state), 1, port)
        self._call("Nox_getBoardPropertyWithType", what, self.handle, b"CxpPowerVin", byref(volts), 2, port)
        self._call("Nox_getBoardPropertyWithType", what, self.handle, b"CxpPowerSense", byref(current), 2, port)
        return PowerStatus(port, state.value, volts.value, current.value)

    # --- Registers of the camera on a port ---------------------------------------------------------------

    def read_register(self, port: int, address: int) -> int:
        value = c_uint32()
        self._call("Nox_DirectRegisterRead", f"reading register {address:#x} on port {port}", self.handle, port,
                   address, byref(value))
        return value.value

    def write_register(self, port: int, address: int, value: int) -> None:
        self._call("Nox_DirectRegisterWrite", f"writing register {address:#x} on port {port}", self.handle, port,
                   address, value, 0)

    def read_memory(self, port: int, address: int, length: int) -> bytes:
        buffer = ctypes.create_string_buffer(length)
        size = c_uint32(length)
        self._call("Nox_DirectRegisterReadMem", f"reading {length} bytes at {address:#x} on port {port}",
                   self.handle, port, address, buffer, byref(size))
        return buffer.raw[:min(size.value, length)]

    def write_memory(self, port: int, address: int, data: bytes) -> None:
        buffer = ctypes.create_string_buffer(bytes(data), len(data))
        self._call("Nox_DirectRegisterWriteMem", f"writing {len(data)} bytes at {address:#x} on port {port}",
                   self.handle, port, address, buffer, len(data))

    # --- Link files --------------------------------------------------------------------------------------

    def save_configuration(self, path: PathLike) -> None:
        """Writes the connected cameras' link layout to a link configuration file."""
        file = os.fspath(path)
        self._call("Nox_SaveBoardConfiguration", f"saving the link configuration {file}", self.handle,
                   encoded(file, "file"))

    def load_configuration(self, path: PathLike) -> list[Camera]:
        """Builds the cameras from a link configuration file instead of a scan, and returns them."""
        file = os.fspath(path)
        self._call("Nox_LoadBoardConfiguration", f"loading the link configuration {file}", self.handle,
                   encoded(file, "file"))
        return self._refresh_cameras()

    def attach_configuration(self, path: PathLike) -> list[Camera]:
        """Sets the cameras up from a link configuration file and takes the links that are already up
        as they are (another program's, or an earlier run's); cameras that differ are connected afresh."""
        file = os.fspath(path)
        self._call("Nox_attachBoardConfiguration", f"attaching with the link configuration {file}", self.handle,
                   encoded(file, "file"))
        return self._refresh_cameras()

    def store_link_profile(self, path: PathLike) -> None:
        """Writes the board's port routing and link speeds (a low-level link profile)."""
        file = os.fspath(path)
        self._call("Nox_StoreLowLevelLinkProfile", f"storing the link profile {file}", self.handle,
                   encoded(file, "file"))

    def restore_link_profile(self, path: PathLike) -> None:
        file = os.fspath(path)
        self._call("Nox_RestoreLowLevelLinkProfile", f"restoring the link profile {file}", self.handle,
                   encoded(file, "file"))

    def _call(self, function: str, what: str, *arguments: object) -> int:
        return self._lib.check(getattr(self._lib.nox, function)(*arguments), f"board {self.index}: {what}")
