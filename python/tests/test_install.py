"""An installation into a temporary prefix: its layout and components, the C example built against it through
find_package and through pkg-config, and the Python package installed with pip finding the installed library."""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

from conftest import SOURCE_DIR
from test_readme import readme_example

BUILD_DIR = Path(os.environ.get("NOX_BUILD_DIR", SOURCE_DIR / "build"))
EXAMPLE = SOURCE_DIR / "examples" / "connect_camera.c"
EXAMPLE_OUTPUT = "Vexo Vision VX-12M: Width = 4096\n"


def tool_environment(**extra: str) -> dict[str, str]:
    """For compilers and installers: nothing preloaded (a sanitized tree preloads its runtimes for Python)."""
    environment = {key: value for key, value in os.environ.items() if key != "LD_PRELOAD"}
    environment.update(extra)
    return environment


def run(command: list[str | os.PathLike[str]], environment: dict[str, str] | None = None,
        cwd: Path | None = None) -> str:
    result = subprocess.run([str(part) for part in command], env=environment or tool_environment(), cwd=cwd,
                            capture_output=True, text=True, timeout=300)
    assert result.returncode == 0, f"{command}\n{result.stdout}\n{result.stderr}"
    return result.stdout


def program_environment(log: Path) -> dict[str, str]:
    """A program using the installed library: nothing of the build tree on its paths, its log to a file."""
    environment = dict(os.environ, VEXO_LOG="3", VEXO_LOG_FILE=str(log))
    for variable in ("NOX_GENICAM_LIBRARY", "PYTHONPATH", "LD_LIBRARY_PATH", "VEXODIR5_64", "VEXODIR5"):
        environment.pop(variable, None)
    return environment


def soname(library: Path) -> str:
    dynamic = run(["readelf", "-d", library])
    return next(line.split("[")[1].rstrip("]") for line in dynamic.splitlines() if "(SONAME)" in line)


@pytest.fixture(scope="module")
def prefix(tmp_path_factory: pytest.TempPathFactory) -> Path:
    installed = tmp_path_factory.mktemp("install") / "prefix"
    run(["cmake", "--install", BUILD_DIR, "--prefix", installed])
    return installed


def test_the_installation_holds_everything_where_the_library_looks(prefix: Path, tmp_path: Path) -> None:
    for file in ("include/nox_genicam.h", "include/nox_genicam_ext.h", "include/grablib5.h", "include/vexosim.h",
                 "lib/libnox_genicam.so", "lib/libshared-log-relay.so", "lib/libvexo_hal.so", "lib/libopmod.so",
                 "lib/libgrablib5.so", "bin/noxcam", "bin/vexosim", "lib/cmake/NoxGenICam/NoxGenICamConfig.cmake",
                 "lib/pkgconfig/nox_genicam.pc"):
        assert (prefix / file).exists(), file
    assert soname(prefix / "lib/libnox_genicam.so") == "libnox_genicam.so.0"
    assert (prefix / "lib/libnox_genicam.so.0").resolve().name == "libnox_genicam.so.0.1.0"
    log = tmp_path / "noxcam.log"
    boards = run([prefix / "bin/noxcam", "boards", "--json"], program_environment(log))
    assert '"model":"cxp4-c"' in boards

    # Without the Simulator component there are no board libraries: the board runtime brings its own.
    real = tmp_path / "real"
    for component in ("Runtime", "Development"):
        run(["cmake", "--install", BUILD_DIR, "--prefix", real, "--component", component])
    assert (real / "lib/libnox_genicam.so.0").exists() and (real / "bin/noxcam").exists()
    assert (real / "include/nox_genicam_ext.h").exists()
    page = (real / "share/man/man1/noxcam.1").read_text()
    assert page.startswith(".TH NOXCAM 1") and '.SS "noxcam params load"' in page and "64  usage" in page
    # The completion is bash's: "noxcam pow" completes to power, "noxcam -b 0 reg " offers its subcommands.
    completion = real / "share/bash-completion/completions/noxcam"
    script = (f"source '{completion}'\n"
              "COMP_WORDS=(noxcam pow); COMP_CWORD=1; _noxcam; echo \"${COMPREPLY[*]}\"\n"
              "COMP_WORDS=(noxcam -b 0 reg ''); COMP_CWORD=4; _noxcam; echo \"${COMPREPLY[*]}\"\n")
    offered = run(["/bin/bash", "-c", script]).splitlines()
    assert offered[0] == "power" and offered[1].startswith("read write"), offered
    for file in ("lib/libvexo_hal.so", "lib/libgrablib5.so", "bin/vexosim", "include/grablib5.h"):
        assert not (real / file).exists(), file


