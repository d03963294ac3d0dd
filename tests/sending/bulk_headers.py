"""Prints one JSON object per message of a maildir (new/), read with Python's
email package (policy default): the unsubscription headers, the Message-Id,
the content types of every part in order, the text of the text/plain and
text/html parts, and the defects found in any header or part.

    bulk_headers.py MAILDIR
"""
import email
import email.policy
import json
import os
import sys

folder = os.path.join(sys.argv[1], "new")
for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
    with open(os.path.join(folder, name), "rb") as f:
        msg = email.message_from_binary_file(f, policy=email.policy.default)
    defects = [type(d).__name__ for part in msg.walk() for d in part.defects]
    for part in msg.walk():
        for _, value in part.items():
            defects += [type(d).__name__ for d in getattr(value, "defects", ())]
    plain = msg.get_body(preferencelist=("plain",))
    html = msg.get_body(preferencelist=("html",))
    print(json.dumps({
        "to": str(msg["To"]),
        "list_unsubscribe": str(msg["List-Unsubscribe"] or ""),
        "list_unsubscribe_post": str(msg["List-Unsubscribe-Post"] or ""),
        "message_id": str(msg["Message-Id"] or ""),
        "types": [p.get_content_type() for p in msg.walk()],
        "plain": plain.get_content() if plain is not None else "",
        "html": html.get_content() if html is not None else "",
        "defects": defects,
    }))
