"""Builds the Python module with CMake (the project's one build description) for the Python
that runs this, and packages it with the pure-Python part, its stub and py.typed."""
import os
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


def project_version():
    """The version in CMakeLists.txt's project() line, which the module reports too."""
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as cmake:
        return re.search(r"project\(brintom VERSION ([0-9.]+)", cmake.read()).group(1)


class BuildWithCMake(build_ext):
    """Configures and builds the module target, then takes the library CMake made."""

    def build_extension(self, ext):
        build = os.path.abspath(self.build_temp)
        configure = ["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                     "-DBRINTOM_TESTS=OFF", "-DBRINTOM_PYTHON=ON",
                     f"-DPython_EXECUTABLE={sys.executable}"]
        try:  # pybind11's CMake files, where the Python package knows them
            import pybind11
            configure.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass
        subprocess.run(configure, check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.run(["cmake", "--build", build, "--target", "brintom_python", "-j", jobs],
                       check=True)
        built = os.path.join(build, "python", "brintom",
                             os.path.basename(self.get_ext_filename(ext.name)))
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built, target)


setup(
    version=project_version(),
    packages=["brintom"],
    package_dir={"": "python"},
    package_data={"brintom": ["py.typed", "_brintom.pyi"]},
    ext_modules=[Extension("brintom._brintom", sources=[])],
    cmdclass={"build_ext": BuildWithCMake},
    options={"build": {"build_base": "build-python"}},
)