def test_the_c_example_builds_against_the_installation_both_ways(prefix: Path, tmp_path: Path) -> None:
    project = tmp_path / "project"
    project.mkdir()
    (project / "CMakeLists.txt").write_text(f"""
        cmake_minimum_required(VERSION 3.25)
        project(connect_camera C)
        find_package(NoxGenICam 0.1 REQUIRED COMPONENTS Simulator)
        add_executable(connect_camera {EXAMPLE})
        target_link_libraries(connect_camera PRIVATE NoxGenICam::nox_genicam NoxGenICam::grablib5)
    """)
    run(["cmake", "-S", project, "-B", project / "build", "-G", "Ninja", f"-DCMAKE_PREFIX_PATH={prefix}"])
    run(["cmake", "--build", project / "build"])
    log = tmp_path / "cmake-example.log"
    assert run([project / "build/connect_camera"], program_environment(log)) == EXAMPLE_OUTPUT
    assert log.stat().st_size > 0, "the installed relay wrote the library's log"

    pkg_config = tool_environment(PKG_CONFIG_PATH=str(prefix / "lib/pkgconfig"))
    flags = run(["pkg-config", "--cflags", "--libs", "nox_genicam"], pkg_config).split()
    libdir = run(["pkg-config", "--variable=libdir", "nox_genicam"], pkg_config).strip()
    assert run(["pkg-config", "--modversion", "nox_genicam"], pkg_config).strip() == "0.1.0"
    program = tmp_path / "connect_camera"
    run(["cc", "-o", program, EXAMPLE, *flags, "-lgrablib5", f"-Wl,-rpath,{libdir}"])
    assert run([program], program_environment(tmp_path / "pkg-config-example.log")) == EXAMPLE_OUTPUT


def test_pip_installs_the_package_and_it_finds_the_installed_library(prefix: Path, tmp_path: Path) -> None:
    # Built from a copy: setuptools leaves its build folders beside the sources.
    source = tmp_path / "source"
    shutil.copytree(SOURCE_DIR / "python", source, ignore=shutil.ignore_patterns("tests", "__pycache__", "build",
                                                                                 "*.egg-info"))
    expected = "VX-12M 1024 Mono8\n"
    example = "\n".join(readme_example().splitlines()[:7])  # up to the first print

    # The system's setuptools and wheel build it: no index is asked for anything.
    venv = tmp_path / "venv"
    run([sys.executable, "-m", "venv", "--system-site-packages", venv])
    run([venv / "bin/python", "-m", "pip", "install", "--quiet", "--no-build-isolation", "--no-index", source])
    environment = program_environment(tmp_path / "venv.log")
    environment["NOX_GENICAM_ROOT"] = str(prefix)
    assert run([venv / "bin/python", "-c", example], environment, cwd=tmp_path) == expected

    # Installed inside the prefix, the package finds the library it lies beside, with no variable set.
    target = prefix / "lib" / "python"
    run([sys.executable, "-m", "pip", "install", "--quiet", "--no-build-isolation", "--no-index", "--target", target,
         source])
    environment = program_environment(tmp_path / "target.log")
    environment["PYTHONPATH"] = str(target)
    locate = "import nox_genicam; print(nox_genicam.library().folder)"
    assert run([sys.executable, "-c", locate], environment, cwd=tmp_path).strip() == str(prefix / "lib")
    assert run([sys.executable, "-c", example], environment, cwd=tmp_path) == expected
