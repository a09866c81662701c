#!/usr/bin/env python3
"""https_server.py: a loopback HTTP(S) server for the update-check tests.

Listens on 127.0.0.1 on a free port, prints the port on the first line of its output and serves
until its standard input closes (the test process ending closes it too).

Modes:
  answer  reply with --status/--reason and the bytes of --body
  hang    read the request, then never answer (until the client goes away)
  proxy   an HTTP proxy that wants Basic credentials (--proxy-auth user:password): 407 without
          them, else the answer of mode "answer"

Every request is appended to --log: the request line, the header lines, then an empty line,
written before anything is answered.
"""

import argparse
import base64
import http.server
import os
import socket
import ssl
import sys
import threading

LOG_LOCK = threading.Lock()


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--mode", choices=["answer", "hang", "proxy"], default="answer")
    p.add_argument("--body", help="file holding the reply body (empty body without it)")
    p.add_argument("--status", type=int, default=200)
    p.add_argument("--reason", default=None)
    p.add_argument("--content-type", default="text/plain")
    p.add_argument("--cert", help="server certificate chain (PEM); plain HTTP without it")
    p.add_argument("--key", help="server key (PEM)")
    p.add_argument("--log", help="file that receives the requests")
    p.add_argument("--proxy-auth", default="", help="user:password the proxy expects")
    return p.parse_args()


ARGS = parse_args()
TLS = None
if ARGS.cert:
    TLS = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    TLS.load_cert_chain(ARGS.cert, ARGS.key)
    TLS.set_alpn_protocols(["http/1.1"])


def record(handler):
    if not ARGS.log:
        return
    lines = [handler.requestline]
    for name, value in handler.headers.items():
        lines.append("%s: %s" % (name, value))
    with LOG_LOCK, open(ARGS.log, "a", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n\n")


def body_bytes():
    if not ARGS.body:
        return b""
    with open(ARGS.body, "rb") as f:
        return f.read()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        if TLS is not None:
            # The handshake runs here, on the connection's own thread, so a client that never
            # completes it cannot hold up the others.
            self.request = TLS.wrap_socket(self.request, server_side=True)
        super().setup()

    def log_message(self, format, *args):
        pass

    def answer(self):
        data = body_bytes()
        self.send_response(ARGS.status, ARGS.reason)
        self.send_header("Content-Type", ARGS.content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)
        self.wfile.flush()
        self.close_connection = True

    def hang(self):
        self.connection.settimeout(120)
        try:
            while self.connection.recv(4096):
                pass
        except (OSError, socket.timeout):
            pass
        self.close_connection = True

    def proxy(self):
        expected = "Basic " + base64.b64encode(ARGS.proxy_auth.encode()).decode()
        if self.headers.get("Proxy-Authorization") != expected:
            self.send_response(407, "Proxy Authentication Required")
            self.send_header("Proxy-Authenticate", 'Basic realm="clipvane-test"')
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        self.answer()

    def do_GET(self):
        record(self)
        if ARGS.mode == "hang":
            self.hang()
        elif ARGS.mode == "proxy":
            self.proxy()
        else:
            self.answer()

    do_HEAD = do_GET
    do_POST = do_GET


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # Refused handshakes and dropped connections are what some tests are about.
        pass


def wait_for_stdin_eof():
    try:
        while sys.stdin.buffer.read(4096):
            pass
    finally:
        os._exit(0)


def main():
    server = Server(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    threading.Thread(target=wait_for_stdin_eof, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
