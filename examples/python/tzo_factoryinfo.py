"""The factory data of a TZO gateway, read through the C API of libtzo-gw-factoryinfo.so.0.

    info = FactoryInfo()                      # reads /dev/mtd/by-label/FACTORY
    serial, verified = info["SerialNumber"], info.verified
    text, verified = section("RadioCalibration", path="examples/factory-data.txt")

Both read the device, the file at `path` or the bytes `data`. Names, keys, values and texts are
str, from UTF-8 with surrogateescape, so any byte comes through. A failure raises
FactoryDataError with the library's message. The library is loaded as TZO_FACTORYINFO_LIBRARY
names it, or by its soname.
"""
import ctypes
import os
import sys
from collections.abc import Mapping
from ctypes import POINTER, c_char, c_char_p, c_int, c_size_t, c_void_p as _handle

_library = ctypes.CDLL(os.environ.get("TZO_FACTORYINFO_LIBRARY", "libtzo-gw-factoryinfo.so.0"))


class _Source(ctypes.Structure):
    _fields_ = [("path", c_char_p), ("data", c_char_p), ("size", c_size_t)]


class _Entry(ctypes.Structure):
    _fields_ = [("key", POINTER(c_char)), ("key_size", c_size_t),
                ("value", POINTER(c_char)), ("value_size", c_size_t)]


def _declare(name, result, *arguments):
    function = getattr(_library, name)
    function.restype, function.argtypes = result, arguments
    return function


_source, _out, _size = POINTER(_Source), POINTER(_handle), POINTER(c_size_t)
_info_read = _declare("tzo_fi_info_read", c_int, _source, _out, POINTER(c_int))
_info_entries = _declare("tzo_fi_info_entries", POINTER(_Entry), _handle, _size)
_info_verified = _declare("tzo_fi_info_verified", c_int, _handle)
_info_free = _declare("tzo_fi_info_free", None, _handle)
_section_read = _declare("tzo_fi_section_read", c_int, _source, c_char_p, c_size_t, _out,
                         POINTER(c_int))
_section_text = _declare("tzo_fi_section_text", POINTER(c_char), _handle, _size)
_section_verified = _declare("tzo_fi_section_verified", c_int, _handle)
_section_free = _declare("tzo_fi_section_free", None, _handle)
_message = _declare("tzo_fi_message", c_char_p, c_int)
_cause = _declare("tzo_fi_cause", c_char_p, c_int)


class FactoryDataError(Exception):
    """A failure: str() is the library's message; code, errno and cause tell more."""

    def __init__(self, code, error_number):
        super().__init__(_message(code).decode())
        self.code, self.errno, self.cause = code, error_number, _cause(error_number).decode()


def _read(function, path, data, *arguments):
    """Calls `function` on the source that `path` or `data` describes; returns the new handle.
    A path holding a NUL byte raises ValueError, as open() does: C would read it only up to it."""
    path = None if path is None else os.fsencode(path)
    if path is not None and b"\0" in path:
        raise ValueError("embedded null byte")
    source = None if path is None and data is None else _Source(
        path, data, 0 if data is None else len(data))
    handle, error_number = _handle(), c_int()
    code = function(source, *arguments, ctypes.byref(handle), ctypes.byref(error_number))
    if code != 0:
        raise FactoryDataError(code, error_number.value)
    return handle


def _text(pointer, size):
    return ctypes.string_at(pointer, size).decode("utf-8", "surrogateescape")


class FactoryInfo(Mapping):
    """The verified pairs of the Factoryinfo section by key; `verified`: a sum was recorded."""

    def __init__(self, path=None, data=None):
        handle = _read(_info_read, path, data)
        try:
            count = c_size_t()
            entries = _info_entries(handle, ctypes.byref(count))[:count.value]
            self._pairs = {_text(e.key, e.key_size): _text(e.value, e.value_size) for e in entries}
            self.verified = bool(_info_verified(handle))
        finally:
            _info_free(handle)

    def __getitem__(self, key): return self._pairs[key]
    def __iter__(self): return iter(self._pairs)
    def __len__(self): return len(self._pairs)


def section(name, path=None, data=None):
    """Returns the text of the section `name`, and whether a sum was recorded for it."""
    encoded = name.encode("utf-8", "surrogateescape")
    handle = _read(_section_read, path, data, encoded, len(encoded))
    try:
        size = c_size_t()
        text = _section_text(handle, ctypes.byref(size))
        return _text(text, size.value), bool(_section_verified(handle))
    finally:
        _section_free(handle)


if __name__ == "__main__":  # tzo_factoryinfo.py [FILE [SECTION...]]: pairs, then verdicts
    path = sys.argv[1] if len(sys.argv) > 1 else None
    try:
        info = FactoryInfo(path)
        print("".join(f"{key}={value}\n" for key, value in info.items()), end="")
        for name in ["Factoryinfo"] + sys.argv[2:]:
            verified = info.verified if name == "Factoryinfo" else section(name, path)[1]
            print(f"{name}: {'verified' if verified else 'unsummed'}")
    except FactoryDataError as error:
        sys.exit(f"tzo_factoryinfo.py: {error}" + (f": {error.cause}" if error.cause else ""))
