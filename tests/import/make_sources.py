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


def workbook(name, sheet_data, shared=None, dimension=None):
    """A one-sheet workbook: sheet_data is the XML inside <sheetData>, shared
    the text of xl/sharedStrings.xml (None: no such part)."""
    ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
    dim = '<dimension ref="%s"/>' % dimension if dimension else ""
    parts = {
        "xl/workbook.xml": '<?xml version="1.0"?><workbook %s '
        'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>'
        '<sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>' % ns,
        "xl/_rels/workbook.xml.rels": '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>'
        "</Relationships>",
        "xl/worksheets/sheet1.xml": '<?xml version="1.0"?><worksheet %s>%s<sheetData>%s</sheetData></worksheet>' % (ns, dim, sheet_data),
    }
    if shared is not None:
        parts["xl/sharedStrings.xml"] = shared
    with zipfile.ZipFile(os.path.join(out, name), "w", zipfile.ZIP_DEFLATED) as z:
        for part, text in parts.items():
            z.writestr(part, text)


def spreadsheet(name, table):
    """A one-table OpenDocument spreadsheet: table is the XML inside <table:table>."""
    content = ('<?xml version="1.0" encoding="UTF-8"?><office:document-content '
               'xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
               'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
               'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body><office:spreadsheet>'
               '<table:table table:name="T">%s</table:table></office:spreadsheet></office:body></office:document-content>' % table)
    with zipfile.ZipFile(os.path.join(out, name), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.spreadsheet")
        z.writestr("content.xml", content)


def sheet_faults():
    """Small workbooks and spreadsheets that crafted or damaged files are made of."""
    def cell(text, repeat=None):
        rep = ' table:number-columns-repeated="%d"' % repeat if repeat else ""
        return '<table:table-cell office:value-type="string"%s><text:p>%s</text:p></table:table-cell>' % (rep, text)

    def empty(repeat):
        return '<table:table-cell table:number-columns-repeated="%d"/>' % repeat

    def row(cells, repeat=None):
        rep = ' table:number-rows-repeated="%d"' % repeat if repeat else ""
        return "<table:table-row%s>%s</table:table-row>" % (rep, cells)

    spreadsheet("repeat_bomb.ods", row(cell("x", 999999999), 999999999))
    spreadsheet("rows_past_limit.ods", row(cell("a")) + row(cell("b"), 1048576))
    spreadsheet("repeats_in_place.ods",
                row(cell("Nom") + empty(2) + cell("Email") + empty(16000))
                + row(cell("A") + empty(2) + cell("a@x.org"))
                + row(cell("B", 2) + empty(1) + cell("b@x.org"), 2)
                + row(empty(16384), 1048570))
    sst = ('<?xml version="1.0"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
           '<si><t>Nom</t></si><si><t>one_x000D__x000A_two</t></si><si><t>_x005F_x000D_ kept</t></si><si><t>a_x00e9_b _xZZZZ_</t></si></sst>')
    workbook("escapes.xlsx",
             '<row r="1"><c r="A1" t="s"><v>0</v></c></row><row r="2"><c r="A2" t="s"><v>1</v></c></row>'
             '<row r="3"><c r="A3" t="s"><v>2</v></c></row><row r="4"><c r="A4" t="s"><v>3</v></c></row>'
             '<row r="5"><c r="A5" t="inlineStr"><is><t>tab_x0009_here</t></is></c></row>', sst)
    workbook("damaged_strings.xlsx", '<row r="1"><c r="A1" t="s"><v>0</v></c></row><row r="2"><c r="A2" t="s"><v>1</v></c></row>',
             '<?xml version="1.0"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>Nom</t></si><si><t>Du')
    workbook("string_past_list.xlsx", '<row r="1"><c r="A1" t="s"><v>0</v></c></row><row r="2"><c r="A2" t="s"><v>7</v></c></row>',
             '<?xml version="1.0"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>Nom</t></si></sst>')
    workbook("dimension_past_limit.xlsx", '<row r="1"><c r="A1" t="inlineStr"><is><t>Nom</t></is></c></row>',
             dimension="A1:XFE1048577")
    workbook("row_past_limit.xlsx", '<row r="1"><c r="A1" t="inlineStr"><is><t>Nom</t></is></c></row>'
             '<row r="1048577"><c r="A1048577" t="inlineStr"><is><t>far</t></is></c></row>')
    workbook("column_past_limit.xlsx", '<row r="1"><c r="A1" t="inlineStr"><is><t>Nom</t></is></c>'
             '<c r="AAAA1" t="inlineStr"><is><t>far</t></is></c></row>')
    def text(ref, value):
        return '<c r="%s" t="inlineStr"><is><t>%s</t></is></c>' % (ref, value)
    workbook("gaps.xlsx", '<row r="2">%s%s</row><row r="4">%s</row><row r="5">%s%s</row>'
             % (text("A2", "Nom"), text("C2", "Email"), text("A4", "A"), text("B5", "b"), text("D5", "d")))
    workbook("rows_out_of_order.xlsx", '<row r="1">%s%s</row><row r="3">%s%s</row><row r="2">%s%s</row>'
             % (text("A1", "Nom"), text("B1", "Email"), text("A3", "C"), text("B3", "c@x.org"),
                text("A2", "B"), text("B2", "b@x.org")))
    many = "".join('<row r="%d"><c r="XFD%d" t="inlineStr"><is><t>x</t></is></c></row>' % (r, r) for r in range(1, 400))
    workbook("wide_rows.xlsx", many)
    # A part larger than a package's parts may be (written as a stored run of
    # spaces inside a valid sheet, so only its size is wrong).
    workbook("big_part.xlsx", '<row r="1"><c r="A1" t="s"><v>0</v></c></row>')
    with zipfile.ZipFile(os.path.join(out, "big_part.xlsx"), "a", zipfile.ZIP_DEFLATED) as z:
        z.writestr("xl/sharedStrings.xml", " " * (257 * 1024 * 1024))


def dbf(name, version, fields, records, backlink=False):
    """A dBase table: fields are (name, type, width, flags), records lists of
    field bytes already padded to their width."""
    import struct
    record_length = 1 + sum(f[2] for f in fields)
    header_length = 32 + 32 * len(fields) + 1 + (263 if backlink else 0)
    head = struct.pack("<B3sIHH16sBB2s", version, b"\x7a\x01\x01", len(records), header_length, record_length,
                       b"", 0, 0x03, b"")
    offset = 1
    for fname, ftype, width, flags in fields:
        head += struct.pack("<11scIBBB13s", fname.encode(), ftype.encode(), offset, width, 0, flags, b"")
        offset += width
    head += b"\x0d" + (b"\0" * 263 if backlink else b"")
    body = b"".join(b" " + b"".join(r) for r in records)
    with open(os.path.join(out, name), "wb") as f:
        f.write(head + body + b"\x1a")


def dbase_faults():
    # Varchar: "Ann" in a field of 10 with its length in the last byte and
    # its bit set in _NullFlags; "tenletters" fills its field, bit clear. A
    # null phone has its null bit (after the varchar's length bit) set.
    fields = [("NAME", "V", 10, 0), ("PHONE", "C", 4, 2), ("_NullFlags", "0", 1, 5)]
    dbf("varchar.dbf", 0x30, fields, [
        [b"Ann" + b"\0" * 6 + b"\x03", b"0102", bytes([0b01])],
        [b"tenletters", b"    ", bytes([0b10])],
    ], backlink=True)
    dbf("unknown_type.dbf", 0x03, [("NAME", "C", 4, 0), ("WHEN", "@", 8, 0)], [[b"Ann ", b"\0" * 8]])


def compound_file(name, stream_name, stream):
    """An OLE2 compound file of 512-byte sectors holding one stream: the FAT
    in sector 0, the directory in sector 1, the stream from sector 2 on
    (padded to the 4096 bytes below which streams go to the mini stream)."""
    import struct
    stream = stream + b"\0" * max(0, 4096 - len(stream))
    stream += b"\0" * (-len(stream) % 512)
    n = len(stream) // 512
    assert n <= 126
    end, free, fatsect, nostream = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD, 0xFFFFFFFF
    fat = [fatsect, end] + [3 + i for i in range(n - 1)] + [end]
    fat += [free] * (128 - len(fat))
    header = b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 16
    header += struct.pack("<HHHHH6sIIIIIIIII", 0x3E, 3, 0xFFFE, 9, 6, b"", 0, 1, 1, 0, 4096, end, 0, end, 0)
    header += struct.pack("<109I", 0, *([free] * 108))

    def entry(name, kind, child, start, size):
        encoded = name.encode("utf-16-le") + b"\0\0" if name else b""
        return (encoded.ljust(64, b"\0") + struct.pack("<HBBIII16sI8s8sIII", len(encoded), kind, 1, nostream, nostream,
                                                      child, b"", 0, b"", b"", start, size, 0))
    directory = entry("Root Entry", 5, 1, end, 0) + entry(stream_name, 2, nostream, 2, len(stream))
    directory += entry("", 0, nostream, 0, 0) * 2
    with open(os.path.join(out, name), "wb") as f:
        f.write(header + struct.pack("<128I", *fat) + directory + stream)


def biff_record(kind, data):
    import struct
    return struct.pack("<HH", kind, len(data)) + data


def workbook_stream(version, globals_records, sheet_name, cells):
    """A workbook stream of one sheet: BOF, the globals, the sheet's entry,
    EOF, then the sheet's BOF, cells and EOF."""
    import struct
    bof = lambda kind: biff_record(0x0809, struct.pack("<HHHH", version, kind, 0x0DBB, 0x07CC)
                                   + (struct.pack("<II", 0, 0x06) if version == 0x0600 else b""))
    if version == 0x0600:
        name = struct.pack("<BB", len(sheet_name), 0) + sheet_name.encode("latin-1")
    else:
        name = struct.pack("<B", len(sheet_name)) + sheet_name.encode("latin-1")
    head = bof(0x0005) + b"".join(globals_records)
    boundsheet_size = 4 + 6 + len(name)
    sheet_at = len(head) + boundsheet_size + 4
    book = head + biff_record(0x0085, struct.pack("<IBB", sheet_at, 0, 0) + name) + biff_record(0x000A, b"")
    rows = 1 + max(c[0] for c in cells)
    if version == 0x0600:
        dims = struct.pack("<IIHHH", 0, rows, 0, 4, 0)
    else:
        dims = struct.pack("<HHHHH", 0, rows, 0, 4, 0)
    sheet = bof(0x0010) + biff_record(0x0200, dims) + b"".join(c[1] for c in cells) + biff_record(0x000A, b"")
    return book + sheet


def excel_faults():
    import struct
    # Excel 97: formula cells whose cached result is text (a FORMULA record
    # flagged 0xFFFF, then a STRING record), beside a numeric one.
    def label8(row, col, text):
        return (row, biff_record(0x0204, struct.pack("<HHHHB", row, col, 15, len(text), 0) + text.encode("latin-1")))

    def formula_text(row, col, text):
        result = struct.pack("<BBBBBBH", 0, 0, 0, 0, 0, 0, 0xFFFF)
        tokens = struct.pack("<BH", 0x17, 0)  # a string constant, as good as any formula for a cached result
        rec = biff_record(0x0006, struct.pack("<HHH", row, col, 15) + result + struct.pack("<HIH", 0, 0, len(tokens)) + tokens)
        wide = any(ord(c) > 255 for c in text)
        chars = text.encode("utf-16-le") if wide else text.encode("latin-1")
        return (row, rec + biff_record(0x0207, struct.pack("<HB", len(text), 1 if wide else 0) + chars))

    def formula_number(row, col, value):
        tokens = struct.pack("<BH", 0x1E, int(value))
        return (row, biff_record(0x0006, struct.pack("<HHHdHIH", row, col, 15, value, 0, 0, len(tokens)) + tokens))

    globals8 = [biff_record(0x0042, struct.pack("<H", 1200))]
    compound_file("formula_text.xls", "Workbook", workbook_stream(0x0600, globals8, "Feuil1", [
        label8(0, 0, "Nom"), label8(0, 1, "Total"),
        formula_text(1, 0, "Dupont & Fils"), formula_number(1, 1, 3.0),
        formula_text(2, 0, "Zo\u00e9 \u03a9"), formula_number(2, 1, 4.0),
    ]))

    # Excel 5: text in LABEL and RSTRING records, in the workbook's code page.
    def label5(row, col, text, kind=0x0204):
        data = struct.pack("<HHHH", row, col, 15, len(text)) + text.encode("cp1252")
        if kind == 0x00D6:
            data += struct.pack("<B", 1) + struct.pack("<BB", 0, 0)  # one formatting run
        return (row, biff_record(kind, data))

    globals5 = [biff_record(0x0042, struct.pack("<H", 1252))]
    compound_file("rstring_biff5.xls", "Book", workbook_stream(0x0500, globals5, "Feuil1", [
        label5(0, 0, "Nom"), label5(0, 1, "Ville"),
        label5(1, 0, "L\u00e9a", 0x00D6), label5(1, 1, "Orl\u00e9ans"),
        label5(2, 0, "\u0152dipe \u20ac", 0x00D6), label5(2, 1, "Paris", 0x00D6),
    ]))


people_xlsx()
inline_xlsx()
excel_faults()
dbase_faults()
sheet_faults()
people_wab()
people_ods()
people_vcf()
