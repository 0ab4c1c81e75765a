import importlib.machinery
import importlib.util
import os
import sys

import pytest

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOL = os.path.join(TOP, "study", "zot-study")
BUILD = os.path.abspath(os.environ.get("ZOT_BUILD_DIR", os.path.join(TOP, "build")))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))


@pytest.fixture(scope="session")
def zs():
    """The study tool as a module."""
    loader = importlib.machinery.SourceFileLoader("zot_study", TOOL)
    found = importlib.util.spec_from_loader("zot_study", loader)
    mod = importlib.util.module_from_spec(found)
    loader.exec_module(mod)
    return mod


@pytest.fixture(scope="session")
def build():
    for b in ("zot", "tabgen"):
        if not os.access(os.path.join(BUILD, b), os.X_OK):
            pytest.fail(f"{BUILD}/{b} is missing: build first (bash tests/run.sh)")
    return BUILD
