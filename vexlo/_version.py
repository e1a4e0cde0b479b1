# The one place the version is written: the wheel's metadata, CMake's project()
# and vexlo.__version__ all read it from here.
__version__ = "0.1.0"
