"""Link-loss events reach a Python callable on a Python thread; boards are freed before the interpreter goes."""

from __future__ import annotations

import os
import queue
import subprocess
import sys
import textwrap
import threading

import nox_genicam

# Port 2 carries the default topology's second camera (slot 1).
UNPLUGGED_PORT = 2
UNPLUGGED_SLOT = 1


def test_an_unplug_reaches_the_handler_on_a_python_thread(board: nox_genicam.Board, sim) -> None:
    cameras = board.scan()
    cameras[UNPLUGGED_SLOT].link_connect()
    received: queue.Queue[tuple[nox_genicam.LinkEvent, threading.Thread]] = queue.Queue()
    board.on_event(lambda event: received.put((event, threading.current_thread())))
    sim.plug(0, UNPLUGGED_PORT, False)
    event, thread = received.get(timeout=30)
    assert (event.type, event.slot) == (nox_genicam.LINK_LOST, UNPLUGGED_SLOT)
    assert event.camera is cameras[UNPLUGGED_SLOT]
    assert thread is not threading.main_thread()
    assert thread.name == "nox-genicam-events"


def test_a_handler_may_fail_and_may_close_its_board(board: nox_genicam.Board, sim) -> None:
    board.scan()[UNPLUGGED_SLOT].link_connect()
    closed = threading.Event()

    def handler(event: nox_genicam.LinkEvent) -> None:
        board.close()
        closed.set()
        raise RuntimeError("after closing, on purpose")

    board.on_event(handler)
    sim.plug(0, UNPLUGGED_PORT, False)
    assert closed.wait(timeout=30)
    assert repr(board) == "Board(index=0, open=False)"


EXIT_SCRIPT = textwrap.dedent("""
    import threading, time
    import nox_genicam
    from conftest import Simulator

    sim = Simulator()
    sim.load_topology()
    board = nox_genicam.open_board(0)          # never closed: the interpreter's exit frees it
    board.scan()[1].link_connect()
    entered = threading.Event()

    def handler(event):
        entered.set()
        time.sleep(0.3)                         # still running while the main thread ends
        print("handled", event.slot, flush=True)

    board.on_event(handler)
    sim.plug(0, 2, False)
    assert entered.wait(30)
    print("leaving", flush=True)
""")


def test_the_interpreters_exit_frees_open_boards_before_the_library_goes(tmp_path) -> None:
    log = tmp_path / "library.log"
    environment = dict(os.environ, VEXO_LOG="1", VEXO_LOG_FILE=str(log),
                       PYTHONPATH=os.pathsep.join([os.path.dirname(__file__), os.environ.get("PYTHONPATH", "")]))
    run = subprocess.run([sys.executable, "-c", EXIT_SCRIPT], env=environment, capture_output=True, text=True,
                         timeout=120)
    assert run.returncode == 0, run.stderr
    assert run.stdout == "leaving\nhandled 1\n"
    records = log.read_text()
    assert "Leaving Nox_freeBoard" in records
    # Nothing of the library ran after the board was freed but its teardown.
    assert records.rindex("Nox_freeBoard") > records.rindex("Nox_scanPortsEx")
