"""Prints one JSON object per message of a maildir (new/), read with Python's
email package: recipient, subject and plain body, in file-name order."""

import email
import email.policy
import json
import os
import sys

folder = os.path.join(sys.argv[1], "new")
for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
    with open(os.path.join(folder, name), "rb") as f:
        msg = email.message_from_binary_file(f, policy=email.policy.default)
    part = msg.get_body(preferencelist=("plain", "html"))
    body = part.get_content() if part is not None else ""
    attachments = [p.get_filename() for p in msg.iter_attachments()]
    print(json.dumps({"to": msg["X-RcptTo"], "subject": str(msg["Subject"]), "body": body,
                      "attachments": attachments}))
