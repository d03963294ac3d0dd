# Writes a message archive as one made on Windows is laid out, with
# Python's own ZIP support: deflated entries, Windows-1252 parts with CR LF
# and backslash paths. Usage: make_archive.py OUT.MNS
import sys
import zipfile


def short(s, room):
    b = s.encode('cp1252')
    return bytes([len(b)]) + b + bytes(room - len(b))


def crlf(*lines):
    return ''.join(line + '\r\n' for line in lines).encode('cp1252')


head = short("Lettre d'été", 255) + short('42', 15) + short('Clients', 255) + b'\x01' + b'3'
assert len(head) == 530
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('envoi.MNS', head)
    z.writestr('envoi1.dat', crlf('<html><title>T</title>', '<img src="logo.png"> Prix : 5 €', '</html>'))
    z.writestr('envoi2.dat', crlf('Clients', 'Amis'))
    z.writestr('envoi3.dat', crlf('C:\\docs\\tarif.pdf'))
    z.writestr('envoi4.dat', crlf('Exclus'))
    z.writestr('envoi5.dat', crlf('C:\\pages\\logo.png'))
    z.writestr('envoi6.dat', crlf('<img src="cid:logo.png">'))
    z.writestr('envoi7.dat', crlf('<img src="logo.png">'))
    z.writestr('logo.png', b'\x89PNG fake')
