#!/usr/bin/python3
"""An SMTP sink for the mailing-run tests (aiosmtpd) on a loopback address.
Prints its port on the first line of stdout and ends after LIFETIME seconds.

Files in OUTDIR, one line appended per event and flushed at once:
  delivered    the recipients of every accepted message, one line each
  refused      every recipient refused at RCPT
  rejected     the recipients of every message refused after DATA
  stalled      the recipients of every message held inside DATA
  connections  the number of connections so far
  NNNN.eml     the message bytes, with --store only

Options:
  --host ADDR          listen address (default 127.0.0.1)
  --port N             listen port (default: any free one)
  --refuse-all         refuse every recipient: 550 5.1.1 user unknown
  --reject TEXT        refuse messages whose data holds TEXT with --reply
  --reply LINE         the reply to a rejected message (default 554 5.7.1 refused)
  --stall              never answer the end of a message's data (commands after
                       it, such as QUIT, are still answered)
  --store              keep the messages
"""
import argparse
import asyncio
import os
import sys

from aiosmtpd.smtp import SMTP


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--outdir", required=True)
    ap.add_argument("--lifetime", type=float, default=60)
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--refuse-all", action="store_true")
    ap.add_argument("--reject", default="")
    ap.add_argument("--reply", default="554 5.7.1 refused")
    ap.add_argument("--stall", action="store_true")
    ap.add_argument("--store", action="store_true")
    args = ap.parse_args()
    os.makedirs(args.outdir, exist_ok=True)
    state = {"count": 0, "connections": 0}
    logs = {}

    def log(name, lines):
        f = logs.get(name)
        if f is None:
            f = logs[name] = open(os.path.join(args.outdir, name), "a")
        for line in lines:
            f.write(line + "\n")
        f.flush()

    class Handler:
        async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
            if args.refuse_all:
                log("refused", [address])
                return "550 5.1.1 user unknown"
            envelope.rcpt_tos.append(address)
            return "250 OK"

        async def handle_DATA(self, server, session, envelope):
            data = envelope.original_content or b""
            if args.reject and args.reject.encode() in data:
                log("rejected", envelope.rcpt_tos)
                return args.reply
            if args.store:
                n = state["count"]
                with open(os.path.join(args.outdir, "%04d.eml" % n), "wb") as f:
                    f.write(data)
            state["count"] += 1
            log("delivered", envelope.rcpt_tos)
            return "250 2.0.0 OK queued"

    class CountingSMTP(SMTP):
        def connection_made(self, transport):
            state["connections"] += 1
            super().connection_made(transport)
            with open(os.path.join(args.outdir, "connections"), "w") as f:
                f.write(str(state["connections"]))

    def factory():
        return CountingSMTP(Handler(), hostname="sink.test")

    async def stalling(reader, writer):
        # A server stuck after the data: the message is never answered.
        state["connections"] += 1
        with open(os.path.join(args.outdir, "connections"), "w") as f:
            f.write(str(state["connections"]))
        writer.write(b"220 sink.test ESMTP\r\n")
        in_data, rcpts = False, []
        while True:
            line = await reader.readline()
            if not line:
                break
            if in_data:
                if line == b".\r\n":
                    in_data = False
                    log("stalled", rcpts)
                continue
            verb = line[:4].upper()
            if verb == b"QUIT":
                writer.write(b"221 bye\r\n")
                await writer.drain()
                break
            if verb == b"RCPT":
                rcpts.append(line[8:].strip().decode("utf-8", "replace").strip("<>"))
            if verb == b"DATA":
                in_data = True
                writer.write(b"354 go on\r\n")
            else:
                writer.write(b"250 OK\r\n")
            await writer.drain()
        writer.close()

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    try:
        if args.stall:
            server = loop.run_until_complete(asyncio.start_server(stalling, host=args.host, port=args.port))
        else:
            server = loop.run_until_complete(loop.create_server(factory, host=args.host, port=args.port))
    except OSError as e:
        sys.stdout.write("0\n")
        sys.stdout.flush()
        sys.stderr.write(str(e) + "\n")
        return
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
