#!/usr/bin/python3
# A pyftpdlib server on loopback for tests and benchmarks: one writable account, optional
# anonymous read-only access, times in UTC; writes its port to a file once it listens.
import argparse
import errno
import logging
import os
import socket
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler, _FileReadWriteError
from pyftpdlib.ioloop import RetryError
from pyftpdlib.servers import FTPServer


def disk_full_dtp(limit):
    """A data channel whose disk fills up after limit bytes of an upload: the file keeps exactly
    those, and the write that would pass them fails (ENOSPC), however the bytes arrive."""
    class DiskFullDTPHandler(DTPHandler):
        def handle_read(self):
            if not self.receive:
                return DTPHandler.handle_read(self)
            try:
                chunk = self.recv(self.ac_in_buffer_size)
            except RetryError:
                return
            except socket.error:
                self.handle_error()
                return
            held = self.tot_bytes_received
            self.tot_bytes_received += len(chunk)
            if not chunk:
                self.transfer_finished = True
                return
            if self._data_wrapper is not None:
                chunk = self._data_wrapper(chunk)
            room = max(0, limit - held)
            if room:
                self.file_obj.write(chunk[:room])
            if len(chunk) > room:
                raise _FileReadWriteError(OSError(errno.ENOSPC, os.strerror(errno.ENOSPC)))
        handle_read_event = handle_read  # the base class binds its own under this name too
    return DiskFullDTPHandler


def dropping_dtp(base, flag, after):
    """A data channel that, while the flag file exists, closes the first upload passing `after`
    bytes without a word on the data connection, keeping exactly `after` bytes of it, and removes
    the flag: a connection lost once. A flag that holds a number drops after that many bytes
    instead."""

    def drop_point():
        try:
            with open(flag) as f:
                text = f.read().strip()
        except OSError:
            return None
        return int(text) if text.isdigit() else after

    class DroppingDTPHandler(base):
        def handle_read(self):
            super().handle_read()
            point = drop_point() if self.receive else None
            if point is not None and self.tot_bytes_received >= point:
                os.remove(flag)
                # The file keeps exactly `point` bytes, as if the rest of the read never came:
                # what a test sees of the drop does not depend on how the reads fell.
                logging.info("dropping the data connection after %d bytes", point)
                self.file_obj.flush()
                self.file_obj.truncate(point)
                self.tot_bytes_received = point
                self._resp = ("426 Data connection lost; transfer aborted.", logging.info)
                self.close()

        # The base binds its read event to its own handle_read.
        handle_read_event = handle_read

    return DroppingDTPHandler


