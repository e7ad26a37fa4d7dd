#!/usr/bin/env python3
"""vek_check.py PORT CODE TOKEN [SPLIT_MS [IDLE [WAIT_MS]]] | PORT CODE TOKEN --meanwhile CODE TOKEN...
One data-directory check against the VEK service on 127.0.0.1:PORT, its bytes made and read as the
client window makes and reads them, by vek_check_client.exe under Wine (VEK_CLIENT); prints
"state: <EXIST|NOTEXIST|NOUPD|-1>". SPLIT_MS (-1: none): the request in two pieces that far apart;
IDLE: that many silent connections opened first; WAIT_MS: how many of them the service closed
within it. --meanwhile: the other checks made one after the other once the first request is out,
each with whether the first had its answer by then. Exit code 0 when an answer came."""
import os
import select
import socket
import subprocess
import sys
import time


def client(*args):
    return subprocess.run(["wine", os.environ["VEK_CLIENT"], *args], capture_output=True, text=True,
                          timeout=60, check=True).stdout.split()


def connect():
    return socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=15)


def answer(conn):
    """Everything until the service closes; what came before a time-out."""
    data = b""
    try:
        while chunk := conn.recv(512):
            data += chunk
    except socket.timeout:
        pass
    conn.close()
    return data


code, token, rest = sys.argv[2], sys.argv[3], sys.argv[4:]
others = list(zip(rest[1::2], rest[2::2])) if rest[:1] == ["--meanwhile"] else []
numbers = [] if others else [int(n) for n in rest]
split_ms = numbers[0] if numbers else -1
# Made before the first byte goes out: a start of Wine while the first check waits would take
# longer than the service's slow lookup.
request, key = client(code, token)
requests = [bytes.fromhex(client(c, t)[0]) for c, t in others]
idle = [connect() for _ in range(numbers[1] if len(numbers) > 1 else 0)]
if idle:
    print(f"idle connections: {len(idle)}")
first = connect()
if split_ms >= 0:
    first.sendall(bytes.fromhex(request)[:9])
    time.sleep(split_ms / 1000)
    first.sendall(bytes.fromhex(request)[9:])
else:
    first.sendall(bytes.fromhex(request))
answers = []
for other in requests:
    conn = connect()
    conn.sendall(other)
    data = answer(conn)
    answers.append((data, "answered" if select.select([first], [], [], 0)[0] else "waiting"))
got = answer(first)
if len(numbers) > 2:
    until, closed = time.monotonic() + numbers[2] / 1000, 0
    for conn in idle:
        conn.settimeout(max(until - time.monotonic(), 0.001))
        try:
            closed += conn.recv(1) == b""
        except socket.timeout:
            pass
        except OSError:
            closed += 1
    print(f"idle connections closed: {closed}")
for (c, t), (data, state) in zip(others, answers):
    print(f"meanwhile {c} {t}: {client(c, key, data.hex())[0] if data else ''}, first {state}")
print(f"state: {client(code, key, got.hex())[0] if got else ''}")
sys.exit(0 if got else 1)
