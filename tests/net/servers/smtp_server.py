#!/usr/bin/python3
"""A test SMTP server on 127.0.0.1 (aiosmtpd). Prints its port on the first line of stdout,
stores every accepted message in OUTDIR and ends after LIFETIME seconds.

Options:
  --outdir DIR        NNNN.eml holds the DATA bytes as received, NNNN.env the envelope
  --lifetime SECONDS  end after this time (default 60)
  --auth USER:PASS    require AUTH LOGIN with this account
  --refuse TEXT       refuse recipients whose address holds TEXT: 550 5.1.1 user unknown
  --reject TEXT       refuse messages whose DATA holds TEXT: 554 5.7.1 message refused
  --cert FILE --key FILE  offer STARTTLS with this certificate
  --implicit          TLS from the first byte (SMTPS; needs --cert)

The envelope notes whether the message ("tls") and the log-on ("auth_tls") came over TLS.
"""
import argparse
import asyncio
import json
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def _text(value):
    if isinstance(value, bytes):
        return value.decode("utf-8", "replace")
    return "" if value is None else str(value)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--outdir", required=True)
    ap.add_argument("--lifetime", type=float, default=60)
    ap.add_argument("--auth", default="")
    ap.add_argument("--refuse", default="")
    ap.add_argument("--reject", default="")
    ap.add_argument("--cert", default="")
    ap.add_argument("--key", default="")
    ap.add_argument("--implicit", action="store_true")
    args = ap.parse_args()
    os.makedirs(args.outdir, exist_ok=True)
    state = {"count": 0, "connections": 0}
    context = None
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)

    def over_tls(server):
        transport = getattr(server, "transport", None)
        return transport is not None and transport.get_extra_info("ssl_object") is not None

    class Handler:
        async def handle_EHLO(self, server, session, envelope, hostname, responses):
            session.host_name = hostname
            responses.insert(len(responses) - 1, "250-PIPELINING")
            return responses

        async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
            if args.refuse and args.refuse in address:
                return "550 5.1.1 user unknown"
            envelope.rcpt_tos.append(address)
            return "250 OK"

        async def handle_DATA(self, server, session, envelope):
            data = envelope.original_content or b""
            if args.reject and args.reject.encode() in data:
                return "554 5.7.1 message refused"
            n = state["count"]
            state["count"] += 1
            base = os.path.join(args.outdir, "%04d" % n)
            with open(base + ".eml.tmp", "wb") as f:
                f.write(data)
            with open(base + ".env", "w") as f:
                json.dump({"from": envelope.mail_from, "to": envelope.rcpt_tos,
                           "connection": session.connection_number,
                           "login": _text(getattr(session, "auth_data", None)),
                           "tls": over_tls(server),
                           "auth_tls": getattr(session, "auth_over_tls", None)}, f)
            os.rename(base + ".eml.tmp", base + ".eml")
            return "250 2.0.0 OK queued"

    def authenticator(server, session, envelope, mechanism, auth_data):
        if not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        user, _, password = args.auth.partition(":")
        session.auth_over_tls = over_tls(server)
        if auth_data.login == user.encode() and auth_data.password == password.encode():
            return AuthResult(success=True, auth_data=user.encode())
        return AuthResult(success=False, handled=False)

    class CountingSMTP(SMTP):
        def connection_made(self, transport):
            state["connections"] += 1
            super().connection_made(transport)
            self.session.connection_number = state["connections"]
            with open(os.path.join(args.outdir, "connections"), "w") as f:
                f.write(str(state["connections"]))

    kwargs = {}
    if args.auth:
        kwargs = dict(auth_required=True, auth_require_tls=False, authenticator=authenticator)

    if context and not args.implicit:
        kwargs["tls_context"] = context

    def factory():
        return CountingSMTP(Handler(), hostname="test.local", **kwargs)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(loop.create_server(
        factory, host="127.0.0.1", port=0, ssl=context if args.implicit else None))
    port = server.sockets[0].getsockname()[1]
    sys.stdout.write("%d\n" % port)
    sys.stdout.flush()
    loop.call_later(args.lifetime, loop.stop)
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == "__main__":
    main()
