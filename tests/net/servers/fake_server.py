#!/usr/bin/python3
"""A lenient SMTP or POP3 fake on 127.0.0.1 that writes down every line it receives.

It answers every command with success (it would take "RCPT TO:<a@x.test, b@evil.test>"),
so a test can show what a client sends, or that it sends nothing. Prints its port on the
first line of stdout and ends after LIFETIME seconds.

Options:
  --proto smtp|pop3    the protocol to speak (default smtp)
  --log FILE           every received line (line end removed) is appended, one a line;
                       "*TLS" marks a finished TLS handshake, "*TLS-FAILED" a failed one,
                       "*CLOSED" the end of a connection
  --silent-at PREFIX   stop answering (keep reading) from the first line starting with
                       PREFIX (case ignored); "CONNECT" sends not even the greeting
  --cert FILE --key FILE  offer STARTTLS / STLS with this certificate
  --implicit           TLS from the first byte (needs --cert)
  --port PORT          listen there (default: a free port); ends at once when it is taken
  --lifetime SECONDS   default 60
"""
import argparse
import socket
import ssl
import sys
import threading
import time


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--proto", default="smtp", choices=["smtp", "pop3"])
    ap.add_argument("--log", required=True)
    ap.add_argument("--silent-at", default=None)
    ap.add_argument("--cert", default=None)
    ap.add_argument("--key", default=None)
    ap.add_argument("--implicit", action="store_true")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--lifetime", type=float, default=60)
    args = ap.parse_args()

    log_lock = threading.Lock()
    log = open(args.log, "ab", buffering=0)

    def note(data):
        with log_lock:
            log.write(data + b"\n")

    context = None
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)

    class Conn:
        def __init__(self, sock):
            self.sock = sock
            self.buf = b""
            self.tls = False
            self.silent = False

        def send(self, text):
            if not self.silent:
                self.sock.sendall(text.encode() + b"\r\n")

        def line(self):
            while b"\n" not in self.buf:
                data = self.sock.recv(65536)
                if not data:
                    return None
                self.buf += data
            line, _, self.buf = self.buf.partition(b"\n")
            line = line.rstrip(b"\r")
            note(line)
            if args.silent_at and line.upper().startswith(args.silent_at.upper().encode()):
                self.silent = True
            return line

        def start_tls(self):
            try:
                self.sock = context.wrap_socket(self.sock, server_side=True)
            except (ssl.SSLError, OSError):
                note(b"*TLS-FAILED")
                return False
            self.tls = True
            note(b"*TLS")
            return True

    def smtp(c):
        c.send("220 fake.test ESMTP")
        while True:
            line = c.line()
            if line is None:
                return
            verb = line.split(b" ")[0].upper()
            if verb in (b"EHLO", b"HELO"):
                caps = ["250-fake.test"]
                if context and not c.tls:
                    caps.append("250-STARTTLS")
                caps += ["250-AUTH LOGIN PLAIN", "250 8BITMIME"]
                for cap in caps:
                    c.send(cap)
            elif verb == b"STARTTLS" and context and not c.tls:
                c.send("220 go ahead")
                if c.silent or not c.start_tls():
                    return
            elif verb == b"AUTH":
                if line.upper().startswith(b"AUTH LOGIN"):
                    if len(line.split(b" ")) < 3:
                        c.send("334 VXNlcm5hbWU6")
                        if c.line() is None:
                            return
                    c.send("334 UGFzc3dvcmQ6")
                    if c.line() is None:
                        return
                c.send("235 2.7.0 accepted")
            elif verb == b"DATA":
                c.send("354 go on")
                while True:
                    data = c.line()
                    if data is None:
                        return
                    if data == b".":
                        break
                c.send("250 2.0.0 queued")
            elif verb == b"QUIT":
                c.send("221 bye")
                return
            else:
                c.send("250 OK")

    def pop3(c):
        c.send("+OK fake ready")
        while True:
            line = c.line()
            if line is None:
                return
            verb = line.split(b" ")[0].upper()
            if verb == b"CAPA":
                c.send("+OK")
                c.send("USER")
                if context and not c.tls:
                    c.send("STLS")
                c.send(".")
            elif verb == b"STLS" and context and not c.tls:
                c.send("+OK begin TLS")
                if c.silent or not c.start_tls():
                    return
            elif verb == b"STAT":
                c.send("+OK 0 0")
            elif verb == b"QUIT":
                c.send("+OK bye")
                return
            else:
                c.send("+OK")

    def serve(sock):
        c = Conn(sock)
        try:
            if args.implicit and not c.start_tls():
                return
            if args.silent_at and args.silent_at.upper() == "CONNECT":
                c.silent = True
            (smtp if args.proto == "smtp" else pop3)(c)
        except (OSError, ssl.SSLError):
            pass
        finally:
            note(b"*CLOSED")
            try:
                c.sock.close()
            except OSError:
                pass

    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        server.bind(("127.0.0.1", args.port))
    except OSError:
        sys.exit(1)
    server.listen(16)
    sys.stdout.write("%d\n" % server.getsockname()[1])
    sys.stdout.flush()
    end = time.monotonic() + args.lifetime
    server.settimeout(0.2)
    while time.monotonic() < end:
        try:
            sock, _ = server.accept()
        except socket.timeout:
            continue
        sock.settimeout(None)
        threading.Thread(target=serve, args=(sock,), daemon=True).start()


if __name__ == "__main__":
    main()
