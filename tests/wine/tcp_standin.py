#!/usr/bin/env python3
"""tcp_standin.py MODE PORTFILE: a server that misbehaves on 127.0.0.1, on a port the kernel hands
out, written to PORTFILE (whole) once it listens, so a test never races another program for a
port. It reads what a connection sends and answers by MODE:
  old      "INVALIDCOMMAND|0", what a VEK service too old for the request says
  garbage  bytes that are no answer at all
  silent   nothing, ever, holding the connection open (also a database server that never greets)
One line per request on standard output. Runs until it is ended."""
import os, socket, sys, threading

ANSWERS = {"old": b"INVALIDCOMMAND|0", "garbage": b"\x00\xff garbage|", "silent": None}


def serve(conn, answer):
    with conn:
        request = conn.recv(4096)
        print(f"request {len(request)} bytes", flush=True)
        if request and answer is not None:
            conn.sendall(answer)
        while conn.recv(4096):  # held until the client lets go: closing first would be an answer
            pass


if len(sys.argv) != 3 or sys.argv[1] not in ANSWERS:
    sys.exit("usage: tcp_standin.py old|garbage|silent PORTFILE")
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(16)
with open(sys.argv[2] + ".part", "w") as f:
    f.write(f"{listener.getsockname()[1]}\n")
os.replace(sys.argv[2] + ".part", sys.argv[2])
while True:
    threading.Thread(target=serve, args=(listener.accept()[0], ANSWERS[sys.argv[1]]), daemon=True).start()
