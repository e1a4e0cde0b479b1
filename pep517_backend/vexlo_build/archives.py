"""Writes the two archives: the wheel (a zip with a RECORD of every file's
hash and size) and the sdist (a gzipped tar under one top folder)."""

import base64
import csv
import gzip
import hashlib
import io
import os
import stat
import sys
import sysconfig
import tarfile
import time
import zipfile


def wheel_tag():
    """interpreter-abi-platform for the running CPython, e.g. cp313-cp313-linux_x86_64.
    The ABI part comes from the extension suffix, so a free-threaded (t) or
    debug (d) interpreter gets its own tag."""
    if sys.implementation.name != "cpython":
        raise RuntimeError("vexlo is a CPython extension; build it with CPython 3.13 or later")
    version = f"{sys.version_info.major}{sys.version_info.minor}"
    soabi = sysconfig.get_config_var("SOABI") or ""  # cpython-313t-x86_64-linux-gnu
    abi_version = soabi.split("-")[1] if soabi.startswith("cpython-") else version
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"cp{version}-cp{abi_version}-{platform}"


def archive_time():
    """Entry timestamps: SOURCE_DATE_EPOCH when set, so that builds can be
    reproduced, else the time of the build. Zip cannot go before 1980."""
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", time.time()))
    return max(epoch, 315532800)


def record_hash(data):
    digest = hashlib.sha256(data).digest()
    return "sha256=" + base64.urlsafe_b64encode(digest).rstrip(b"=").decode("ascii")


class WheelWriter:
    """Collects the wheel's files and writes RECORD last, listing each with
    its hash and size (RECORD itself has neither)."""

    def __init__(self, path, dist_info):
        self._zip = zipfile.ZipFile(path, "w", compression=zipfile.ZIP_DEFLATED)
        self._record_name = f"{dist_info}/RECORD"
        self._records = []
        self._date_time = time.gmtime(archive_time())[:6]

    def add(self, name, data, executable=False):
        if isinstance(data, str):
            data = data.encode("utf-8")
        info = zipfile.ZipInfo(name, self._date_time)
        info.external_attr = (stat.S_IFREG | (0o755 if executable else 0o644)) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        self._zip.writestr(info, data)
        self._records.append((name, record_hash(data), str(len(data))))

    def close(self):
        text = io.StringIO()
        writer = csv.writer(text, lineterminator="\n")
        writer.writerows(self._records)
        writer.writerow((self._record_name, "", ""))
        info = zipfile.ZipInfo(self._record_name, self._date_time)
        info.external_attr = (stat.S_IFREG | 0o644) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        self._zip.writestr(info, text.getvalue())
        self._zip.close()

    def __enter__(self):
        return self

    def __exit__(self, kind, value, traceback):
        if kind is None:
            self.close()
        else:
            self._zip.close()


def write_sdist(path, top, root, files, pkg_info):
    """A tar.gz holding `files` (relative to root) and PKG-INFO under the
    folder `top`, with neutral owners and fixed times."""
    mtime = archive_time()

    def entry(name, size, mode):
        info = tarfile.TarInfo(f"{top}/{name}")
        info.size, info.mode, info.mtime = size, mode, mtime
        info.uid = info.gid = 0
        info.uname = info.gname = ""
        return info

    with open(path, "wb") as raw, \
            gzip.GzipFile(fileobj=raw, mode="wb", mtime=mtime) as zipped, \
            tarfile.open(fileobj=zipped, mode="w", format=tarfile.PAX_FORMAT) as tar:
        data = pkg_info.encode("utf-8")
        tar.addfile(entry("PKG-INFO", len(data), 0o644), io.BytesIO(data))
        for name in files:
            full = os.path.join(root, name)
            mode = 0o755 if os.access(full, os.X_OK) else 0o644
            with open(full, "rb") as f:
                tar.addfile(entry(name, os.fstat(f.fileno()).st_size, mode), f)
