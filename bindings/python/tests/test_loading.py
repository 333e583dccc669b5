"""Finding the library: every path tried is named when none loads, and a
library of another major version is refused."""
import ctypes.util
import shutil
import subprocess

import pytest

import velnarlanjoin as vlj
from velnarlanjoin import _native


def test_missing_library_lists_every_path_tried(tmp_path):
    not_a_library = tmp_path / "libVelnarLanJoin.so.1"
    not_a_library.write_text("not a library")
    libc = ctypes.util.find_library("c")  # loads, but has no C interface of ours
    paths = list(_native.candidates(environ={"VELNARLANJOIN_LIBRARY": "/nowhere/libVelnarLanJoin.so.1"},
                               package_dir=str(tmp_path), system_names=[libc, "libVelnarLanJoin-absent.so.9"]))
    with pytest.raises(vlj.LibraryNotFoundError) as error:
        _native.load(paths)
    assert [path for path, _ in error.value.tried] == [
        "/nowhere/libVelnarLanJoin.so.1", str(not_a_library), libc, "libVelnarLanJoin-absent.so.9"]
    message = str(error.value)
    assert all(path in message for path in paths) and "VELNARLANJOIN_LIBRARY" in message
    assert "no vlj_version" in dict(error.value.tried)[libc]


def test_another_major_version_is_refused(tmp_path):
    compiler = shutil.which("cc") or shutil.which("gcc")
    if not compiler:
        pytest.skip("no C compiler to make a library of version 2")
    source, library = tmp_path / "v2.c", tmp_path / "libVelnarLanJoin.so.1"
    source.write_text("unsigned vlj_version(void) { return (2u << 16) | (3u << 8); }\n")
    subprocess.run([compiler, "-shared", "-fPIC", "-o", str(library), str(source)], check=True)
    with pytest.raises(vlj.LibraryVersionError, match=r"version 2\.3\.0 .* needs version 1\.x"):
        _native.load([str(library)])
