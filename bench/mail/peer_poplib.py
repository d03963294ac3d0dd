#!/usr/bin/python3
"""The peer of the POP3 benchmark: Python's poplib retrieving every message
of the mailbox over one connection, and the helper that fills the mailbox.

usage: peer_poplib.py fetch PORT USER PASSWORD [parse]
       peer_poplib.py fill MAILDIR COUNT SIZE
"""
import email
import os
import poplib
import sys

if sys.argv[1] == "fill":
    maildir, count, size = sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    for sub in ("cur", "new", "tmp"):
        os.makedirs(os.path.join(maildir, sub), exist_ok=True)
    for i in range(count):
        head = ("From: Reader %d <reader%d@example.net>\r\nTo: news@example.org\r\n"
                "Subject: Message %d\r\nDate: Tue, 8 Dec 2026 14:05:09 +0100\r\n\r\n" % (i, i, i))
        lines = [head]
        used = len(head)
        n = 0
        while used < size:
            line = ("." if n % 50 == 0 else "") + ("line %d of message %d " % (n, i)).ljust(72, "x") + "\r\n"
            lines.append(line)
            used += len(line)
            n += 1
        with open(os.path.join(maildir, "new", "%d.bench" % i), "w") as f:
            f.write("".join(lines))
    sys.exit(0)

port, user, password = int(sys.argv[2]), sys.argv[3], sys.argv[4]
parse = sys.argv[5:] == ["parse"]
pop = poplib.POP3("127.0.0.1", port)
pop.user(user)
pop.pass_(password)
count, _ = pop.stat()
total = 0
for n in range(1, count + 1):
    _, lines, octets = pop.retr(n)
    if parse:
        # Into a message object, as the program fills one per message.
        email.message_from_bytes(b"\r\n".join(lines))
    total += octets
pop.quit()
print("pop", count, total)
