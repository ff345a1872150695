#!/usr/bin/env python3
"""Loopback statistics server for the tests: records every datagram and HTTP
request that arrives, one line each, in <dir>/records.txt:

    udp <port> <arrival> <payload hex>
    http <port> <arrival> <kind> <method> <path> <content-type hex> <body hex>

It listens on 127.0.0.1 only: UDP 8700 (the dispatch port the installer uses)
and one more UDP port, and four HTTP ports that answer 200, answer 500, never
answer, or answer with the status line that the request's path spells
(percent-encoded after the leading slash). A fourth HTTP port is reserved and closed again, so that nothing
listens there. The ports go to <dir>/ports.txt ("<name> <port>" lines), written
last, once everything listens. Arguments "<name>=<port>" after <dir> fix a
port (the emulated machine serves the shipped addresses on their own ports).

    statserver.py DIR [NAME=PORT]..."""
import http.server
import os
import socket
import socketserver
import sys
import threading
import time
import urllib.parse

DISPATCH_PORT = 8700
lock = threading.Lock()


def record(directory, fields):
    line = " ".join(str(f) for f in fields) + "\n"
    with lock, open(os.path.join(directory, "records.txt"), "a") as out:
        out.write(line)


def udp_listener(directory, port):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", port))

    def serve():
        while True:
            data, _ = s.recvfrom(65536)
            record(directory, ["udp", s.getsockname()[1], "%.6f" % time.time(), data.hex() or "-"])

    threading.Thread(target=serve, daemon=True).start()
    return s.getsockname()[1]


def http_listener(directory, kind, port=0):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def do_POST(self):
            length = int(self.headers.get("Content-Length", "0"))
            body = self.rfile.read(length) if length else b""
            port = self.server.server_address[1]
            ctype = (self.headers.get("Content-Type") or "").encode()
            record(directory, ["http", port, "%.6f" % time.time(), kind, "POST", self.path,
                               ctype.hex() or "-", body.hex() or "-"])
            if kind == "silent":
                time.sleep(3600)  # holds the connection, never answers
                return
            if kind == "status":
                line = urllib.parse.unquote(self.path[1:]).encode("latin-1")
                self.wfile.write(line + b"\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                self.close_connection = True
                return
            status = 200 if kind == "ok" else 500
            self.send_response(status)
            self.send_header("Content-Length", "2")
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(b"ok")

    class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
        daemon_threads = True
        allow_reuse_address = True

    server = Server(("127.0.0.1", port), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


def closed_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def main():
    directory = sys.argv[1]
    fixed = {name: int(port) for name, port in (arg.split("=") for arg in sys.argv[2:])}
    os.makedirs(directory, exist_ok=True)
    for name in ("records.txt", "ports.txt"):
        if os.path.exists(os.path.join(directory, name)):
            os.remove(os.path.join(directory, name))
    open(os.path.join(directory, "records.txt"), "w").close()
    ports = {
        "udp_dispatch": udp_listener(directory, DISPATCH_PORT),
        "udp_other": udp_listener(directory, fixed.get("udp_other", 0)),
        "http_ok": http_listener(directory, "ok", fixed.get("http_ok", 0)),
        "http_500": http_listener(directory, "500", fixed.get("http_500", 0)),
        "http_silent": http_listener(directory, "silent", fixed.get("http_silent", 0)),
        "http_status": http_listener(directory, "status", fixed.get("http_status", 0)),
        "http_closed": closed_port(),
    }
    tmp = os.path.join(directory, "ports.tmp")
    with open(tmp, "w") as out:
        for name, port in ports.items():
            out.write("%s %d\n" % (name, port))
    os.replace(tmp, os.path.join(directory, "ports.txt"))
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    main()
