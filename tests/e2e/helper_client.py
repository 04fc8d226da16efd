#!/usr/bin/env python3
"""Speaks tessel-helper's protocol as a member of its group might, hostile or not.

helper_client.py [--fsize SOFT:HARD] [--nofile SOFT:HARD] [--extra-fd FILE] [--ignore-xfsz]
                 HELPER STEP...   (steps: hello, write-keep=FILE, write-replace=FILE,
                 giveback-keep, giveback-replace, sleep=SECONDS)
Prints "helper PID", then a line a reply: "STEP: ok skipped=N" or "STEP: failed number=N
text=...". The link closes after the last step, and the helper gives back.
"""
import os
import resource
import signal
import socket
import struct
import sys
import time


def lines_field(lines):
    return struct.pack(">I", len(lines)) + b"".join(struct.pack(">H", len(l)) + l for l in lines)


def request(step):
    name, _, value = step.partition("=")
    if name == "hello":
        return b"\x01\x00\x04"
    keep = b"\x01" if name.endswith("keep") else b"\x00"
    if name.startswith("giveback"):
        return b"\x04" + keep
    with open(value, "rb") as f:
        lines = [l.rstrip(b"\r") for l in f.read().split(b"\n")]
    return b"\x03" + keep + lines_field([l for l in lines if l]) + lines_field([])


def receive(sock, size):
    data = b""
    while len(data) < size:
        part = sock.recvmsg(size - len(data), socket.CMSG_SPACE(16))[0]
        if not part:
            raise EOFError
        data += part
    return data


def reply(sock):
    body = receive(sock, struct.unpack(">I", receive(sock, 4))[0])
    failure, number, skipped, length = struct.unpack(">BiIH", body[:11])
    if failure == 0:
        return "ok skipped=%d" % skipped
    return "failed number=%d text=%s" % (number, body[11:11 + length].decode("utf-8", "replace"))


def main(argv):
    limits = {}
    ignore = False
    while argv[0].startswith("--"):
        option = argv.pop(0)
        if option in ("--fsize", "--nofile"):
            soft, hard = (int(n) for n in argv.pop(0).split(":"))
            limits[resource.RLIMIT_FSIZE if option == "--fsize" else resource.RLIMIT_NOFILE] = (soft, hard)
        elif option == "--extra-fd":
            os.set_inheritable(os.open(argv.pop(0), os.O_RDONLY), True)
        else:
            ignore = True
    helper, steps = argv[0], argv[1:]
    ours, theirs = socket.socketpair()
    child = os.fork()
    if child == 0:
        if ignore:
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        for limit, values in limits.items():
            resource.setrlimit(limit, values)
        os.dup2(theirs.fileno(), 0)
        os.execv(helper, [helper])
    theirs.close()
    print("helper %d" % child, flush=True)
    for step in steps:
        if step.startswith("sleep="):
            time.sleep(float(step[6:]))
            continue
        body = request(step)
        ours.sendall(struct.pack(">I", len(body)) + body)
        try:
            print(step.partition("=")[0] + ": " + reply(ours), flush=True)
        except (EOFError, ConnectionError):
            print(step.partition("=")[0] + ": link closed", flush=True)
            break
    ours.close()
    os.waitpid(child, 0)


if __name__ == "__main__":
    main(sys.argv[1:])
