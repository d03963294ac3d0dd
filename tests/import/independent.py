#!/usr/bin/python3
"""Reads an import source with tools that share no code with Kirvane and prints
its tables as JSON: {"tables": [{"name", "columns", "rows"}]}, every value a
string, rows cut or padded to the number of columns.

usage: independent.py csv PATH ENCODING DELIMITER
       independent.py dbase PATH ENCODING
       independent.py access PATH
       independent.py excel PATH
       independent.py xlsx PATH
"""
import csv
import io
import json
import subprocess
import sys


def fit(row, n):
    row = list(row)[:n]
    return row + [""] * (n - len(row))


def table(name, records):
    records = [r for r in records if r]
    if not records:
        return {"name": name, "columns": [], "rows": []}
    columns = list(records[0])
    return {"name": name, "columns": columns, "rows": [fit(r, len(columns)) for r in records[1:]]}


def read_csv(path, encoding, delimiter):
    import os
    with open(path, encoding=encoding, newline="") as f:
        records = list(csv.reader(f, delimiter="\t" if delimiter == "tab" else delimiter))
    name = os.path.splitext(os.path.basename(path))[0] + "#csv"
    return [table(name, records)]


def read_access(path):
    names = subprocess.run(["mdb-tables", "-1", path], check=True, capture_output=True, text=True).stdout.split("\n")
    tables = []
    for name in [n for n in names if n]:
        # Decoded here: text mode would turn a CR inside a value into a LF.
        out = subprocess.run(["mdb-export", "-T", "%Y-%m-%d %H:%M:%S", "-b", "strip", path, name],
                             check=True, capture_output=True).stdout.decode("utf-8")
        tables.append(table(name, list(csv.reader(io.StringIO(out, newline="")))))
    return tables


def read_dbase(path, encoding):
    """Character fields as dbfread reads them (stripped); other fields as None,
    which the test passes over."""
    import os
    import dbfread
    t = dbfread.DBF(path, encoding=encoding, char_decode_errors="strict", ignore_missing_memofile=True,
                    raw=True)
    columns = list(t.field_names)
    types = {f.name: f.type for f in t.fields}
    rows = []
    for record in t:
        rows.append([record[c].decode(encoding).strip(" \0") if types[c] == "C" else None for c in columns])
    name = os.path.splitext(os.path.basename(path))[0]
    return [{"name": name, "columns": columns, "rows": rows}]


def number_text(v):
    """A number as the shortest text that reads back the same, no exponent."""
    from decimal import Decimal
    if isinstance(v, bool):
        return "TRUE" if v else "FALSE"
    if isinstance(v, int) or float(v).is_integer():
        return str(int(v))
    return format(Decimal(repr(float(v))), "f")


def date_text(d):
    import datetime
    if isinstance(d, datetime.datetime):
        if d.time() == datetime.time(0):
            return d.date().isoformat()
        return d.strftime("%Y-%m-%d %H:%M:%S")
    if isinstance(d, datetime.time):
        return d.strftime("%H:%M:%S")
    return d.isoformat()


def grid_table(name, grid):
    while grid and all(not v for v in grid[-1]):
        grid.pop()
    while grid and all(not v for v in grid[0]):
        grid.pop(0)
    while grid and all(len(r) == 0 or not r[-1] for r in grid) and any(grid):
        grid = [r[:-1] for r in grid]
    if not grid:
        return {"name": name, "columns": [], "rows": []}
    return {"name": name, "columns": grid[0], "rows": [fit(r, len(grid[0])) for r in grid[1:]]}


def read_excel(path):
    import datetime
    import xlrd
    book = xlrd.open_workbook(path)
    tables = []
    for sheet in book.sheets():
        grid = []
        for r in range(sheet.nrows):
            row = []
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_TEXT:
                    row.append(cell.value)
                elif cell.ctype == xlrd.XL_CELL_NUMBER:
                    row.append(number_text(cell.value))
                elif cell.ctype == xlrd.XL_CELL_DATE:
                    t = xlrd.xldate_as_tuple(cell.value, book.datemode)
                    if t[:3] == (0, 0, 0):
                        row.append(date_text(datetime.time(*t[3:])))
                    else:
                        row.append(date_text(datetime.datetime(*t)))
                elif cell.ctype == xlrd.XL_CELL_BOOLEAN:
                    row.append(None)  # freexl gives the stored number
                else:
                    row.append("")
            grid.append(row)
        tables.append(grid_table(sheet.name, grid))
    return tables


def read_lotus(path):
    import re
    out = subprocess.run(["wks2csv", path], check=True, capture_output=True).stdout.decode("utf-8")
    records = [r for r in csv.reader(io.StringIO(out, newline="")) if r][1:]  # its own Col1,Col2... line
    # wks2csv writes dates with a two-digit year; those cells are not compared.
    date = re.compile(r"^\d\d/\d\d/\d\d$")
    records = [[None if date.match(v) else v for v in r] for r in records]
    return [grid_table("Sheet1", records)]


def read_xlsx(path):
    import openpyxl
    import datetime
    book = openpyxl.load_workbook(path, data_only=True)

    def text(v):
        if v is None:
            return ""
        if isinstance(v, (bool, int, float)):
            return number_text(v)
        if isinstance(v, (datetime.date, datetime.time)):
            return date_text(v)
        return str(v)

    return [grid_table(sheet.title, [[text(v) for v in row] for row in sheet.iter_rows(values_only=True)])
            for sheet in book.worksheets]


def main():
    kind, path = sys.argv[1], sys.argv[2]
    if kind == "csv":
        tables = read_csv(path, sys.argv[3], sys.argv[4])
    elif kind == "dbase":
        tables = read_dbase(path, sys.argv[3])
    elif kind == "excel":
        tables = read_excel(path)
    elif kind == "lotus":
        tables = read_lotus(path)
    elif kind == "access":
        tables = read_access(path)
    elif kind == "xlsx":
        tables = read_xlsx(path)
    else:
        sys.exit("unknown kind " + kind)
    json.dump({"tables": tables}, sys.stdout, ensure_ascii=False)


main()
