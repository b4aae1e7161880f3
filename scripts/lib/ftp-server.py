#!/usr/bin/python3
# A pyftpdlib server on loopback for tests and benchmarks: one writable account, optional
# anonymous read-only access, times in UTC; writes its port to a file once it listens.
import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--user", required=True)
    ap.add_argument("--password", required=True)
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--passive-ports", help="FIRST-LAST; default: any free port")
    ap.add_argument("--anonymous", action="store_true")
    ap.add_argument("--perm", default="elradfmwMT",
                    help="the account's pyftpdlib permissions; without M it may not SITE CHMOD")
    ap.add_argument("--throttle", type=int, default=0,
                    help="bytes per second the server reads from a data connection (0: no limit)")
    args = ap.parse_args()

    authorizer = DummyAuthorizer()
    # e l r: change dir, list, retrieve; a d f m w: append, delete, rename, mkdir, store;
    # M: SITE CHMOD; T: MFMT.
    authorizer.add_user(args.user, args.password, args.root, perm=args.perm)
    if args.anonymous:
        authorizer.add_anonymous(args.root)

    handler = FTPHandler
    handler.authorizer = authorizer
    handler.masquerade_address = None
    handler.use_gmt_times = True
    # Names that are not UTF-8 (a client in code page 949) keep their bytes, as on a real server,
    # instead of becoming U+FFFD.
    handler.unicode_errors = "surrogateescape"
    handler.permit_foreign_addresses = False
    # A test of a wrong password should not wait out the usual penalty.
    handler.auth_failed_timeout = 0
    if args.throttle > 0:
        # A slow server: uploads that a test must stop part way are still running when it does.
        dtp = ThrottledDTPHandler
        dtp.read_limit = args.throttle
        handler.dtp_handler = dtp
    if args.passive_ports:
        first, last = (int(p) for p in args.passive_ports.split("-"))
        handler.passive_ports = range(first, last + 1)

    logging.basicConfig(stream=sys.stderr, level=logging.INFO,
                        format="%(asctime)s %(message)s")
    server = FTPServer(("127.0.0.1", 0), handler)
    port = server.socket.getsockname()[1]
    # Written whole and then renamed, so a reader never sees half a number.
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, args.port_file)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
