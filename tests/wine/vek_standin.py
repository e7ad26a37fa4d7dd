#!/usr/bin/env python3
"""vek_standin.py MODE PORTFILE: a VEK service that misbehaves, on 127.0.0.1.

It listens on a port the kernel hands out and writes that number to PORTFILE once it listens, so
a test never races another program for a port. Each connection's request is answered by MODE:

  old      "INVALIDCOMMAND|0", what a service too old for the request says
  garbage  bytes that are no answer at all
  silent   nothing: the request is taken and the connection held open

One line per request on standard output ("request N bytes"), so a test can tell that the client
has sent (and so has written its test file first). Runs until it is ended.
"""
import os
import socket
import sys
import threading

ANSWERS = {"old": b"INVALIDCOMMAND|0", "garbage": b"\x00\xff garbage|", "silent": None}


def serve(conn, answer):
    with conn:
        request = conn.recv(4096)
        print(f"request {len(request)} bytes", flush=True)
        if request and answer is not None:
            conn.sendall(answer)
        # Held until the client lets go: closing first would be an answer of its own.
        while conn.recv(4096):
            pass


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ANSWERS:
        sys.exit("usage: vek_standin.py old|garbage|silent PORTFILE")
    answer = ANSWERS[sys.argv[1]]
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    # Whole or not at all: the test reads the file as soon as it is there.
    with open(sys.argv[2] + ".part", "w") as f:
        f.write(f"{listener.getsockname()[1]}\n")
    os.replace(sys.argv[2] + ".part", sys.argv[2])
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn, answer), daemon=True).start()


if __name__ == "__main__":
    main()
