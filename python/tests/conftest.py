"""Fixtures: the virtual frame grabber's control entry points and a board opened on it."""

from __future__ import annotations

import ctypes
import os
from pathlib import Path
from typing import Iterator

import pytest

import nox_genicam
from nox_genicam._native import library

SOURCE_DIR = Path(os.environ.get("NOX_SOURCE_DIR", Path(__file__).resolve().parents[2]))

# The settling waits of real hardware; the virtual frame grabber settles at once.
for _wait in ("LINK_RESET_ON_EACH_PORT", "LINK_RESET_DONE", "LINK_LOCK_FOUND", "CAMERA_CONFIG_CHANGED",
              "UPLINK_SPEED_CHANGED", "POWERUP", "POWERDOWN"):
    os.environ.setdefault(f"VEXO_CXP_WAIT_AFTER_{_wait}", "0")
os.environ.setdefault("VEXO_NOX_SYNC_MONITOR_INITIAL_WAIT_IN_MS", "0")


class Simulator:
    """The virtual frame grabber's control entry points (sim/include/vexosim.h)."""

    def __init__(self) -> None:
        self._hal = ctypes.CDLL(str(library().folder / "libvexo_hal.so"))
        self._hal.vexosim_load_topology.argtypes = [ctypes.c_char_p]
        self._hal.vexosim_plug.argtypes = [ctypes.c_uint32, ctypes.c_uint32, ctypes.c_int32]

    def load_topology(self, text: str | None = None) -> None:
        assert self._hal.vexosim_load_topology(text.encode() if text else None) == 0

    def plug(self, board: int, port: int, plugged: bool) -> None:
        assert self._hal.vexosim_plug(board, port, 1 if plugged else 0) == 0


@pytest.fixture
def sim() -> Simulator:
    simulator = Simulator()
    simulator.load_topology()  # the default topology, powered up afresh
    return simulator


@pytest.fixture
def board(sim: Simulator) -> Iterator[nox_genicam.Board]:
    with nox_genicam.open_board(0) as opened:
        yield opened
