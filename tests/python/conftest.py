"""What the Python suite's files share: test data, the brintom command to compare with, and the
sanitizer build's leak check at the end of the run."""
import gc
import os
import re
import subprocess
import tempfile

import numpy as np
import pytest

import brintom

# The brintom command, whose messages and descriptions the module's must equal (ctest gives it).
COMMAND = os.environ.get("BRINTOM_COMMAND")
needs_command = pytest.mark.skipif(not COMMAND, reason="BRINTOM_COMMAND is not set")

RNG = np.random.default_rng(23)


def image(shape):
    """Floats of every sign and size, with a NaN, an infinity and a negative zero."""
    data = (RNG.standard_normal(shape) * 10.0 ** RNG.integers(-3, 4, shape)).astype(np.float32)
    data.flat[:3] = [np.nan, -np.inf, -0.0]
    return data


def mask(shape):
    """Every 16-bit value is possible."""
    return RNG.integers(-32768, 32768, shape, dtype=np.int16)


def same_bits(a, b):
    """Equal arrays, NaN and negative zero included."""
    a, b = np.asarray(a), np.asarray(b)
    return a.dtype == b.dtype and a.shape == b.shape and a.tobytes() == b.tobytes()


def command(*arguments):
    """The brintom command's exit status and standard output."""
    done = subprocess.run([COMMAND, *arguments], capture_output=True, text=True, check=False)
    return done.returncode, done.stdout


@pytest.fixture
def path(tmp_path):
    """A function giving the path of a named file in the test's own folder."""
    return lambda name: str(tmp_path / name)


def pytest_sessionfinish(session):
    """In the sanitizer build, memory that the library or the module lost during the run fails
    it: LeakSanitizer looks while the interpreter still runs, after Python collected its
    garbage, and a leak counts when our code allocated it (Python's and its extensions' own
    leftovers do not)."""
    check = getattr(brintom._brintom, "leak_check", None)
    if check is None:
        return
    gc.collect()
    with tempfile.TemporaryFile() as report:
        standard_error = os.dup(2)
        os.dup2(report.fileno(), 2)
        try:
            check()
        finally:
            os.dup2(standard_error, 2)
            os.close(standard_error)
        report.seek(0)
        leaks = report.read().decode(errors="replace").split("\n\n")
    ours = [leak for leak in leaks
            if " leak of " in leak and re.search(r"brintom::|_brintom\.", leak)]
    if ours:
        print("\n\n".join(["memory lost by brintom:"] + ours))
        session.exitstatus = pytest.ExitCode.TESTS_FAILED
