#!/usr/bin/python3
# The error-report web server for tests: listens on ADDRESS:PORT (default 80), records the raw
# bytes of each request into OUT/request-N (N from 1), answers 200 and notes in
# OUT/request-N.closed when the client closed its side within 2 s of the answer.
# Usage: report-listener.py ADDRESS OUT [--port 80]; writes its port to OUT/ready once it listens.
# Stopped by whoever started it (SIGTERM).
import argparse
import os
import signal
import socket
import sys
import threading

MAX_REQUEST = 64 * 1024
READ_TIMEOUT = 5.0


def serve_one(conn, out, number):
    with conn:
        conn.settimeout(READ_TIMEOUT)
        data = b""
        try:
            # A request ends with an empty line; lines may end in LF alone.
            while b"\n\n" not in data and b"\r\n\r\n" not in data and len(data) < MAX_REQUEST:
                chunk = conn.recv(4096)
                if not chunk:
                    break
                data += chunk
        except OSError:
            pass
        path = os.path.join(out, "request-%d" % number)
        with open(path + ".tmp", "wb") as f:
            f.write(data)
        os.replace(path + ".tmp", path)
        try:
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            conn.settimeout(2.0)
            if conn.recv(1) == b"":
                open(path + ".closed", "w").close()
        except socket.timeout:
            pass  # still open after 2 s: no note
        except OSError:
            open(path + ".closed", "w").close()  # reset by the client: closed too


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("address")
    ap.add_argument("out")
    ap.add_argument("--port", type=int, default=80)
    args = ap.parse_args()
    if not args.address.startswith("127."):
        sys.exit("report-listener: %s is not a loopback address" % args.address)
    os.makedirs(args.out, exist_ok=True)
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((args.address, args.port))
    server.listen(16)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    with open(os.path.join(args.out, "ready.tmp"), "w") as f:
        f.write("%d\n" % args.port)
    os.replace(os.path.join(args.out, "ready.tmp"), os.path.join(args.out, "ready"))
    number = 0
    lock = threading.Lock()
    while True:
        conn, _ = server.accept()
        with lock:
            number += 1
            n = number
        threading.Thread(target=serve_one, args=(conn, args.out, n), daemon=True).start()


if __name__ == "__main__":
    main()
