"""aiosmtpd for the TLS and login tests: prints the port it listens on, then
serves until it is stopped.

    tls_smtpd.py MODE CERT KEY MAILDIR [--login USER:PASSWORD] [--only MECHANISM] [--discard]

MODE is "starttls" (plain, STARTTLS offered), "tls" (TLS from the first byte)
or "plain" (no TLS at all). With --login the server offers AUTH and takes
only that user and password; --only leaves one mechanism (PLAIN or LOGIN).
Each accepted message is kept in MAILDIR/new with two headers in front:
X-Login (the user who logged in, or "-") and X-Tls ("yes" when the message
came encrypted); with --discard (for benchmarks) it is accepted and dropped.
"""
import asyncio
import logging
import mailbox
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def main():
    # A refused certificate is the point of some tests, not news.
    logging.getLogger("mail.log").disabled = True
    mode, cert, key, maildir = sys.argv[1:5]
    rest = sys.argv[5:]
    login = None
    only = None
    discard = "--discard" in rest
    rest = [a for a in rest if a != "--discard"]
    while rest:
        option, value = rest[0], rest[1]
        rest = rest[2:]
        if option == "--login":
            login = tuple(part.encode() for part in value.split(":", 1))
        elif option == "--only":
            only = value.upper()
    context = None
    if mode != "plain":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(cert, key)
    box = mailbox.Maildir(maildir)

    class Handler:
        async def handle_DATA(self, server, session, envelope):
            if discard:
                return "250 Message accepted for delivery"
            user = session.auth_data.login.decode() if session.authenticated else "-"
            encrypted = "yes" if (session.ssl or mode == "tls") else "no"
            box.add(b"X-Login: " + user.encode() + b"\r\nX-Tls: " + encrypted.encode() + b"\r\n"
                    + envelope.original_content)
            return "250 Message accepted for delivery"

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = isinstance(auth_data, LoginPassword) and (auth_data.login, auth_data.password) == login
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)

    excluded = [m for m in ("PLAIN", "LOGIN") if only and m != only]

    def factory():
        return SMTP(Handler(), hostname="mx.test",
                    tls_context=context if mode == "starttls" else None,
                    authenticator=authenticator if login else None,
                    # Implicit TLS is encrypted from the start; aiosmtpd only
                    # knows of its own STARTTLS.
                    auth_require_tls=(mode == "starttls"),
                    auth_exclude_mechanism=excluded)

    loop = asyncio.new_event_loop()
    server = loop.run_until_complete(loop.create_server(
        factory, "127.0.0.1", 0, ssl=context if mode == "tls" else None))
    print(server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


main()
