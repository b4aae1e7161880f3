#!/usr/bin/python3
"""A time-stamp server (RFC 3161) on 127.0.0.1 for the package test: answers each POSTed query with
`openssl ts -reply` under the [tsa] section of CONFIG. Prints the port it took, then serves until it
is ended.

usage: tsa.py CONFIG"""
import http.server
import subprocess
import sys
import tempfile
from pathlib import Path

MAX_QUERY_BYTES = 64 * 1024


class TimeStamps(http.server.BaseHTTPRequestHandler):
    timeout = 10  # seconds a client may take to send its query

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        if not 0 < length <= MAX_QUERY_BYTES:
            self.send_error(413)
            return
        with tempfile.TemporaryDirectory() as folder:
            query, reply = Path(folder, "query.tsq"), Path(folder, "reply.tsr")
            query.write_bytes(self.rfile.read(length))
            made = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile", query,
                                   "-out", reply], capture_output=True, timeout=30, check=False)
            if made.returncode != 0:
                sys.stderr.write(made.stderr.decode(errors="replace"))
                self.send_error(500)
                return
            body = reply.read_bytes()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, format, *args):  # pylint: disable=redefined-builtin
        pass


def main() -> None:
    server = http.server.HTTPServer(("127.0.0.1", 0), TimeStamps)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
