import pytest
from support import compiled_list_path


@pytest.fixture(scope="session")
def lookup():
    from vexlo import _lookup

    return _lookup


@pytest.fixture(scope="session")
def list_text():
    path = compiled_list_path()
    if path is None or not path.is_file():
        pytest.skip("VEXLO_PSL_FILE does not name the list the module was built from")
    return path.read_text(encoding="utf-8")
