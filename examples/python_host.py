#!/usr/bin/env python3
"""A host in Python through the plain C interface (VurodoroViri_C.h), with ctypes only: bind a
terminal, add one user, wait for that command's result.

    python_host.py PORT [LIBRARY]    exit status 0 when the terminal reported "0" for the command

LIBRARY is the adapter library's path; by default the system's loader looks for
libVurodoroViri_Druvel.so.1 (VurodoroViri_Druvel.dll on Windows, beside the DLLs it needs).
"""
import ctypes
import os
import sys
import threading
import time

TERMINAL = b"FACE-0001"
RESULT_CALLBACK = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_char_p,
                                   ctypes.c_char_p, ctypes.c_char_p)


def load(path):
    """The library, with the types of the functions used here."""
    lib = ctypes.CDLL(path)
    adapter = ctypes.c_void_p
    signatures = {
        "VurodoroViriC_Create": [ctypes.POINTER(adapter)],
        "VurodoroViriC_Destroy": [adapter],
        "VurodoroViriC_SetRequestPort": [adapter, ctypes.c_int],
        "VurodoroViriC_SetResultCallback": [adapter, RESULT_CALLBACK, ctypes.c_void_p],
        "VurodoroViriC_Bind": [adapter, ctypes.c_char_p, ctypes.c_int],
        "VurodoroViriC_AddUser": [adapter, ctypes.c_char_p, ctypes.c_char_p,
                                  ctypes.POINTER(ctypes.c_char_p)],
        "VurodoroViriC_LastExchange": [ctypes.POINTER(ctypes.c_int),
                                       ctypes.POINTER(ctypes.c_int), ctypes.c_char_p,
                                       ctypes.c_size_t],
    }
    for name, arguments in signatures.items():
        function = getattr(lib, name)
        function.argtypes = arguments
        function.restype = ctypes.c_int
    lib.VurodoroViriC_OutcomeName.argtypes = [ctypes.c_int]
    lib.VurodoroViriC_OutcomeName.restype = ctypes.c_char_p
    return lib


def why(lib):
    """The calling thread's last exchange, in words."""
    detail = ctypes.create_string_buffer(256)
    outcome = lib.VurodoroViriC_LastExchange(None, None, detail, len(detail))
    return lib.VurodoroViriC_OutcomeName(outcome).decode() + ": " + detail.value.decode()


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: python_host.py PORT [LIBRARY]")
    default = "VurodoroViri_Druvel.dll" if os.name == "nt" else "libVurodoroViri_Druvel.so.1"
    lib = load(sys.argv[2] if len(sys.argv) > 2 else default)
    command_id = str(int(time.time())).encode()  # an identifier no earlier run used
    arrived = threading.Event()
    result = []

    # Runs on the adapter's polling thread, for every result waiting at the gateway, also those
    # of commands other programs sent: keep ours, take all (0), so that nothing comes again.
    @RESULT_CALLBACK
    def on_result(_context, serial, command, text):
        if serial == TERMINAL and command == command_id and not arrived.is_set():
            result.append(text.decode())
            arrived.set()
        return 0

    adapter = ctypes.c_void_p()
    if not lib.VurodoroViriC_Create(ctypes.byref(adapter)):
        sys.exit("python_host: no adapter: its polling thread could not be started")
    lib.VurodoroViriC_SetRequestPort(adapter, int(sys.argv[1]))
    lib.VurodoroViriC_SetResultCallback(adapter, on_result, None)  # within 8 s: the first poll
    user = (ctypes.c_char_p * 5)(b"pin", b"1001", b"name", b"Ada Lovelace", None)
    sent = (lib.VurodoroViriC_Bind(adapter, TERMINAL, 1) and
            lib.VurodoroViriC_AddUser(adapter, command_id, TERMINAL, user))
    print("bind %s, add user 1001 as command %s: %s" % (
        TERMINAL.decode(), command_id.decode(), "accepted" if sent else "failed: " + why(lib)))
    if sent and arrived.wait(30):  # the first poll comes 8 s after the adapter was created
        print("result of command %s: %s" % (command_id.decode(), result[0]))
    lib.VurodoroViriC_Destroy(adapter)  # stops the polling thread before it returns
    return 0 if result == ["0"] else 1


if __name__ == "__main__":
    sys.exit(main())
