#!/usr/bin/python3
"""Verifies the DKIM signatures of messages with dkimpy, the public key handed
in place of DNS, and reads each message with Python's email package.

  dkim_verify.py rsa|ed25519 PUBLIC-KEY.der SELECTOR DOMAIN FILE...

Prints a JSON list, one object per file: "verified" (dkimpy's answer),
"asked" (the DNS names dkimpy asked for) and "defects" (what the email
package found wrong in any header or part).
"""
import base64
import email
import email.policy
import json
import sys

import dkim


def main():
    kind, der_path, selector, domain = sys.argv[1:5]
    with open(der_path, "rb") as f:
        der = f.read()
    # An Ed25519 record holds the bare 32-byte key (RFC 8463 4), an RSA
    # record the whole SubjectPublicKeyInfo.
    key = der[-32:] if kind == "ed25519" else der
    record = b"v=DKIM1; k=" + kind.encode() + b"; p=" + base64.b64encode(key)
    expected = (selector + "._domainkey." + domain + ".").encode()
    results = []
    for path in sys.argv[5:]:
        asked = []

        def dns(name, timeout=5):
            asked.append(name.decode())
            return record if name == expected else None

        with open(path, "rb") as f:
            data = f.read()
        try:
            verified = bool(dkim.DKIM(data).verify(dnsfunc=dns))
        except dkim.DKIMException as e:
            verified = False
            asked.append("error: " + str(e))
        msg = email.message_from_bytes(data, policy=email.policy.default)
        defects = [type(d).__name__ for part in msg.walk() for d in part.defects]
        for part in msg.walk():
            for _, value in part.items():
                defects += [type(d).__name__ for d in getattr(value, "defects", ())]
        results.append({"verified": verified, "asked": asked, "defects": defects})
    print(json.dumps(results))


main()
