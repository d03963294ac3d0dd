#!/usr/bin/python3
"""Writes the messages in this folder with Python's email package.

Run from this folder with Debian's /usr/bin/python3; the output is kept in the
repository so that the tests read the same bytes every time.
"""
import binascii
import email.policy
from email.message import EmailMessage
from email.mime.application import MIMEApplication
from email.mime.base import MIMEBase
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText

BINARY = bytes(range(256)) * 3 + b"\r\n.\r\n" + b"\x00" * 10
IMAGE = b"GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;"


def save(name, msg, policy=email.policy.SMTP):
    with open(name, "wb") as f:
        f.write(msg.as_bytes(policy=policy))


def alternative():
    m = EmailMessage()
    m["From"] = "Zoë Martin <zoe@example.org>"
    m["To"] = "list@example.org"
    m["Subject"] = "Inscription été: café crème"
    m.set_content("Bonjour,\nvoici l'été.\n.Une ligne avec un point.\n", charset="utf-8")
    m.add_alternative("<html><body><p>Bonjour, voici l'été.</p></body></html>\n", subtype="html")
    save("alternative.eml", m)


def nested():
    m = EmailMessage()
    m["From"] = "news@example.org"
    m["To"] = "a@example.org, b@example.org"
    m["Subject"] = "Rapport annuel"
    m.set_content("Le rapport est joint.\n")
    m.add_alternative("<p>Le rapport est joint.</p>\n", subtype="html")
    m.add_attachment(BINARY, maintype="application", subtype="pdf", filename="rapport-été.pdf")
    m.add_attachment(IMAGE, maintype="image", subtype="gif", filename="logo.gif")
    save("nested.eml", m)


def forwarded():
    inner = EmailMessage()
    inner["From"] = "orig@example.org"
    inner["To"] = "news@example.org"
    inner["Subject"] = "Original"
    inner.set_content("Texte du message transféré.\n")
    inner.add_attachment(b"inner attachment bytes\n", maintype="application", subtype="octet-stream",
                         filename="inner.bin")
    outer = EmailMessage()
    outer["From"] = "fwd@example.org"
    outer["To"] = "news@example.org"
    outer["Subject"] = "Fwd: Original"
    outer.set_content("Voir le message ci-dessous.\n")
    outer.add_attachment(inner)
    save("forwarded.eml", outer)


def quoted_printable_latin1():
    # compat32 keeps the encoded words of the Subject exactly as written here.
    text = ("Une très longue ligne " * 12).strip() + "\nDeuxième ligne = égalité\n"
    m = MIMEText(text, "plain", "iso-8859-1")
    m["From"] = "qp@example.org"
    m["To"] = "news@example.org"
    m["Subject"] = "=?iso-8859-1?q?Pr=E9sentation?= du =?iso-8859-15?q?prix_=A4?="
    save("qp-latin1.eml", m, email.policy.compat32.clone(linesep="\r\n"))


def base64_text():
    m = EmailMessage()
    m["From"] = "b64@example.org"
    m["To"] = "news@example.org"
    m["Subject"] = "Base64 – texte"
    m.set_content("Ligne une — «guillemets»\nLigne deux: 日本語\n", charset="utf-8", cte="base64")
    save("base64-text.eml", m)


def uuencoded():
    lines = ["Voici le fichier:", "", "begin 644 data.bin"]
    for i in range(0, len(BINARY), 45):
        lines.append(binascii.b2a_uu(BINARY[i:i + 45]).decode().rstrip("\n"))
    lines += ["`", "end", "", "Fin du message."]
    m = EmailMessage()
    m["From"] = "uu@example.org"
    m["To"] = "news@example.org"
    m["Subject"] = "Fichier uuencode"
    m.set_content("\n".join(lines) + "\n", cte="7bit")
    save("uuencode.eml", m)


def uuencoded_part():
    m = MIMEMultipart("mixed")
    m["From"] = "uu@example.org"
    m["To"] = "news@example.org"
    m["Subject"] = "Partie x-uuencode"
    m.attach(MIMEText("Le fichier suit.\n", "plain", "us-ascii"))
    part = MIMEBase("application", "octet-stream", name="table.bin")
    lines = ["begin 644 table.bin"]
    for i in range(0, len(BINARY), 45):
        lines.append(binascii.b2a_uu(BINARY[i:i + 45]).decode().rstrip("\n"))
    lines += ["`", "end", ""]
    part.set_payload("\n".join(lines))
    part["Content-Transfer-Encoding"] = "x-uuencode"
    m.attach(part)
    save("x-uuencode.eml", m, email.policy.compat32.clone(linesep="\r\n"))


def folded():
    m = EmailMessage()
    m["From"] = "\"Service, clients\" <service@example.org>"
    m["To"] = ", ".join(f"reader{i}@example.org" for i in range(8))
    m["CC"] = "Zoë <zoe@example.org>"
    m["Subject"] = "Une lettre avec un sujet très long qui doit être replié sur plusieurs lignes par l'écrivain"
    m.set_content("Corps.\n", charset="windows-1252", cte="8bit")
    save("folded.eml", m)


def windows1252_words():
    m = MIMEMultipart("mixed")
    m["From"] = "=?windows-1252?q?=80uro_Service?= <euro@example.org>"
    m["To"] = "news@example.org"
    m["Subject"] = "=?windows-1252?b?k1ByaXiUIGVuIA==?= =?windows-1252?q?=80uros?="
    m.attach(MIMEText("Prix en €.\n", "plain", "windows-1252"))
    part = MIMEBase("application", "octet-stream")
    part.set_payload(BINARY)
    email.encoders.encode_base64(part)
    part.add_header("Content-Disposition", "attachment", filename="prix.dat")
    m.attach(part)
    save("windows-1252.eml", m, email.policy.compat32.clone(linesep="\r\n"))


import email.encoders  # noqa: E402

alternative()
nested()
forwarded()
quoted_printable_latin1()
base64_text()
uuencoded()
uuencoded_part()
folded()
windows1252_words()
