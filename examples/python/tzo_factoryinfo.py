"""The factory data of a TZO gateway, read through the C API of libtzo-gw-factoryinfo.so.0.

    info = FactoryInfo()                      # reads /dev/mtd/by-label/FACTORY
    serial, verified = info["SerialNumber"], info.verified
    text, verified = section("RadioCalibration", path="examples/factory-data.txt")
    info = FactoryInfo(keys=[open("factory.pub", "rb").read()])   # signed data only

Both read the device, the file at `path` or the bytes `data`. With `keys`, PEM public keys as
bytes, they read the data once, require its Signature section to be made by one of the keys,
and read from that same data. Names, keys, values and texts are
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
_data_read = _declare("tzo_fi_data_read", c_int, _source, _out, POINTER(c_int))
_data_verify = _declare("tzo_fi_data_verify", c_int, _handle, POINTER(_handle), c_size_t)
_data_info = _declare("tzo_fi_data_info", c_int, _handle, _out)
_data_section = _declare("tzo_fi_data_section", c_int, _handle, c_char_p, c_size_t, _out)
_data_free = _declare("tzo_fi_data_free", None, _handle)
_key_read = _declare("tzo_fi_key_read", c_int, c_char_p, c_size_t, _out)
_key_free = _declare("tzo_fi_key_free", None, _handle)
_message = _declare("tzo_fi_message", c_char_p, c_int)
_cause = _declare("tzo_fi_cause", c_char_p, c_int)


class FactoryDataError(Exception):
    """A failure: str() is the library's message; code, errno and cause tell more."""

    def __init__(self, code, error_number):
        super().__init__(_message(code).decode())
        self.code, self.errno, self.cause = code, error_number, _cause(error_number).decode()


def _signed(from_data, source, arguments, keys, handle, error_number):
    """Reads `source` once, checks its signature with the PEM texts `keys`, and calls
    `from_data` on that data; returns the code of the first failure, or 0."""
    data, loaded = _handle(), []
    code = _data_read(source, ctypes.byref(data), ctypes.byref(error_number))
    try:
        for pem in keys:
            loaded.append(_handle())
            code = code or _key_read(pem, len(pem), ctypes.byref(loaded[-1]))
        code = code or _data_verify(data, (_handle * len(loaded))(*loaded), len(loaded))
        return code or from_data(data, *arguments, ctypes.byref(handle))
    finally:
        for key in loaded:
            _key_free(key)
        _data_free(data)


def _read(functions, path, data, keys, *arguments):
    """Calls the first of `functions` on the source that `path` or `data` describes, or with
    `keys` the second on its data once signed; returns the new handle. A path holding a NUL
    byte raises ValueError, as open() does: C would read it only up to it."""
    path = None if path is None else os.fsencode(path)
    if path is not None and b"\0" in path:
        raise ValueError("embedded null byte")
    source = None if path is None and data is None else _Source(
        path, data, 0 if data is None else len(data))
    handle, error_number = _handle(), c_int()
    if keys is None:
        code = functions[0](source, *arguments, ctypes.byref(handle), ctypes.byref(error_number))
    else:
        code = _signed(functions[1], source, arguments, keys, handle, error_number)
    if code != 0:
        raise FactoryDataError(code, error_number.value)
    return handle


def _text(pointer, size):
    return ctypes.string_at(pointer, size).decode("utf-8", "surrogateescape")


class FactoryInfo(Mapping):
    """The verified pairs of the Factoryinfo section by key; `verified`: a sum was recorded."""

    def __init__(self, path=None, data=None, keys=None):
        handle = _read((_info_read, _data_info), path, data, keys)
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


def section(name, path=None, data=None, keys=None):
    """Returns the text of the section `name`, and whether a sum was recorded for it."""
    encoded = name.encode("utf-8", "surrogateescape")
    handle = _read((_section_read, _data_section), path, data, keys, encoded, len(encoded))
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
