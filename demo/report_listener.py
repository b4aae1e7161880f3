#!/usr/bin/python3
"""A stand-in for the web server that receives the control's error reports: accepts HTTP
connections on one loopback address, records each request's bytes as received, answers 200.

usage: report_listener.py --address A --port P --record FILE [--ready FILE]"""
import argparse
import socket
import sys
from pathlib import Path

MAX_REQUEST = 16384


def read_request(conn: socket.socket) -> bytes:
    """Bytes up to the end of the headers (an empty line, LF or CRLF), capped and time-bounded."""
    conn.settimeout(5)
    data = b""
    try:
        while b"\n\n" not in data and b"\r\n\r\n" not in data and len(data) < MAX_REQUEST:
            chunk = conn.recv(4096)
            if not chunk:
                break
            data += chunk
    except socket.timeout:
        pass
    return data


def main() -> int:
    ap = argparse.ArgumentParser()
    ap.add_argument("--address", required=True)
    ap.add_argument("--port", type=int, default=80)
    ap.add_argument("--record", required=True)
    ap.add_argument("--ready")
    args = ap.parse_args()
    if not args.address.startswith("127."):
        print("report_listener: loopback addresses only", file=sys.stderr)
        return 2
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((args.address, args.port))
    server.listen(8)
    if args.ready:
        Path(args.ready).touch()
    while True:
        conn, _ = server.accept()
        with conn:
            request = read_request(conn)
            with open(args.record, "ab") as record:
                record.write(request)
            try:
                conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            except OSError:
                pass  # the control closes as soon as the answer starts


if __name__ == "__main__":
    sys.exit(main())
