#!/usr/bin/python3
"""kirvane-cli mail compose, read by Python's email package.

usage: cli_compose.py PATH-TO-kirvane-cli
"""
import base64
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mailpeek  # noqa: E402

CLI = sys.argv[1]
failures = []


def check(what, got, expected):
    if got != expected:
        failures.append(f"{what}: got {got!r}, expected {expected!r}")


def compose(args):
    return subprocess.run([CLI, "mail", "compose"] + args, capture_output=True, timeout=60)


with tempfile.TemporaryDirectory() as tmp:
    def write(name, data):
        path = os.path.join(tmp, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    text = write("body.txt", "Bonjour,\n.\nà bientôt – l'équipe\n".encode())
    html = write("body.html", b'<p>Bonjour</p><img src="cid:logo.gif">\n')
    logo = write("logo.gif", b"GIF89a" + bytes(range(256)))
    report = write("rapport été.pdf", bytes(range(256)) * 40 + b"\r\n.\r\n")
    common = ["--from", "news@example.org", "--name", "Zoë", "--to", "a@example.org, b@example.org",
              "--cc", "c@example.org", "--bcc", "hidden@example.org", "--subject", "Lettre d'été"]

    cases = [
        ("plain text with an attachment", common + ["--text", text, "--attach", report],
         "Bonjour,\n.\nà bientôt – l'équipe", [("rapport été.pdf", report)]),
        ("base64 text", common + ["--text", text, "--base64"], "Bonjour,\n.\nà bientôt – l'équipe", []),
        ("HTML with an image and an attachment", common + ["--html", html, "--embed", logo, "--attach", report],
         '<p>Bonjour</p><img src="cid:logo.gif">', [("logo.gif", logo), ("rapport été.pdf", report)]),
    ]
    for name, args, body, files in cases:
        run = compose(args)
        check(f"{name}: exit status ({run.stderr!r})", run.returncode, 0)
        if run.returncode != 0:
            continue
        # What the SMTP server would store: dot-stuffing undone.
        lines = [line[1:] if line.startswith(b"..") else line for line in run.stdout.split(b"\r\n")]
        eml = write("out.eml", b"\r\n".join(lines))
        read = mailpeek.composed(eml)
        check(f"{name}: defects", read["defects"], [])
        check(f"{name}: subject", read["subject"], "Lettre d'été")
        check(f"{name}: sender", (read["from_name"], read["from_address"]), ("Zoë", "news@example.org"))
        check(f"{name}: to", read["to"], ["a@example.org", "b@example.org"])
        check(f"{name}: cc", read["cc"], ["c@example.org"])
        check(f"{name}: no Bcc header", b"hidden@example.org" in run.stdout, False)
        check(f"{name}: unresolved cid", read["unresolved_cids"], [])
        leaves = read["leaves"]
        check(f"{name}: body", leaves[0].get("text", "").replace("\r\n", "\n").rstrip("\n"), body)
        check(f"{name}: parts", len(leaves), 1 + len(files))
        for leaf, (filename, path) in zip(leaves[1:], files):
            check(f"{name}: file name", leaf["filename"], filename)
            with open(path, "rb") as f:
                check(f"{name}: bytes of {filename}", base64.b64decode(leaf["data"]), f.read())

    for name, args in [
        ("no sender", ["--to", "a@b.c", "--subject", "s", "--text", text]),
        ("both bodies", common + ["--text", text, "--html", html]),
        ("missing attachment", common + ["--text", text, "--attach", os.path.join(tmp, "none.pdf")]),
        ("sender without @", ["--from", "nobody", "--to", "a@b.c", "--subject", "s", "--text", text]),
        ("unknown option", common + ["--text", text, "--colour", "red"]),
    ]:
        run = compose(args)
        check(f"{name}: exit status", run.returncode, 1)
        check(f"{name}: nothing printed", run.stdout, b"")
        check(f"{name}: one error line", run.stderr.count(b"\n"), 1)

for failure in failures:
    print("FAIL:", failure)
print(f"{'FAILED' if failures else 'PASSED'}: kirvane-cli mail compose")
sys.exit(1 if failures else 0)
