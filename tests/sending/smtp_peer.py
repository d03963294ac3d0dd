"""An aiosmtpd handler for the sending-run tests: keeps every accepted
message in a maildir like aiosmtpd's Mailbox, and can refuse chosen
recipients (550), drop the connection in the middle of a chosen message, and
take its time over each message.

    python3 -m aiosmtpd -n -l 127.0.0.1:PORT -c smtp_peer.Peer MAILDIR \
        [refuse=a@x,b@x] [drop=N] [delay=SECONDS]
(with this folder on PYTHONPATH)."""

import asyncio

from aiosmtpd.handlers import Mailbox


class Peer(Mailbox):
    def __init__(self, maildir, refuse=(), drop=0, delay=0.0):
        super().__init__(maildir)
        self.refuse = set(refuse)
        self.drop = drop
        self.delay = delay
        self.count = 0

    @classmethod
    def from_cli(cls, parser, *args):
        options = dict(a.split("=", 1) for a in args[1:])
        refuse = [a for a in options.get("refuse", "").split(",") if a]
        return cls(args[0], refuse, int(options.get("drop", 0)), float(options.get("delay", 0)))

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.refuse:
            return "550 5.1.1 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        if self.delay:
            await asyncio.sleep(self.delay)
        if self.count == self.drop:
            # Gone without an answer, the message not kept.
            server.transport.abort()
            return "421 gone"
        return await super().handle_DATA(server, session, envelope)
