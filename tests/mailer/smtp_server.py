#!/usr/bin/python3
"""A real SMTP server for tests, on 127.0.0.1 and a port the system picks.

usage: smtp_server.py OUTDIR [--user U --password P] [--refuse TEXT] [--drop-first N]
                       [--lifetime SECONDS]

Prints the port on the first line of standard output, then serves until its
standard input is closed or the lifetime ends. Each accepted message N is
decoded with Python's own e-mail package into OUTDIR/msg-N/:
  envelope_from, envelope_to (one address a line), auth_user, raw.eml,
  header-<name> (decoded) for Date, Message-ID, MIME-Version, From, To, Subject,
  body (the decoded text/plain part, if any), and for each attachment K:
  att-K.name, att-K.type, att-K.encoding, att-K.data (decoded bytes);
  last, the empty file `complete`.
Recipients holding TEXT (--refuse) are refused with 550; with --user the
server demands AUTH (PLAIN or LOGIN, without TLS) and takes only that pair.
With --drop-first N the first N messages are cut off: after the 354 reply and
a few lines of the message the server closes the connection; nothing is kept.
"""
import argparse
import asyncio
import email
import email.header
import email.policy
import logging
import os
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def write(path, data):
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8", "surrogateescape"))


class Handler:
    def __init__(self, outdir, refuse):
        self.outdir = outdir
        self.refuse = refuse
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.refuse and self.refuse in address:
            return "550 5.1.1 Recipient refused"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        folder = os.path.join(self.outdir, "msg-%d" % self.count)
        os.makedirs(folder)
        write(os.path.join(folder, "envelope_from"), envelope.mail_from)
        write(os.path.join(folder, "envelope_to"), "".join(a + "\n" for a in envelope.rcpt_tos))
        user = session.auth_data.login if isinstance(session.auth_data, LoginPassword) else b""
        write(os.path.join(folder, "auth_user"), user)
        raw = envelope.original_content or envelope.content
        write(os.path.join(folder, "raw.eml"), raw)
        msg = email.message_from_bytes(raw, policy=email.policy.compat32)
        for name in ("Date", "Message-ID", "MIME-Version", "From", "To", "Subject"):
            value = msg.get(name)
            if value is not None:
                parts = email.header.decode_header(value)
                text = b"".join(p if isinstance(p, bytes) else p.encode("latin-1") for p, _ in parts)
                write(os.path.join(folder, "header-" + name), text)
        k = 0
        for part in msg.walk():
            if part.is_multipart():
                continue
            filename = part.get_filename()
            if filename is None and part.get_content_type() == "text/plain":
                write(os.path.join(folder, "body"), part.get_payload(decode=True) or b"")
                continue
            k += 1
            write(os.path.join(folder, "att-%d.name" % k), filename or "")
            write(os.path.join(folder, "att-%d.type" % k), part.get_content_type())
            write(os.path.join(folder, "att-%d.encoding" % k), part.get("Content-Transfer-Encoding", ""))
            write(os.path.join(folder, "att-%d.data" % k), part.get_payload(decode=True) or b"")
        write(os.path.join(folder, "complete"), b"")
        return "250 Message accepted for delivery"


class DroppingSMTP(SMTP):
    """Closes the connection in the middle of the first `drops` messages."""

    drops = 0

    async def smtp_DATA(self, arg):
        if DroppingSMTP.drops <= 0 or not self.envelope.rcpt_tos:
            return await super().smtp_DATA(arg)
        DroppingSMTP.drops -= 1
        await self.push("354 End data with <CR><LF>.<CR><LF>")
        for _ in range(3):
            await self._reader.readuntil(b"\r\n")
        self.transport.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("outdir")
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--refuse")
    parser.add_argument("--drop-first", type=int, default=0)
    parser.add_argument("--lifetime", type=float, default=300.0)
    args = parser.parse_args()
    # AUTH without TLS is deliberate here: the tests run on the loopback interface.
    warnings.filterwarnings("ignore")
    logging.disable(logging.CRITICAL)

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == args.user.encode()
              and auth_data.password == args.password.encode())
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)

    handler = Handler(args.outdir, args.refuse)
    DroppingSMTP.drops = args.drop_first
    options = dict(hostname="tarn-test", decode_data=False)
    if args.user:
        options.update(authenticator=authenticator, auth_required=True, auth_require_tls=False)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(
        loop.create_server(lambda: DroppingSMTP(handler, loop=loop, **options), "127.0.0.1", 0))
    print(server.sockets[0].getsockname()[1], flush=True)

    def on_stdin():
        if not os.read(sys.stdin.fileno(), 4096):
            loop.stop()

    loop.add_reader(sys.stdin.fileno(), on_stdin)
    loop.call_later(args.lifetime, loop.stop)
    loop.run_forever()
    server.close()


if __name__ == "__main__":
    main()
