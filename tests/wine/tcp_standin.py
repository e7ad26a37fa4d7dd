#!/usr/bin/env python3
"""tcp_standin.py PORTFILE: a server on 127.0.0.1 that takes connections and never answers (a VEK
service or a database server gone quiet), on a port the kernel hands out, written to PORTFILE
(whole) once it listens, so a test never races another program for a port. Runs until ended."""
import os, socket, sys, threading


def hold(conn):
    with conn:
        while conn.recv(4096):  # held until the client lets go: closing first would be an answer
            pass


listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(16)
with open(sys.argv[1] + ".part", "w") as f:
    f.write(f"{listener.getsockname()[1]}\n")
os.replace(sys.argv[1] + ".part", sys.argv[1])
while True:
    threading.Thread(target=hold, args=(listener.accept()[0],), daemon=True).start()
