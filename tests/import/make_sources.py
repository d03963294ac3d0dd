#!/usr/bin/python3
"""Writes the import sources the tests read and that are not kept as files:
workbooks and a spreadsheet with the cases that matter (shared and inline
strings, numbers, dates, empty cells kept in place, line breaks) and vCards of
the three versions.

usage: make_sources.py OUTDIR
"""
import datetime
import os
import sys
import zipfile

out = sys.argv[1]


def people_xlsx():
    import openpyxl
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "Clients"
    sheet.append(["Nom", "Prénom", "Email", "Né le", "Solde", "Actif", "Notes"])
    sheet.append(["O'Neil", "Ann", "o'neil@example.org", datetime.date(1970, 5, 20), 12.5, True, "two\nlines"])
    sheet.append(["Durand", None, "d@example.org", datetime.datetime(2001, 2, 3, 4, 5, 6), 3, False, None])
    sheet.append([None, None, None, None, None, None, None])
    sheet.append(["Zoé", "Émile", None, None, -0.25, None, "last"])
    second = book.create_sheet("Vide")
    second["A1"] = "seule"
    book.save(os.path.join(out, "people.xlsx"))


def inline_xlsx():
    """A workbook as some programs write it: inline strings, no shared strings,
    no styles, cells without references."""
    parts = {
        "[Content_Types].xml": '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
        '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
        "</Types>",
        "_rels/.rels": '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>'
        "</Relationships>",
        "xl/workbook.xml": '<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
        'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>'
        '<sheet name="Feuille 1" sheetId="1" r:id="rId7"/></sheets></workbook>',
        "xl/_rels/workbook.xml.rels": '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId7" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>'
        "</Relationships>",
        "xl/worksheets/sheet1.xml": '<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>'
        '<row><c t="inlineStr"><is><t>Name</t></is></c><c t="inlineStr"><is><r><t>E-</t></r><r><t>mail</t></r></is></c></row>'
        '<row><c t="inlineStr"><is><t xml:space="preserve"> Léa </t></is></c><c t="str"><v>lea@example.org</v></c></row>'
        '<row r="4"><c r="B4" t="inlineStr"><is><t>only b</t></is></c></row>'
        "</sheetData></worksheet>",
    }
    with zipfile.ZipFile(os.path.join(out, "inline.xlsx"), "w") as z:
        for name, text in parts.items():
            z.writestr(name, text)


def people_ods():
    content = """<?xml version="1.0" encoding="UTF-8"?>
<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 office:version="1.2"><office:body><office:spreadsheet>
<table:table table:name="Adresses">
 <table:table-column table:number-columns-repeated="4"/>
 <table:table-row>
  <table:table-cell office:value-type="string"><text:p>Nom</text:p></table:table-cell>
  <table:table-cell office:value-type="string"><text:p>Email</text:p></table:table-cell>
  <table:table-cell office:value-type="string"><text:p>Depuis</text:p></table:table-cell>
  <table:table-cell office:value-type="string"><text:p>Note</text:p></table:table-cell>
 </table:table-row>
 <table:table-row>
  <table:table-cell office:value-type="string"><text:p>D<text:span>upont</text:span></text:p></table:table-cell>
  <table:table-cell table:number-columns-repeated="1"/>
  <table:table-cell office:value-type="date" office:date-value="2019-03-04"><text:p>04/03/19</text:p></table:table-cell>
  <table:table-cell office:value-type="string"><text:p>a<text:s text:c="2"/>b</text:p><text:p>c<text:tab/>d<text:line-break/>e</text:p></table:table-cell>
 </table:table-row>
 <table:table-row table:number-rows-repeated="2"><table:table-cell table:number-columns-repeated="1024"/></table:table-row>
 <table:table-row>
  <table:table-cell office:value-type="float" office:value="1234.5"><text:p>1 234,50</text:p></table:table-cell>
  <table:table-cell office:value-type="boolean" office:boolean-value="true"><text:p>VRAI</text:p></table:table-cell>
  <table:table-cell office:value-type="time" office:time-value="PT13H05M00S"><text:p>13:05</text:p></table:table-cell>
  <table:table-cell office:value-type="percentage" office:value="0.5"><text:p>50 %</text:p></table:table-cell>
 </table:table-row>
 <table:table-row table:number-rows-repeated="1048570"><table:table-cell table:number-columns-repeated="1024"/></table:table-row>
</table:table>
<table:table table:name="Deux"><table:table-row><table:table-cell table:number-columns-repeated="2" office:value-type="string"><text:p>x</text:p></table:table-cell></table:table-row></table:table>
</office:spreadsheet></office:body></office:document-content>"""
    with zipfile.ZipFile(os.path.join(out, "people.ods"), "w") as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.spreadsheet")
        z.writestr("content.xml", content)


