#!/usr/bin/python3
"""A real SMTP server for tests, on 127.0.0.1 and a port the system picks.

usage: smtp_server.py OUTDIR [--user U --password P] [--refuse TEXT] [--drop-first N]
                      [--tls starttls|smtps --cert PEM --key PEM] [--lifetime SECONDS]

Prints the port on the first line of standard output, then serves until its
standard input is closed or the lifetime ends. Each accepted message N is
read back with Python's own e-mail package into OUTDIR/msg-N/ (texts in UTF-8):
  envelope_from, envelope_to (one address a line), auth_user, helo, tls
  (none, starttls or smtps), raw.eml,
  header-<name> (decoded) for Date, Message-ID, MIME-Version, From, To, Subject,
  addr-From, addr-To: one mailbox a line, "display name<TAB>address",
  groups-From, groups-To: the display name of each group, one a line,
  body (the decoded bytes of the text/plain part, if any), body-charset,
  body-text (that part decoded with its charset),
  for each attachment K: att-K.name, att-K.type, att-K.encoding, att-K.data,
  problems: every defect the default and the strict policy found in any
  header or part, every header line over 78 characters or line over 998, and
  every encoded word over 75 characters (empty when the message is sound);
  last, the empty file `complete`.
Recipients holding TEXT (--refuse) are refused with 550; with --user the
server demands AUTH (PLAIN or LOGIN) and takes only that pair; with --tls
starttls it demands STARTTLS before AUTH and MAIL.
With --drop-first N the first N messages are cut off: after the 354 reply and
a few lines of the message the server closes the connection; nothing is kept.
"""
import argparse
import asyncio
import email
import email.policy
import logging
import os
import re
import ssl
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

# Longest header line where RFC 5322 asks for folding, and longest line at all.
FOLD_LIMIT = 78
LINE_LIMIT = 998
# Longest encoded word (RFC 2047, section 2), and what one looks like.
ENCODED_WORD_LIMIT = 75
ENCODED_WORD = re.compile(r"=\?[^?\s]+\?[bBqQ]\?[^?\s]*\?=")


def write(path, data):
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8", "surrogateescape"))


def line_problems(raw):
    problems = []
    head, _, _ = raw.partition(b"\r\n\r\n")
    for line in head.split(b"\r\n"):
        if len(line) > FOLD_LIMIT:
            problems.append("header line of %d characters: %r" % (len(line), line[:60]))
    for line in raw.split(b"\r\n"):
        if len(line) > LINE_LIMIT:
            problems.append("line of %d characters" % len(line))
    if b"\n" in raw.replace(b"\r\n", b"") or b"\r" in raw.replace(b"\r\n", b""):
        problems.append("bare CR or LF")
    return problems


def encoded_word_problems(msg):
    """Every encoded word in the headers of every part, as the parser hands them over."""
    problems = []
    for part in msg.walk():
        for name, value in part.raw_items():
            for word in ENCODED_WORD.findall(value):
                if len(word) > ENCODED_WORD_LIMIT:
                    problems.append("%s: encoded word of %d characters: %s" % (name, len(word), word))
    return problems


def strict_problems(raw):
    """Reads every header and part under the strict policy: it raises on defects of the
    message's structure; defects of header values it only records, so those are listed."""
    problems = []
    try:
        msg = email.message_from_bytes(raw, policy=email.policy.strict)
        for part in msg.walk():
            for name, value in part.items():
                problems += ["strict: %s: %r" % (name, d) for d in value.defects]
            if not part.is_multipart():
                part.get_content()
    except Exception as error:  # the strict policy's whole point is to raise
        problems.append("strict: %s: %s" % (type(error).__name__, error))
    return problems


def mailboxes(header):
    lines = ""
    for address in header.addresses:
        lines += "%s\t%s\n" % (address.display_name, address.addr_spec)
    return lines


class Handler:
    def __init__(self, outdir, refuse, tls):
        self.outdir = outdir
        self.refuse = refuse
        self.tls = tls
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
        out = lambda name, data: write(os.path.join(folder, name), data)
        out("envelope_from", envelope.mail_from)
        out("envelope_to", "".join(a + "\n" for a in envelope.rcpt_tos))
        user = session.auth_data.login if isinstance(session.auth_data, LoginPassword) else b""
        out("auth_user", user)
        out("helo", session.host_name or "")
        tls = "smtps" if self.tls == "smtps" else ("starttls" if session.ssl is not None else "none")
        out("tls", tls)
        raw = envelope.original_content or envelope.content
        out("raw.eml", raw)

        msg = email.message_from_bytes(raw, policy=email.policy.default)
        problems = line_problems(raw) + strict_problems(raw) + encoded_word_problems(msg)
        for name in ("Date", "Message-ID", "MIME-Version", "From", "To", "Subject"):
            value = msg.get(name)
            if value is None:
                continue
            problems += ["%s: %r" % (name, d) for d in value.defects]
            out("header-" + name, str(value))
            if name in ("From", "To"):
                out("addr-" + name, mailboxes(value))
                out("groups-" + name, "".join(g.display_name + "\n" for g in value.groups
                                              if g.display_name is not None))
        k = 0
        for part in msg.walk():
            problems += ["part: %r" % d for d in part.defects]
            if part.is_multipart():
                continue
            filename = part.get_filename()
            if filename is None and part.get_content_type() == "text/plain":
                out("body", part.get_payload(decode=True) or b"")
                out("body-charset", part.get_content_charset() or "")
                out("body-text", part.get_content())
                continue
            k += 1
            out("att-%d.name" % k, filename or "")
            out("att-%d.type" % k, part.get_content_type())
            out("att-%d.encoding" % k, part.get("Content-Transfer-Encoding", ""))
            out("att-%d.data" % k, part.get_payload(decode=True) or b"")
        out("problems", "".join(p + "\n" for p in problems))
        out("complete", b"")
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
    parser.add_argument("--tls", choices=("none", "starttls", "smtps"), default="none")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--lifetime", type=float, default=300.0)
    args = parser.parse_args()
    warnings.filterwarnings("ignore")
    logging.disable(logging.CRITICAL)

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == args.user.encode()
              and auth_data.password == args.password.encode())
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)

    context = None
    if args.tls != "none":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)

    handler = Handler(args.outdir, args.refuse, args.tls)
    DroppingSMTP.drops = args.drop_first
    options = dict(hostname="tarn-test", decode_data=False)
    if args.tls == "starttls":
        options.update(tls_context=context, require_starttls=True)
    if args.user:
        # Without TLS, AUTH in clear text is deliberate here: the tests run on loopback.
        options.update(authenticator=authenticator, auth_required=True,
                       auth_require_tls=args.tls == "starttls")

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(
        loop.create_server(lambda: DroppingSMTP(handler, loop=loop, **options), "127.0.0.1", 0,
                           ssl=context if args.tls == "smtps" else None))
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
