#!/usr/bin/env python3
"""Reads the dosimeter's whole log through libdosebridge with ctypes and prints it as CSV.

    read_log.py [path/to/libdosebridge.so]
"""
import ctypes
import sys

USB_OK, USB_NO_DEVICE = 1, 200

lib = ctypes.CDLL(sys.argv[1] if len(sys.argv) > 1 else "libdosebridge.so")
libc = ctypes.CDLL(None)
libc.free.argtypes = [ctypes.c_void_p]

lib.UsbConnect.restype = ctypes.c_int32
lib.UsbReadAll.argtypes = [ctypes.POINTER(ctypes.c_int32)]
lib.UsbReadAll.restype = ctypes.c_int32
lib.GetPoint.argtypes = [ctypes.c_int32, ctypes.POINTER(ctypes.c_uint8), ctypes.POINTER(ctypes.c_uint32),
                         ctypes.POINTER(ctypes.c_double), ctypes.POINTER(ctypes.c_uint8)]
lib.GetPoint.restype = ctypes.c_int32
# The texts are caller-owned blocks: keep them as raw pointers so they can be freed.
lib.GetDeviceSerialNumber.restype = ctypes.c_void_p
lib.GetDeviceModel.restype = ctypes.c_void_p


def take_text(pointer):
    """Copies a caller-owned text and releases its block with free()."""
    if not pointer:
        raise MemoryError("dosebridge could not allocate a text")
    try:
        return ctypes.string_at(pointer).decode("ascii")
    finally:
        libc.free(pointer)


def main():
    result = lib.UsbConnect()
    if result != USB_OK:
        hint = " (no dosimeter, or no permission)" if result == USB_NO_DEVICE else ""
        sys.exit(f"connect failed: {result}{hint}")
    count = ctypes.c_int32(0)
    result = lib.UsbReadAll(ctypes.byref(count))
    if result != USB_OK:
        sys.exit(f"read failed: {result}")

    serial = take_text(lib.GetDeviceSerialNumber())
    model = take_text(lib.GetDeviceModel())
    print(f"# model {model}, serial {serial}, {count.value} points")
    print("id,time,radiation,period_code")
    point_id, period = ctypes.c_uint8(), ctypes.c_uint8()
    time, radiation = ctypes.c_uint32(), ctypes.c_double()
    for i in range(count.value):
        if lib.GetPoint(i, ctypes.byref(point_id), ctypes.byref(time), ctypes.byref(radiation),
                        ctypes.byref(period)) != USB_OK:
            break
        print(f"{point_id.value},{time.value},{radiation.value:.16g},{period.value}")


if __name__ == "__main__":
    main()
