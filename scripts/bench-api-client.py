#!/usr/bin/env python3
"""A script on the panel's local socket, for bench-api.sh (standard library only).

  bench-api-client.py PORT count SECONDS   subscribe, count status lines, print the count
  bench-api-client.py PORT stall SECONDS   subscribe, then read nothing; print whether the
                                           panel dropped the connection
"""
import hashlib
import json
import os
import socket
import sys
import tempfile
import time


def socket_path(port):
    """The panel's socket for PORT: laserpanel- and 16 hex digits of the SHA-256 of
    the port's canonical path, in $XDG_RUNTIME_DIR or <temp>/laserpanel-<uid>."""
    path = port if port.startswith(("/", "./", "../")) else "/dev/" + port
    path = os.path.realpath(path) if os.path.exists(path) else os.path.normpath(os.path.abspath(path))
    folder = os.environ.get("XDG_RUNTIME_DIR") or os.path.join(tempfile.gettempdir(), "laserpanel-%d" % os.geteuid())
    return os.path.join(folder, "laserpanel-" + hashlib.sha256(path.encode()).hexdigest()[:16])


def connect(port, timeout=30):
    deadline = time.monotonic() + timeout
    while True:
        try:
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            s.connect(socket_path(port))
            return s
        except OSError:
            if time.monotonic() > deadline:
                raise
            time.sleep(0.1)


def main():
    port, mode, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
    s = connect(port)
    s.sendall(b'{"op":"subscribe","id":1}\n')
    end = time.monotonic() + seconds
    if mode == "stall":
        time.sleep(seconds)
        s.settimeout(5)
        try:
            while s.recv(1 << 20):
                pass
            print("dropped")
        except socket.timeout:
            print("kept")
        return
    count = 0
    with s.makefile("r") as lines:
        s.settimeout(5)
        for line in lines:
            if json.loads(line).get("kind") == "status":
                count += 1
            if time.monotonic() > end:
                break
    print(count)


if __name__ == "__main__":
    main()
