#!/usr/bin/python3
"""A mail server that plays a script on one TCP connection, for the protocol
tests: odd replies, drops and silence that a real server will not produce.

usage: scripted_peer.py SCRIPT_JSON TRANSCRIPT_PATH

SCRIPT_JSON is a list of steps:
  ["send", TEXT]      write TEXT (latin-1)
  ["line"]            read one line (up to LF)
  ["until", TEXT]     read until TEXT has been received
  ["bytes", N]        read N more bytes
  ["sleep", SECONDS]
  ["close"]           close the connection and stop
  ["drain"]           read until the client closes (a silent server)
Prints the listening port on the first line, then serves one connection and
writes every byte received to TRANSCRIPT_PATH.
"""
import json
import socket
import sys
import time

steps = json.loads(sys.argv[1])
transcript_path = sys.argv[2]

server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", 0))
server.listen(1)
print(server.getsockname()[1], flush=True)
server.settimeout(30)

conn, _ = server.accept()
conn.settimeout(30)
conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
received = bytearray()
pos = 0  # what the steps have consumed of received


def read_until_found(marker):
    """Consumes received bytes up to and including marker; False on close."""
    global pos
    while True:
        at = received.find(marker, pos)
        if at >= 0:
            pos = at + len(marker)
            return True
        chunk = conn.recv(65536)
        if not chunk:
            return False
        received.extend(chunk)


try:
    for step in steps:
        kind = step[0]
        if kind == "send":
            conn.sendall(step[1].encode("latin-1"))
        elif kind == "line":
            read_until_found(b"\n")
        elif kind == "until":
            read_until_found(step[1].encode("latin-1"))
        elif kind == "bytes":
            target = pos + int(step[1])
            while len(received) < target:
                chunk = conn.recv(65536)
                if not chunk:
                    break
                received.extend(chunk)
            pos = min(target, len(received))
        elif kind == "sleep":
            time.sleep(float(step[1]))
        elif kind == "close":
            break
        elif kind == "drain":
            read_until_found(b"\0never\0")
except (OSError, socket.timeout):
    pass
finally:
    try:
        conn.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass
    conn.close()
    server.close()
    with open(transcript_path, "wb") as f:
        f.write(received)
