#!/usr/bin/python3
"""What Python's email package reads in a message, as JSON, for the mail tests.

  mailpeek.py composed FILE...   every leaf part of messages we composed
  mailpeek.py received FILE...   messages written by Python, seen the way our
                                 parser files them (text lines, attachments)

Files hold one message each, lines ending in LF or CR LF.
"""
import base64
import binascii
import email
import email.policy
import json
import re
import sys


def load(path):
    with open(path, "rb") as f:
        return email.message_from_bytes(f.read(), policy=email.policy.default)


def all_defects(msg):
    found = [type(d).__name__ for d in msg.defects]
    for part in msg.walk():
        found += [type(d).__name__ for d in part.defects]
        for key, value in part.items():
            found += [type(d).__name__ for d in getattr(value, "defects", ())]
    return found


def composed(path):
    msg = load(path)
    leaves = []
    body = None
    for part in msg.walk():
        if part.is_multipart():
            continue
        leaf = {
            "content_type": part.get_content_type(),
            "filename": part.get_filename(),
            "content_id": part.get("Content-Id"),
            "disposition": part.get_content_disposition(),
            "cte": part.get("Content-Transfer-Encoding"),
            "charset": part.get_content_charset(),
            "data": base64.b64encode(part.get_payload(decode=True) or b"").decode(),
        }
        if part.get_content_maintype() == "text" and part.get_filename() is None:
            leaf["text"] = part.get_content()
            # The HTML names the images; a text alternative before it does not.
            if body is None or part.get_content_type() == "text/html":
                body = leaf["text"]
        leaves.append(leaf)
    cids = {leaf["content_id"].strip("<> ") for leaf in leaves if leaf["content_id"]}
    refs = re.findall(r'cid:([^"\'\s>]+)', body or "")
    sender = msg["From"]
    return {
        "subject": str(msg["Subject"]),
        "from_name": sender.addresses[0].display_name if sender else None,
        "from_address": sender.addresses[0].addr_spec if sender else None,
        "to": [a.addr_spec for a in msg["To"].addresses] if msg["To"] else [],
        "cc": [a.addr_spec for a in msg["CC"].addresses] if msg["CC"] else [],
        "content_type": msg.get_content_type(),
        "message_id": str(msg["Message-Id"] or ""),
        "list_unsubscribe": str(msg["List-Unsubscribe"] or ""),
        "list_unsubscribe_post": str(msg["List-Unsubscribe-Post"] or ""),
        "leaves": leaves,
        "cid_refs": refs,
        "unresolved_cids": [r for r in refs if r not in cids],
        "defects": all_defects(msg),
    }


def clean_name(name):
    name = re.sub(r'[\\/:*?"<>|]', "", name)
    name = "".join(c for c in name if ord(c) >= 0x20 and ord(c) != 0x7F).strip()
    return name or "attachment"


def subject_name(subject, ctype):
    ext = {"text/html": ".html", "image/jpeg": ".jpeg", "image/gif": ".gif"}.get(ctype)
    if ext is None:
        return subject
    dot = subject.rfind(".")
    if dot > max(subject.rfind("\\"), subject.rfind("/"), subject.rfind(":")):
        subject = subject[:dot]
    return subject + ext


def normalised(data):
    return data.replace(b"\r\n", b"\n").rstrip(b"\n")


def uu_blocks(lines):
    """Splits uuencoded blocks out of text lines, as our parser does."""
    remaining, files = [], []
    i = 0
    while i < len(lines):
        line = lines[i]
        mode = line[6:9]
        if len(line) > 10 and line[:5].lower() == "begin" and mode.isdigit() and 0 < int(mode) < 777:
            name = line[10:74].strip()
            data = b""
            i += 1
            while i < len(lines) and lines[i].strip().lower() != "end":
                if lines[i]:
                    data += binascii.a2b_uu(lines[i])
                i += 1
            i += 1  # the "end" line leaves the text with its block
            files.append({"name": clean_name(name), "data": base64.b64encode(data).decode()})
            continue
        remaining.append(line)
        i += 1
    return remaining, files


def received(path):
    msg = load(path)
    subject = str(msg["Subject"] or "")
    text, files = [], []
    for part in msg.walk():
        if part.get_content_maintype() == "multipart" and not part.is_multipart():
            # No delimiter of its own was found (its parent's boundary took
            # them): Python keeps its text as the payload.
            text += (part.get_payload() or "").splitlines()
            continue
        if part.is_multipart() or part.get_content_type() == "message/rfc822":
            continue
        ctype = part.get_content_type()
        name = part.get_filename()
        cte = (part.get("Content-Transfer-Encoding") or "7bit").lower()
        if ctype.startswith("text/") and not name and ctype != "text/html":
            lines = part.get_content().splitlines()
            lines, uu = uu_blocks(lines)
            files += uu
            text += lines
            continue
        if not name and not ctype.startswith("text/") and cte not in ("base64", "quoted-printable", "x-uuencode"):
            text += part.get_content().splitlines()
            continue
        data = part.get_payload(decode=True) or b""
        if cte != "base64":
            data = normalised(data)
        files.append({
            "name": clean_name(name if name else subject_name(subject, ctype)),
            "data": base64.b64encode(data).decode(),
        })
    return {
        "subject": subject,
        "from": str(msg["From"] or ""),
        "text": [line for line in text if line.strip()],
        "files": files,
        "defects": all_defects(msg),
    }


def main():
    mode, paths = sys.argv[1], sys.argv[2:]
    look = composed if mode == "composed" else received
    json.dump([look(p) for p in paths], sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
