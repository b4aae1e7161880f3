#!/usr/bin/python3
"""Checks what the demo's upload left on the FTP server: every file the page reports as sent is
in the upload folder under its stored name, identical to the user's file, with permissions 777;
every file the user listed (except the one the limit refused) was sent; nothing else is there.

usage: check_server.py PAGE_OUTPUT FILES_FOLDER SERVER_FOLDER"""
import os
import stat
import sys
from pathlib import Path

REFUSED = {"발표영상.mp4"}


def result_line(output: str, name: str) -> str:
    for line in output.splitlines():
        key, sep, value = line.partition("=")
        if sep and key.strip() == name:
            return value.strip()
    raise SystemExit(f"the page printed no {name}")


def server_path(folder: Path, stored: str) -> tuple[bytes, str]:
    """The stored name as the server wrote it: the client's code page (949) or UTF-8."""
    for encoding in ("cp949", "utf-8"):
        path = os.fsencode(folder) + b"/" + stored.encode(encoding)
        if os.path.exists(path):
            return path, encoding
    return b"", ""


def main() -> int:
    output = Path(sys.argv[1]).read_text(encoding="utf-8")
    files, server = Path(sys.argv[2]), Path(sys.argv[3])
    entries = [e for e in result_line(output, "retFiles").split("|") if e]
    sizes = [s for s in result_line(output, "retFilesize").split("|") if s]
    locals_by_name = {p.name: p for p in files.rglob("*") if p.is_file()}
    failures, sent = 0, set()
    for stored, size in zip(entries, sizes):
        name = stored[stored.index("(") + 1:stored.rindex(")")]
        local = locals_by_name.get(name)
        path, encoding = server_path(server, stored)
        problems = []
        if local is None:
            problems.append("no such local file")
        if not path:
            problems.append("missing on the server")
        else:
            st = os.stat(path)
            if local is not None and Path(os.fsdecode(path)).read_bytes() != local.read_bytes():
                problems.append("contents differ")
            if int(size) != st.st_size:
                problems.append(f"retFilesize says {size}, the server has {st.st_size}")
            if stat.S_IMODE(st.st_mode) != 0o777:
                problems.append(f"mode {stat.S_IMODE(st.st_mode):o}")
        sent.add(name)
        status = "ok  " if not problems else "FAIL"
        detail = ", ".join(problems) or f"identical, mode 777, name in {encoding}"
        print(f"{status} {int(size):>9} bytes  {stored}: {detail}")
        failures += bool(problems)
    expected = set(locals_by_name) - REFUSED
    for name in sorted(expected - sent):
        print(f"FAIL {name} was listed but not sent")
        failures += 1
    on_server = len(os.listdir(os.fsencode(server)))
    if on_server != len(entries[:len(sizes)]):
        print(f"FAIL the server holds {on_server} files, the page sent {len(sizes)}")
        failures += 1
    servers_kept = entries[len(sizes):]
    print(f"{len(sizes)} files sent and checked; {len(servers_kept)} server entries kept: "
          + ", ".join(servers_kept))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
