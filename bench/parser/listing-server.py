#!/usr/bin/python3
"""Serves one listing file as the LIST of every FTP session on 127.0.0.1, for the memory figure of
tovalo-ftp ls: just the replies that a passive logon and LIST need. Writes its port to PORT_FILE and
serves until it is killed. Usage: listing-server.py LISTING PORT_FILE"""
import os
import socket
import sys

listing_path, port_file = sys.argv[1], sys.argv[2]
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(1)
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.getsockname()[1]))
os.replace(port_file + ".tmp", port_file)


def session(control):
    reader = control.makefile("rb")
    control.sendall(b"220 listing server\r\n")
    data_listener = None
    for raw in reader:
        verb = raw.decode("latin-1").strip().split(" ")[0].upper()
        if verb == "USER":
            control.sendall(b"331 password\r\n")
        elif verb == "PASV":
            data_listener = socket.socket()
            data_listener.bind(("127.0.0.1", 0))
            data_listener.listen(1)
            port = data_listener.getsockname()[1]
            control.sendall(b"227 Entering Passive Mode (127,0,0,1,%d,%d)\r\n" % (port // 256, port % 256))
        elif verb in ("LIST", "NLST") and data_listener:
            control.sendall(b"150 here it comes\r\n")
            data, _ = data_listener.accept()
            with open(listing_path, "rb") as listing:
                data.sendfile(listing)
            data.close()
            data_listener.close()
            data_listener = None
            control.sendall(b"226 done\r\n")
        elif verb == "QUIT":
            control.sendall(b"221 bye\r\n")
            return
        else:
            control.sendall(b"200 ok\r\n" if verb != "PASS" else b"230 in\r\n")


while True:
    conn, _ = server.accept()
    with conn:
        try:
            session(conn)
        except OSError:
            pass
