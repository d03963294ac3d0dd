"""An aiosmtpd handler for the sending-run tests: keeps every accepted
message in a maildir like aiosmtpd's Mailbox, and can refuse chosen
recipients (550) or put them off for now (450, always or the first time
only), answer a chosen recipient 421 once and close the connection, refuse the
sender (sender=CODE: 550 or 451), refuse the messages to chosen recipients
at the end of their text (554), drop the connection in the middle of chosen
messages (the Nth messages received), take its time over each message, hold
the answer to each message's text back until a file exists, and offer
PIPELINING after EHLO.

    python3 -m aiosmtpd -n -l 127.0.0.1:PORT -c smtp_peer.Peer MAILDIR \
        [refuse=a@x,b@x] [later=a@x] [later_once=a@x] [closing=a@x] [sender=CODE] [refuse_data=a@x]
        [drop=N,M] [delay=SECONDS] [pipelining=1] [hold=PATH]
(with this folder on PYTHONPATH)."""

import asyncio
import os

from aiosmtpd.handlers import Mailbox


class Peer(Mailbox):
    def __init__(self, maildir, refuse=(), drop=(), delay=0.0, refuse_data=(), pipelining=False, later=(), hold="",
                 later_once=(), closing=(), sender=""):
        super().__init__(maildir)
        self.refuse = set(refuse)
        self.later = set(later)
        self.later_once = set(later_once)
        self.closing = set(closing)
        self.sender = sender
        # Every RCPT received, one address a line, beside the maildir.
        self.rcpt_log = str(maildir) + ".rcpt"
        self.refuse_data = set(refuse_data)
        self.drop = set(drop)
        self.delay = delay
        self.pipelining = pipelining
        self.hold = hold
        self.count = 0

    @classmethod
    def from_cli(cls, parser, *args):
        options = dict(a.split("=", 1) for a in args[1:])

        def addresses(key):
            return [a for a in options.get(key, "").split(",") if a]

        return cls(args[0], addresses("refuse"), [int(n) for n in addresses("drop")], float(options.get("delay", 0)),
                   addresses("refuse_data"), options.get("pipelining") == "1", addresses("later"),
                   options.get("hold", ""), addresses("later_once"), addresses("closing"), options.get("sender", ""))

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        if self.pipelining:
            responses.insert(-1, "250-PIPELINING")
        return responses

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if self.sender == "550":
            return "550 5.7.1 Sender address rejected"
        if self.sender == "451":
            return "451 4.3.0 Sender check failed, try again later"
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        with open(self.rcpt_log, "a") as log:
            log.write(address + "\n")
        if address in self.refuse:
            return "550 5.1.1 No such user here"
        if address in self.later:
            return "450 4.2.1 Mailbox busy, try again later"
        if address in self.later_once:
            self.later_once.discard(address)
            return "450 4.2.1 Mailbox busy, try again later"
        if address in self.closing:
            # The server shuts down, once: its last reply, then the connection ends.
            self.closing.discard(address)
            await server.push("421 4.3.2 Service shutting down")
            server.transport.close()
            return "421 4.3.2 Service shutting down"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        if self.delay:
            await asyncio.sleep(self.delay)
        # Held until the test lets the answer go (at most a minute).
        waited = 0.0
        while self.hold and not os.path.exists(self.hold) and waited < 60:
            await asyncio.sleep(0.02)
            waited += 0.02
        if self.count in self.drop:
            # Gone without an answer, the message not kept.
            server.transport.abort()
            return "421 gone"
        if self.refuse_data & set(envelope.rcpt_tos):
            return "554 5.7.1 Message refused"
        return await super().handle_DATA(server, session, envelope)