def truncating_dtp(base, flag):
    """A data channel that, while the flag file exists, keeps only the first half of the next
    upload that completes (at least one byte less), still answers 226, and removes the flag: a
    server with a quota or a full disk that does not say so. The cut is made before the reply, so
    a SIZE sent right after the 226 already sees it."""

    class TruncatingDTPHandler(base):
        def close(self):
            # The base closes the file and answers the client from here; a completed upload has
            # its 226 waiting in _resp by now (an aborted or failed one has a 426, or nothing).
            if (not self._closed and self.receive and self.transfer_finished
                    and self._resp and self._resp[0].startswith("226")
                    and self.file_obj is not None and not self.file_obj.closed
                    and os.path.exists(flag)):
                os.remove(flag)
                self.file_obj.flush()
                size = os.fstat(self.file_obj.fileno()).st_size
                # An APPE or a resumed STOR is judged by the whole file, as a quota would be.
                os.ftruncate(self.file_obj.fileno(), size // 2)
                logging.info("keeping %d of the %d bytes of %s", size // 2, size, self.file_obj.name)
            super().close()

    return TruncatingDTPHandler


def stalling_dtp(base, after, seconds):
    """A data channel that stops reading an upload for `seconds` once it has received `after`
    bytes, then reads on: a link that stalls in mid-file and recovers. Each data connection
    stalls once. The client's writes block as soon as the socket buffers are full."""

    class StallingDTPHandler(base):
        _stall = None

        # Wrapped around recv, as the throttle does it, so that the read events of any base
        # (TLS too) stay as they are.
        def recv(self, buffer_size):
            chunk = super().recv(buffer_size)
            if self.receive and self._stall is None and self.tot_bytes_received + len(chunk) >= after:
                logging.info("stalling %g s after %d bytes", seconds, self.tot_bytes_received + len(chunk))
                self.del_channel()
                self._stall = self.ioloop.call_later(seconds, self._read_on, _errback=self.handle_error)
            return chunk

        def _read_on(self):
            if not self._closed:
                self.add_channel(events=self.ioloop.READ)

        def close(self):
            if self._stall is not None and not self._stall.cancelled:
                self._stall.cancel()
            super().close()

    return StallingDTPHandler


def counting_dtp(base, log):
    """A data channel that appends to the file `log` what each upload received, as lines
    "<bytes>\t<path under the root>", when it ends (before the reply) and whenever it pauses:
    a reader sums the lines of a name to learn what the server received for that file across
    all its data connections, and may take the file away (a fresh one is made)."""

    class CountingDTPHandler(base):
        _counted = 0

        def count(self):
            fresh = self.tot_bytes_received - self._counted
            if not self.receive or fresh <= 0 or self.file_obj is None:
                return
            self._counted = self.tot_bytes_received
            name = os.path.relpath(self.file_obj.name, self.cmd_channel.fs.root)
            # One write of one line, appended: lines of several connections never mix.
            fd = os.open(log, os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o644)
            try:
                os.write(fd, b"%d\t%s\n" % (fresh, os.fsencode(name)))
            finally:
                os.close(fd)

        def del_channel(self, map=None):
            # A pause (a stall, a throttle's sleep) or the end: what came so far is on record.
            self.count()
            super().del_channel(map)

        def close(self):
            if not self._closed:
                self.count()
            super().close()

    return CountingDTPHandler


def ignoring_rest(base, flag):
    """A server that, while the flag file exists, answers REST with 350 and still stores from the
    file's start, as some servers do: a client must not take the 350 for a file that goes on."""

    class IgnoringRestHandler(base):
        def ftp_REST(self, line):
            if not os.path.exists(flag):
                return super().ftp_REST(line)
            self.respond("350 Restarting at %s (not really)." % line)

    return IgnoringRestHandler


# The files data connections of this server write now, by their paths on disk.
WRITING = set()


def tracking_writes(base):
    """A data channel that keeps WRITING up to date: a file is in it from the moment an upload's
    data starts until its data connection closes."""

    class TrackingDTPHandler(base):
        _tracked = None

        def enable_receiving(self, type, cmd):
            if self.file_obj is not None:
                self._tracked = self.file_obj.name
                WRITING.add(self._tracked)
            return super().enable_receiving(type, cmd)

        def close(self):
            if self._tracked is not None:
                WRITING.discard(self._tracked)
                self._tracked = None
            super().close()

    return TrackingDTPHandler


def deleting_as_told(base, busy_flag, lost_flag):
    """A server that, while busy_flag exists, refuses to delete a file a data connection still
    writes (550), as Windows servers do; and that, while lost_flag exists, carries out the next
    DELE and never answers it (the reply lost), removing lost_flag."""

    class DeletingHandler(base):
        def ftp_DELE(self, path):
            if busy_flag and os.path.exists(busy_flag) and path in WRITING:
                self.respond("550 The process cannot access the file because it is being used by another process.")
                return
            if lost_flag and os.path.exists(lost_flag):
                os.remove(lost_flag)
                self.run_as_current_user(self.fs.remove, path)
                logging.info("DELE %s carried out, its reply lost", path)
                return
            return super().ftp_DELE(path)

    return DeletingHandler


def one_connection_flag(base, flag):
    """A server that, while the flag file exists, takes one control connection per address and
    answers any other with 421, as servers limited per client do."""

    class OneConnectionServer(base):
        def handle_accepted(self, sock, addr):
            self.max_cons_per_ip = 1 if os.path.exists(flag) else 0
            return super().handle_accepted(sock, addr)

    return OneConnectionServer


def refusing_active_mode(base):
    class RefusingActiveHandler(base):
        def ftp_PORT(self, line):
            self.respond("500 Active mode is not allowed here.")

        def ftp_EPRT(self, line):
            self.respond("500 Active mode is not allowed here.")

    return RefusingActiveHandler


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
    ap.add_argument("--disk-full-after", type=int, default=0,
                    help="an upload fails as on a full disk once it holds this many bytes (0: never)")
    ap.add_argument("--throttle", type=int, default=0,
                    help="bytes per second the server reads from a data connection (0: no limit)")
    ap.add_argument("--drop-flag",
                    help="a file: while it exists, the next upload that passes --drop-after bytes has its "
                         "data connection closed there, and the file is removed (a connection lost once)")
    ap.add_argument("--drop-after", type=int, default=65536)
    ap.add_argument("--truncate-flag",
                    help="a file: while it exists, the next upload that completes keeps only its first "
                         "half yet is answered 226, and the file is removed (a quota that says nothing)")
    ap.add_argument("--stall-after", type=int, default=1048576,
                    help="with --stall-seconds: the bytes of an upload's data connection read before it stalls")
    ap.add_argument("--stall-seconds", type=float, default=0,
                    help="each upload's data connection stops reading this long after --stall-after bytes, "
                         "then reads on (0: never)")
    ap.add_argument("--received-log",
                    help="a file: each upload appends \"<bytes>\\t<path>\" lines of what it received, "
                         "at its end and whenever it pauses")
    ap.add_argument("--tls-cert",
                    help="a PEM file holding the certificate and its key: explicit FTPS, TLS required on "
                         "the control connection and every data connection")
    ap.add_argument("--ignore-rest-flag",
                    help="while this file exists, REST is answered 350 and not applied")
    ap.add_argument("--refuse-port", action="store_true",
                    help="refuse PORT and EPRT, as a server behind a firewall that allows no active mode")
    ap.add_argument("--dele-busy-flag",
                    help="while this file exists, DELE of a file a data connection writes is refused with 550")
    ap.add_argument("--dele-lost-flag",
                    help="while this file exists, the next DELE is carried out and never answered, and the file is removed")
    ap.add_argument("--one-connection-flag",
                    help="while this file exists, one control connection per address; others are answered 421")
    args = ap.parse_args()

    authorizer = DummyAuthorizer()
    # e l r: change dir, list, retrieve; a d f m w: append, delete, rename, mkdir, store;
    # M: SITE CHMOD; T: MFMT.
    authorizer.add_user(args.user, args.password, args.root, perm=args.perm)
    if args.anonymous:
        authorizer.add_anonymous(args.root)

    handler = FTPHandler
    if args.tls_cert:
        from pyftpdlib.handlers import TLS_FTPHandler
        handler = TLS_FTPHandler
        handler.certfile = args.tls_cert
        handler.tls_control_required = True
        handler.tls_data_required = True
    handler.authorizer = authorizer
    handler.masquerade_address = None
    handler.use_gmt_times = True
    # Names that are not UTF-8 (a client in code page 949) keep their bytes, as on a real server,
    # instead of becoming U+FFFD.
    handler.unicode_errors = "surrogateescape"
    handler.permit_foreign_addresses = False
    # A test of a wrong password should not wait out the usual penalty.
    handler.auth_failed_timeout = 0
    if args.disk_full_after > 0:
        handler.dtp_handler = disk_full_dtp(args.disk_full_after)
    if args.throttle > 0:
        # A slow server: uploads that a test must stop part way are still running when it does.
        dtp = ThrottledDTPHandler
        dtp.read_limit = args.throttle
        handler.dtp_handler = dtp
    if args.drop_flag:
        handler.dtp_handler = dropping_dtp(handler.dtp_handler, args.drop_flag, args.drop_after)
    if args.truncate_flag:
        handler.dtp_handler = truncating_dtp(handler.dtp_handler, args.truncate_flag)
    if args.stall_seconds > 0:
        handler.dtp_handler = stalling_dtp(handler.dtp_handler, args.stall_after, args.stall_seconds)
    if args.received_log:
        handler.dtp_handler = counting_dtp(handler.dtp_handler, args.received_log)
    if args.refuse_port:
        handler = refusing_active_mode(handler)
    if args.ignore_rest_flag:
        handler = ignoring_rest(handler, args.ignore_rest_flag)
    if args.dele_busy_flag or args.dele_lost_flag:
        handler.dtp_handler = tracking_writes(handler.dtp_handler)
        handler = deleting_as_told(handler, args.dele_busy_flag, args.dele_lost_flag)
    if args.passive_ports:
        first, last = (int(p) for p in args.passive_ports.split("-"))
        handler.passive_ports = range(first, last + 1)

    logging.basicConfig(stream=sys.stderr, level=logging.INFO,
                        format="%(asctime)s %(message)s")
    server_class = one_connection_flag(FTPServer, args.one_connection_flag) if args.one_connection_flag else FTPServer
    server = server_class(("127.0.0.1", 0), handler)
    port = server.socket.getsockname()[1]
    # Written whole and then renamed, so a reader never sees half a number.
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, args.port_file)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
