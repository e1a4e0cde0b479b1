"""An Arrow producer that checks nothing, made with ctypes: it exports any
schema format and any buffers, offsets and lengths through the Arrow PyCapsule
interface, as a careless producer might, and counts how often each struct it
exported is released."""

import ctypes

_capsule_new = ctypes.pythonapi.PyCapsule_New
_capsule_new.restype = ctypes.py_object
_capsule_new.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_void_p]
# Called from a capsule's destructor, whose object must not be touched as a
# Python object any more: the pointer goes in as a plain address.
_capsule_pointer = ctypes.CFUNCTYPE(ctypes.c_void_p, ctypes.c_void_p, ctypes.c_char_p)(
    ("PyCapsule_GetPointer", ctypes.pythonapi)
)


class ArrowSchema(ctypes.Structure):
    pass


ArrowSchema._fields_ = [
    ("format", ctypes.c_char_p),
    ("name", ctypes.c_char_p),
    ("metadata", ctypes.c_char_p),
    ("flags", ctypes.c_int64),
    ("n_children", ctypes.c_int64),
    ("children", ctypes.POINTER(ctypes.POINTER(ArrowSchema))),
    ("dictionary", ctypes.c_void_p),
    ("release", ctypes.c_void_p),
    ("private_data", ctypes.c_void_p),
]


class ArrowArray(ctypes.Structure):
    pass


ArrowArray._fields_ = [
    ("length", ctypes.c_int64),
    ("null_count", ctypes.c_int64),
    ("offset", ctypes.c_int64),
    ("n_buffers", ctypes.c_int64),
    ("n_children", ctypes.c_int64),
    ("buffers", ctypes.POINTER(ctypes.c_void_p)),
    ("children", ctypes.POINTER(ctypes.POINTER(ArrowArray))),
    ("dictionary", ctypes.c_void_p),
    ("release", ctypes.c_void_p),
    ("private_data", ctypes.c_void_p),
]

_RELEASE_SCHEMA = ctypes.CFUNCTYPE(None, ctypes.POINTER(ArrowSchema))
_RELEASE_ARRAY = ctypes.CFUNCTYPE(None, ctypes.POINTER(ArrowArray))
_CAPSULE_DESTRUCTOR = ctypes.CFUNCTYPE(None, ctypes.c_void_p)


class CarelessProducer:
    """Exports one array of `format` with the given buffers (bytes or None),
    length, offset and null count. `releases` counts the release calls of the
    array and of the schema; `struct_count` how many of each were exported."""

    def __init__(self, format, buffers, length, offset=0, null_count=0):
        self.format = format.encode()
        self.buffers = [
            None if b is None else ctypes.create_string_buffer(b, len(b) or 1) for b in buffers
        ]
        self.length, self.offset, self.null_count = length, offset, null_count
        self.releases = {"array": 0, "schema": 0}
        self.struct_count = 0
        self._keep = []
        self._release_array = _RELEASE_ARRAY(self._on_release_array)
        self._release_schema = _RELEASE_SCHEMA(self._on_release_schema)
        self._destroy_array = _CAPSULE_DESTRUCTOR(self._on_destroy_array)
        self._destroy_schema = _CAPSULE_DESTRUCTOR(self._on_destroy_schema)

    def _on_release_array(self, array):
        self.releases["array"] += 1
        array.contents.release = None

    def _on_release_schema(self, schema):
        self.releases["schema"] += 1
        schema.contents.release = None

    def _on_destroy_array(self, capsule):
        array = ArrowArray.from_address(_capsule_pointer(capsule, b"arrow_array"))
        if array.release:
            _RELEASE_ARRAY(array.release)(ctypes.pointer(array))

    def _on_destroy_schema(self, capsule):
        schema = ArrowSchema.from_address(_capsule_pointer(capsule, b"arrow_schema"))
        if schema.release:
            _RELEASE_SCHEMA(schema.release)(ctypes.pointer(schema))

    def __arrow_c_array__(self, requested_schema=None):
        schema = ArrowSchema(format=self.format, name=b"", flags=2)
        schema.release = ctypes.cast(self._release_schema, ctypes.c_void_p)
        pointers = (ctypes.c_void_p * len(self.buffers))(
            *[None if b is None else ctypes.addressof(b) for b in self.buffers]
        )
        array = ArrowArray(
            length=self.length,
            null_count=self.null_count,
            offset=self.offset,
            n_buffers=len(self.buffers),
            buffers=pointers,
        )
        array.release = ctypes.cast(self._release_array, ctypes.c_void_p)
        self._keep += [schema, array, pointers]
        self.struct_count += 1
        destroy_schema = ctypes.cast(self._destroy_schema, ctypes.c_void_p)
        destroy_array = ctypes.cast(self._destroy_array, ctypes.c_void_p)
        return (
            _capsule_new(ctypes.addressof(schema), b"arrow_schema", destroy_schema),
            _capsule_new(ctypes.addressof(array), b"arrow_array", destroy_array),
        )


def offsets(*values, width=32):
    kind = ctypes.c_int32 if width == 32 else ctypes.c_int64
    return bytes((kind * len(values))(*values))
