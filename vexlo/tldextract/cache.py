"""Where vexlo.tldextract keeps the lists it fetched: one file a URL, the
list's own bytes, under the cache folder. Files are written whole to a
temporary name and renamed into place, so a reader never sees half a list
and writers need no lock: of two processes fetching at once, the last
rename wins, and both wrote a list that load_rules took."""

import hashlib
import os
import pathlib
import tempfile
import warnings

import vexlo

# The end of every file name this cache writes, and the only files that
# clear() removes.
FILE_SUFFIX = ".public_suffix_list.dat"

_warned_unwritable = False


def get_cache_dir() -> str | None:
    """The default cache folder: $TLDEXTRACT_CACHE, else vexlo-tldextract
    under $XDG_CACHE_HOME or ~/.cache (tldextract's own folder is left to
    tldextract); None when there is no home to put it in."""
    folder = os.environ.get("TLDEXTRACT_CACHE")
    if folder is not None:
        return folder
    base = os.environ.get("XDG_CACHE_HOME")
    if base is None:
        home = os.environ.get("HOME")
        if not home:
            return None
        base = os.path.join(home, ".cache")
    return os.path.join(base, "vexlo-tldextract")


class ListCache:
    """The lists fetched from URLs, under `cache_dir` (None or "": no cache).
    Nothing is read or written until a list is asked for."""

    def __init__(self, cache_dir: "str | os.PathLike[str] | None") -> None:
        self.folder = pathlib.Path(os.path.expanduser(cache_dir)) if cache_dir else None

    def path(self, url: str) -> pathlib.Path | None:
        if self.folder is None:
            return None
        digest = hashlib.sha256(url.encode("utf-8", "surrogatepass")).hexdigest()[:32]
        return self.folder / (digest + FILE_SUFFIX)

    def read(self, url: str) -> "vexlo.Rules | None":
        """The list cached for `url`, or None. A file that cannot be read or
        is no list (which this cache never writes) counts as none."""
        path = self.path(url)
        if path is None:
            return None
        try:
            return vexlo.load_rules(path)
        except (OSError, ValueError):
            return None

    def write(self, url: str, data: bytes) -> None:
        """Keeps `data`, a list that load_rules took, as the list of `url`. A
        folder that cannot be written warns once a process, and the list is
        then simply not kept."""
        path = self.path(url)
        if path is None:
            return
        try:
            path.parent.mkdir(parents=True, exist_ok=True)
            handle, temporary = tempfile.mkstemp(dir=path.parent, prefix=".", suffix=".tmp")
            try:
                with os.fdopen(handle, "wb") as file:
                    file.write(data)
                os.replace(temporary, path)
            except BaseException:
                try:
                    os.unlink(temporary)
                except OSError:
                    pass
                raise
        except OSError as error:
            global _warned_unwritable
            if not _warned_unwritable:
                _warned_unwritable = True
                warnings.warn(
                    f"unable to cache the Public Suffix List of {url} in {path.parent}: {error}; "
                    "it is fetched again by the next process that asks for it (construct "
                    "TLDExtract with a writable cache_dir, or cache_dir=None)",
                    stacklevel=5,
                )

    def clear(self) -> None:
        """Removes every list this cache holds."""
        if self.folder is None:
            return
        try:
            names = os.listdir(self.folder)
        except FileNotFoundError:
            return
        for name in names:
            if name.endswith(FILE_SUFFIX):
                try:
                    os.unlink(self.folder / name)
                except FileNotFoundError:
                    pass