def people_vcf():
    cards = (
        # 2.1: bare type parameters, quoted-printable with a soft line break, a charset.
        b"BEGIN:VCARD\r\nVERSION:2.1\r\nN:Dupont;Jean;;M.;\r\nFN:Jean Dupont\r\n"
        b"EMAIL;INTERNET;WORK:jean@example.org\r\nEMAIL;INTERNET;HOME:j.dupont@example.net\r\n"
        b"NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:Tr=E8s bon client,=0D=0Aappeler le =\r\nmatin\r\n"
        b"ORG:Dupont & Fils;Ventes\r\nEND:VCARD\r\n"
        # 3.0: folded line, escapes, grouped property, address parts, a photo left out.
        b"BEGIN:VCARD\r\nVERSION:3.0\r\nN:O'Neil;Ann;;;\r\nFN:Ann O'Neil\r\n"
        b"EMAIL;TYPE=INTERNET,WORK,pref:o'neil@example.org\r\n"
        b"item1.ADR;TYPE=WORK:;;12 rue des Lilas\\, b\xc3\xa2t. B;Paris;;75011;France\r\n"
        b"NOTE:une note\\, longue\\nsur deux lignes qui est pli\r\n \xc3\xa9e ici\r\n"
        b"PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQ==\r\nEND:VCARD\r\n"
        # 4.0: two e-mail addresses of one type, a URL.
        b"BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Zo\xc3\xa9 Martin\r\nN:Martin;Zo\xc3\xa9;;;\r\n"
        b"EMAIL;TYPE=work:zoe@example.org\r\nEMAIL;TYPE=work:zm@example.org\r\nURL:https://example.org/zoe\r\nEND:VCARD\r\n"
    )
    with open(os.path.join(out, "people.vcf"), "wb") as f:
        f.write(cards)


def people_wab():
    """An address-book file laid out as the reader expects it: the header with
    its six table descriptors, an index table of (id, record offset) with one
    free slot, and records of a 32-byte header followed by (tag, size, data)
    properties; a multi-valued one holds a count and (size, data) per value."""
    import struct

    def prop(tag, data):
        return struct.pack("<II", tag, len(data)) + data

    def s8(text):
        return text.encode("cp1252") + b"\0"

    def u16(text):
        return text.encode("utf-16-le") + b"\0\0"

    def long(v):
        return struct.pack("<i", v)

    def multi(values):
        return struct.pack("<I", len(values)) + b"".join(struct.pack("<I", len(v)) + v for v in values)

    entries = [
        [prop(0x0FFE0003, long(6)), prop(0x3001001E, s8("Jean Dupont")), prop(0x3003001E, s8("jean@example.org")),
         prop(0x3A06001F, u16("Jean")), prop(0x3A11001F, u16("Dupont")), prop(0x3A08001E, s8("01 02")),
         prop(0x3A2A001E, s8("75011")), prop(0x6001001E, s8("not a known property")),
         prop(0x0FFF0102, b"\x01\x00\x00\x00"), prop(0x3A56101E, multi([s8("a@x.org"), s8("b@x.org")])),
         prop(0x3A40000B, struct.pack("<H", 1) + b"\0\0")],
        [prop(0x0FFE0003, long(8)), prop(0x3001001E, s8("Liste"))],
        [prop(0x0FFE0003, long(6)), prop(0x3001001E, s8("Ann O'Neil")), prop(0x3003001E, s8("o'neil@example.org")),
         prop(0x3A1C001E, s8("06")), prop(0x3A16001E, s8("ACME Société"))],
    ]
    header_size = 0x18 + 6 * 16
    index_offset = header_size
    slots = len(entries) + 1
    records = b""
    index = b""
    offset = index_offset + slots * 8
    for i, props in enumerate(entries):
        body = b"".join(props)
        record = struct.pack("<IIIIIIII", 1, i + 1, 0, 0, len(props), 0, len(body), 0) + body
        index += struct.pack("<II", i + 1, offset + len(records))
        records += record
        if i == 0:
            index += struct.pack("<II", 0, 0)  # a free slot
    head = bytes([0x9C, 0xCB, 0xCB, 0x8D, 0x13, 0x75, 0xD2, 0x11, 0x91, 0x58, 0x00, 0xC0, 0x4F, 0x79, 0x56, 0xA4])
    head += struct.pack("<II", len(entries), 0)
    head += struct.pack("<IIII", 0xFA0, 8, index_offset, slots)
    for _ in range(5):
        head += struct.pack("<IIII", 0x84D0, 68, 0, 0)
    with open(os.path.join(out, "people.wab"), "wb") as f:
        f.write(head + index + records)


people_xlsx()
inline_xlsx()
people_wab()
people_ods()
people_vcf()
