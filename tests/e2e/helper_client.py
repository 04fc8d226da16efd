#!/usr/bin/env python3
"""Speaks tessel-helper's protocol as a member of its group might, hostile or not.

helper_client.py [--fsize SOFT:HARD] [--nofile SOFT:HARD] [--extra-fd FILE] [--ignore-xfsz]
                 HELPER STEP...
Steps: hello, listen=PORT, write-keep=FILE, write-replace=FILE, giveback-keep,
giveback-replace, sleep=SECONDS. Each reply is printed on a line: "ok skipped=N" or
"failed number=N text=...". The link closes after the last step, and the helper gives back.
"""
import os
import resource
import signal
import socket
import struct
import sys
import time

# An earlier helper spoke version 2: one byte for a name's length, no count of lines left out.
VERSION = int(os.environ.get("TESSEL_PROTOCOL", "3"))
LENGTH = ">H" if VERSION >= 3 else ">B"


def frame(body):
    return struct.pack(">I", len(body)) + body


def lines_field(lines):
    return struct.pack(">I", len(lines)) + b"".join(struct.pack(LENGTH, len(l)) + l for l in lines)


def server_list(path):
    with open(path, "rb") as f:
        data = f.read()
    lines = [l[:-1] if l.endswith(b"\r") else l for l in data.split(b"\n")]
    return [l for l in lines if l]


def request(step):
    name, _, value = step.partition("=")
    if name == "hello":
        return b"\x01" + struct.pack(">H", VERSION)
    if name == "listen":
        return b"\x02" + struct.pack(">H", int(value))
    if name in ("write-keep", "write-replace"):
        keep = b"\x01" if name == "write-keep" else b"\x00"
        return b"\x03" + keep + lines_field(server_list(value)) + lines_field([])
    if name in ("giveback-keep", "giveback-replace"):
        return b"\x04" + (b"\x01" if name == "giveback-keep" else b"\x00")
    raise SystemExit("unknown step " + step)


def receive(sock, size):
    data = b""
    while len(data) < size:
        part, _, _, _ = sock.recvmsg(size - len(data), socket.CMSG_SPACE(16))
        if not part:
            raise EOFError
        data += part
    return data


def reply(sock):
    size = struct.unpack(">I", receive(sock, 4))[0]
    body = receive(sock, size)
    if VERSION >= 3:
        status, _flags, number, skipped, length = struct.unpack(">BBiIH", body[:12])
    else:
        status, _flags, number, length = struct.unpack(">BBiH", body[:8])
        skipped = 0
    text = body[-length:].decode("utf-8", "replace").replace("\r\n", " ") if length else ""
    if status == 1:
        return "ok skipped=%d" % skipped
    return "failed number=%d text=%s" % (number, text)


def main(argv):
    limits = None
    files = None
    extra = None
    ignore = False
    while argv and argv[0].startswith("--"):
        option = argv.pop(0)
        if option == "--fsize":
            soft, hard = argv.pop(0).split(":")
            limits = (int(soft), resource.RLIM_INFINITY if hard == "inf" else int(hard))
        elif option == "--nofile":
            soft, hard = argv.pop(0).split(":")
            files = (int(soft), int(hard))
        elif option == "--extra-fd":
            extra = os.open(argv.pop(0), os.O_RDONLY)
            os.set_inheritable(extra, True)
        elif option == "--ignore-xfsz":
            ignore = True
    helper, steps = argv[0], argv[1:]
    ours, theirs = socket.socketpair()

    def prepare():
        if ignore:
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        if limits:
            resource.setrlimit(resource.RLIMIT_FSIZE, limits)
        if files:
            resource.setrlimit(resource.RLIMIT_NOFILE, files)
        os.dup2(theirs.fileno(), 0)

    child = os.fork()
    if child == 0:
        prepare()
        os.execv(helper, [helper])
    theirs.close()
    print("helper %d" % child, flush=True)
    for step in steps:
        if step.startswith("sleep="):
            time.sleep(float(step[6:]))
            continue
        ours.sendall(frame(request(step)))
        try:
            print(step.partition("=")[0] + ": " + reply(ours), flush=True)
        except (EOFError, ConnectionError):
            print(step.partition("=")[0] + ": link closed", flush=True)
            break
    ours.close()
    os.waitpid(child, 0)


if __name__ == "__main__":
    main(sys.argv[1:])
