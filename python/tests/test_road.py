"""From a board to a camera's features and back, through the package, against the virtual frame grabber."""

from __future__ import annotations

import re
import time

import pytest

import nox_genicam
from conftest import SOURCE_DIR
from nox_genicam import AccessMode, FeatureType, NoxError, Status

WIDTH_REGISTER = 0x6008


def connected(board: nox_genicam.Board, slot: int = 0) -> nox_genicam.Camera:
    camera = board.scan()[slot]
    camera.connect()
    return camera


def test_board_to_feature_and_back(board: nox_genicam.Board) -> None:
    cameras = board.scan()
    assert [camera.slot for camera in cameras] == [0, 1]
    assert [camera.discovered for camera in board.cameras] == [True, True, False]
    camera = cameras[0]
    camera.connect()
    assert camera.identity.model == "VX-12M"
    assert camera.identity.family is None

    camera["Width"] = 1024
    assert camera["Width"] == 1024
    assert camera.read_register(WIDTH_REGISTER) == 1024  # it reached the camera
    camera["PixelFormat"] = "Mono12"
    assert camera["PixelFormat"] == "Mono12"
    camera["Gain"] = 3.5
    assert camera["Gain"] == 3.5
    camera["ReverseX"] = True
    assert camera["ReverseX"] is True
    camera["DeviceUserID"] = "bench-3"
    assert camera["DeviceUserID"] == "bench-3"

    trigger = camera["TriggerSoftware"]
    trigger()
    deadline = time.monotonic() + 10
    while not trigger.done:
        assert time.monotonic() < deadline, "the software trigger never completed"
        time.sleep(0.01)

    width = camera.describe("Width")
    assert (width.type, width.access, width.category_path) == (FeatureType.INTEGER, AccessMode.RW,
                                                               "Root/ImageFormatControl")
    assert (width.minimum, width.maximum, width.increment) == (16, 4096, 16)
    camera["OffsetX"] = 1024
    assert camera.describe("Width").maximum == 3072  # the range is the node map's now
    assert [entry.name for entry in camera.describe("PixelFormat").entries] == ["Mono8", "Mono10", "Mono12", "RGB8"]
    assert camera.describe("TriggerSelector").selected == ["TriggerMode", "TriggerSource"]
    names = [feature.name for feature in camera.features()]
    assert names.index("Root") < names.index("Width")
    assert [feature.name for feature in camera.features("AnalogControl")] == ["Gain"]

    vendor = camera.read_memory(0x2000, 11)
    assert isinstance(vendor, bytes) and vendor == b"Vexo Vision"
    assert board.read_register(0, 0) == 0xC0A79AE5
    assert board.read_memory(0, 0x2000, 4) == b"Vexo"
    assert camera.property_value("LINKSPEED") == 12500


def test_errors_carry_the_status_its_name_and_description(board: nox_genicam.Board) -> None:
    camera = connected(board)
    with pytest.raises(NoxError) as refused:
        camera["PixelFormat"] = "Mono7"
    assert (refused.value.status, refused.value.name) == (-1991, "ERR_INVALID_ARGUMENT")
    assert refused.value.description == "Invalid function argument"
    assert refused.value.detail.endswith("|Invalid enum value")
    assert str(refused.value) == "camera 0: set PixelFormat: ERR_INVALID_ARGUMENT (-1991): Invalid function argument"
    with pytest.raises(NoxError) as read_only:
        camera["SensorWidth"] = 16
    assert read_only.value.status == Status.ERR_FEATURE_READ_ONLY
    with pytest.raises(NoxError) as unknown:
        camera["NoSuchFeature"]
    assert unknown.value.name == "ERR_INVALID_FEATURE"
    with pytest.raises(TypeError):
        camera["Width"] = "wide"

    # A rescan replaces the cameras: the old object refuses, the board is still open.
    board.scan()
    with pytest.raises(NoxError) as stale:
        camera["Width"]
    assert stale.value.status == Status.ERR_INVALID_CAMERA_HANDLE
    board.close()
    with pytest.raises(NoxError) as closed:
        board.scan()
    assert closed.value.status == Status.ERR_INVALID_BOARD_HANDLE
    with pytest.raises(NoxError) as missing:
        nox_genicam.open_board(7)
    assert missing.value.status == Status.ERR_BOARD_INIT


def test_status_names_are_the_headers() -> None:
    header = (SOURCE_DIR / "include" / "nox_genicam.h").read_text()
    declared = dict(re.findall(r"\n    ([A-Za-z_]+) = (-?\d+)", header[header.index("enum NoxStatus"):]))
    assert {name: int(value) for name, value in declared.items()} == {s.name: s.value for s in Status}
    assert nox_genicam.status_name(-1) == "status -1"


def test_power_parameter_and_link_files(board: nox_genicam.Board, tmp_path) -> None:
    camera = connected(board)
    board.power_off(0x8)
    assert board.power_status(3).state == 0
    board.power_on(0x8)
    assert board.power_status(0).volts == 24.0

    camera["Width"] = 512
    parameters = tmp_path / "camera.txt"
    camera.save_parameters(parameters)
    assert "\nWidth=512\n" in parameters.read_text()
    camera["Width"] = 2048
    camera.load_parameters(parameters, strict=True)
    assert camera["Width"] == 512
    (tmp_path / "bad.txt").write_text("NoSuchFeature=1\n")
    with pytest.raises(NoxError) as strict:
        camera.load_parameters(tmp_path / "bad.txt", strict=True)
    assert strict.value.status == Status.ERR_INVALID_FEATURE

    links = tmp_path / "links.xml"
    board.scan()[1].link_connect()
    board.camera(0).link_connect()
    board.save_configuration(links)
    profile = tmp_path / "board.profile"
    board.store_link_profile(profile)
    board.restore_link_profile(profile)
    with nox_genicam.open_board(0) as other:
        cameras = other.load_configuration(links)
        assert [camera.slot for camera in cameras] == [0, 1]
        cameras[1].connect()
        assert cameras[1]["DeviceModelName"] == "VX-4M"
    with nox_genicam.open_board(0) as attached:
        cameras = attached.attach_configuration(links)
        assert [camera.slot for camera in cameras] == [0, 1]
        cameras[1].connect()
        assert cameras[1]["DeviceModelName"] == "VX-4M"
    assert nox_genicam.list_boards()[0].model == "cxp4-c"
    assert nox_genicam.library_version() == nox_genicam.__version__
