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

    # Bulk mail: the unsubscription headers, the text alternative and a DKIM
    # signature that dkimpy verifies with the public key handed to it.
    key = os.path.join(tmp, "news.pem")
    public = os.path.join(tmp, "news.der")
    subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out", key], check=True, capture_output=True)
    subprocess.run(["openssl", "pkey", "-in", key, "-pubout", "-outform", "DER", "-out", public], check=True,
                   capture_output=True)
    page = write("page.html", b'<p>Read <a href="https://example.org/news">the news</a>.</p>\n')
    mailto = "mailto:inscription@example.org?subject=DESABONNE%20a@example.org"
    bulk = common + ["--html", page, "--text-alternative", "--list-unsubscribe", mailto,
                     "--list-unsubscribe", "https://example.org/u?e=a", "--dkim-key", key,
                     "--dkim-selector", "news", "--dkim-domain", "example.org"]
    run = compose(bulk)
    check(f"bulk: exit status ({run.stderr!r})", run.returncode, 0)
    if run.returncode == 0:
        lines = [line[1:] if line.startswith(b"..") else line for line in run.stdout.split(b"\r\n")]
        eml = write("bulk.eml", b"\r\n".join(lines))
        read = mailpeek.composed(eml)
        check("bulk: defects", read["defects"], [])
        check("bulk: List-Unsubscribe", read["list_unsubscribe"], f"<{mailto}>, <https://example.org/u?e=a>")
        check("bulk: List-Unsubscribe-Post", read["list_unsubscribe_post"], "List-Unsubscribe=One-Click")
        check("bulk: Message-Id", read["message_id"].endswith("@example.org>"), True)
        check("bulk: parts", [leaf["content_type"] for leaf in read["leaves"]], ["text/plain", "text/html"])
        check("bulk: text alternative", read["leaves"][0].get("text", "").strip(),
              "Read the news <https://example.org/news>.")
        verify = subprocess.run(["/usr/bin/python3", os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                                  "dkim_verify.py"),
                                 "ed25519", public, "news", "example.org", eml], capture_output=True, timeout=60)
        check("bulk: signature verified", b'"verified": true' in verify.stdout, True)

    for name, args in [
        ("DKIM without a selector", common + ["--text", text, "--dkim-key", key, "--dkim-domain", "example.org"]),
        ("DKIM key that cannot be read", common + ["--text", text, "--dkim-key", os.path.join(tmp, "none.pem"),
                                                   "--dkim-selector", "news", "--dkim-domain", "example.org"]),
        ("DKIM key that is no key", common + ["--text", text, "--dkim-key", text,
                                              "--dkim-selector", "news", "--dkim-domain", "example.org"]),
        ("text alternative of a text body", common + ["--text", text, "--text-alternative"]),
        ("no sender", ["--to", "a@b.c", "--subject", "s", "--text", text]),
        ("both bodies", common + ["--text", text, "--html", html]),
        ("missing attachment", common + ["--text", text, "--attach", os.path.join(tmp, "none.pdf")]),
        ("sender without @", ["--from", "nobody", "--to", "a@b.c", "--subject", "s", "--text", text]),
        ("unknown option", common + ["--text", text, "--colour", "red"]),
        ("javascript: unsubscription", common + ["--text", text, "--list-unsubscribe", "javascript:alert(1)"]),
        ("empty unsubscription", common + ["--text", text, "--list-unsubscribe", ""]),
        ("unsubscription longer than a header line",
         common + ["--text", text, "--list-unsubscribe", "https://example.org/" + "u" * 980]),
        ("DKIM key that is a device", common + ["--text", text, "--dkim-key", "/dev/zero",
                                                "--dkim-selector", "news", "--dkim-domain", "example.org"]),
    ]:
        run = compose(args)
        check(f"{name}: exit status", run.returncode, 1)
        check(f"{name}: nothing printed", run.stdout, b"")
        check(f"{name}: one error line", run.stderr.count(b"\n"), 1)

for failure in failures:
    print("FAIL:", failure)
print(f"{'FAILED' if failures else 'PASSED'}: kirvane-cli mail compose")
sys.exit(1 if failures else 0)
