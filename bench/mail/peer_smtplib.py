#!/usr/bin/python3
"""The peer of the SMTP benchmarks: Python's smtplib over one connection,
building each personalised message anew with the email package.

usage: peer_smtplib.py PORT COUNT text SIZE
       peer_smtplib.py PORT COUNT attach FILE IMAGE...
"""
import mimetypes
import os
import smtplib
import sys
from email.message import EmailMessage

port, count, mode = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
if mode == "text":
    size = int(sys.argv[4])
    lines = []
    used = 300
    while used < size:
        lines.append(chr(ord("a") + len(lines) % 26) * 70)
        used += 72
    body = "\n".join(lines) + "\n"
else:
    attachment = sys.argv[4]
    images = sys.argv[5:]
    # Files are read once, as a program would keep them; each message encodes them anew.
    blobs = {p: open(p, "rb").read() for p in [attachment] + images}
    html = "<html><body><p>Hello</p>" + "".join(
        '<img src="cid:%s">' % os.path.basename(p) for p in images) + "</body></html>"

server = smtplib.SMTP("127.0.0.1", port)
for i in range(count):
    msg = EmailMessage()
    msg["From"] = '"Newsletter" <news@example.org>'
    msg["To"] = "reader%d@example.net" % i
    msg["Subject"] = "News for reader %d" % i
    if mode == "text":
        msg.set_content("Dear reader %d,\n" % i + body)
    else:
        msg.set_content("Dear reader %d," % i)
        msg.add_alternative(html, subtype="html")
        related = msg.get_payload()[1]
        for p in images:
            maintype, subtype = (mimetypes.guess_type(p)[0] or "application/octet-stream").split("/")
            related.add_related(blobs[p], maintype=maintype, subtype=subtype,
                                cid="<%s>" % os.path.basename(p), filename=os.path.basename(p))
        maintype, subtype = (mimetypes.guess_type(attachment)[0] or "application/octet-stream").split("/")
        msg.add_attachment(blobs[attachment], maintype=maintype, subtype=subtype,
                           filename=os.path.basename(attachment))
    server.send_message(msg)
server.quit()
