#!/usr/bin/python3
"""Writes the Excel workbooks of the bill-of-quantities import and reads exported ones.

  workbooks.py template OUT        the template workbook shipped in Data/
  workbooks.py sheets OUT JSON     a workbook described by JSON (a file path, or "-" for stdin):
                                   [{"name": "工程量清单", "rows": [["细目编号", ...], ["101-1", 12.5, null]]}]
                                   strings become text cells, numbers number cells, true/false
                                   boolean cells, null blank cells; OUT ending in .xlsx is written
                                   with openpyxl, any other with xlwt (Excel 97-2003)
  workbooks.py large N OUT         the heading row and N generated lines, shuffled (benchmarks)
  workbooks.py revised N OUT       an owner's revision of that bill: quantities and names changed,
                                   lines dropped and added (benchmarks)
  workbooks.py damage IN SEED OUT  IN with 20 bytes past the file header overwritten at random
  workbooks.py zip OUT JSON        a zip archive of the entries {"name": "text", ...} (hand-made .xlsx)
  workbooks.py bomb OUT MB [KIND]  a small .xlsx whose sheet expands to MB megabytes: one text
                                   (KIND "text", the default) or markup alone ("markup")
  workbooks.py read FILE           an .xlsx as openpyxl sees it, as JSON on stdout: per sheet the
                                   cells' values and types, number formats, frozen cell, print
                                   area, paper size and column widths

damaged.xls beside this script is "damage" of the template with seed 495: FreeXL 1.0.6 crashes
on it, so it shows that a damaged workbook cannot take the workbench down.
"""
import json
import random
import sys

import xlwt

HEADINGS = ["细目编号", "细目名称", "单位", "合同单价", "合同数量"]

# Example rows of the template: one chapter line, the insurance lines and a few work items.
# Prices stay empty so that importing the template never puts invented prices into a bid.
TEMPLATE_ROWS = [
    ["100", "总则", None, None, None],
    ["101-1", "保险费", None, None, None],
    ["101-1-a", "按合同条款规定，提供建筑工程一切险", "总额", None, 1],
    ["101-1-b", "按合同条款规定，提供第三者责任险", "总额", None, 1],
    ["102-1", "竣工文件", "总额", None, 1],
    ["102-3", "暂定金", "暂定金总额", None, 1],
    ["200", "路基", None, None, None],
    ["202-1-a", "清理现场", "m2", None, 125000],
    ["203-1-a", "挖土方", "m3", None, 86500],
    ["204-1-b", "利用土方填筑", "m3", None, 64200.5],
]


def write_xlsx(path, sheets):
    import openpyxl
    book = openpyxl.Workbook()
    book.remove(book.active)
    for sheet in sheets:
        ws = book.create_sheet(sheet["name"])
        for r, row in enumerate(sheet["rows"], start=1):
            for c, value in enumerate(row, start=1):
                if value is not None:
                    ws.cell(row=r, column=c, value=value)
    book.save(path)


def write(path, sheets):
    if path.endswith(".xlsx"):
        write_xlsx(path, sheets)
        return
    book = xlwt.Workbook(encoding="utf-8")
    for sheet in sheets:
        ws = book.add_sheet(sheet["name"])
        for r, row in enumerate(sheet["rows"]):
            for c, value in enumerate(row):
                if value is None:
                    continue
                ws.write(r, c, value)
    book.save(path)


def template(path):
    book = xlwt.Workbook(encoding="utf-8")
    ws = book.add_sheet("工程量清单")
    bold = xlwt.easyxf("font: bold on; align: horiz center")
    widths = [12, 40, 12, 12, 12]
    for c, heading in enumerate(HEADINGS):
        ws.write(0, c, heading, bold)
        ws.col(c).width = widths[c] * 256
    for r, row in enumerate(TEMPLATE_ROWS, start=1):
        for c, value in enumerate(row):
            if value is not None:
                ws.write(r, c, value)
    book.save(path)


def generated(count):
    rnd = random.Random(7)
    rows = []
    for chapter in range(1, 8):
        for section in range(1, 40):
            for k in range(1, 5):
                for part in "abcdefghij":
                    if len(rows) < count:
                        rows.append(["%d%02d-%d-%s" % (chapter, section, k, part), "第%d章细目%d" % (chapter, len(rows)),
                                     "m3", round(rnd.uniform(1, 500), 2), round(rnd.uniform(1, 90000), 3)])
    if len(rows) < count:
        raise SystemExit("at most %d generated lines" % len(rows))
    return rnd, rows


def large(count, path):
    rnd, rows = generated(count)
    rnd.shuffle(rows)
    write(path, [{"name": "工程量清单", "rows": [HEADINGS] + rows}])


def revised(count, path):
    """The owner's revision of the large bill: every 20th quantity changed, every 100th line
    dropped, every 50th renamed, and one new line per 100."""
    rnd, rows = generated(count)
    out = []
    for i, row in enumerate(rows):
        if i % 100 == 99:
            continue
        row = list(row)
        row[3] = None  # an owner's sheet carries no prices
        if i % 20 == 0:
            row[4] = round(row[4] * 1.1, 3)
        if i % 50 == 0:
            row[1] = row[1] + "（修订）"
        out.append(row)
    for k in range(count // 100):
        out.append(["8%02d-%d-a" % (k // 10, k % 10 + 1), "新增细目%d" % k, "m3", None, 100 + k])
    rnd.shuffle(out)
    write(path, [{"name": "工程量清单", "rows": [HEADINGS] + out}])


def damage(source, seed, path):
    rnd = random.Random(seed)
    data = bytearray(open(source, "rb").read())
    for _ in range(20):
        data[rnd.randrange(512, len(data))] = rnd.randrange(256)
    open(path, "wb").write(data)


def write_zip(path, entries):
    import zipfile
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in entries.items():
            z.writestr(name, text.encode("utf-8"))


MINIMAL_PARTS = {
    "[Content_Types].xml": '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>',
    "_rels/.rels": '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" '
                   'Target="xl/workbook.xml"/></Relationships>',
    "xl/workbook.xml": '<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
                       'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>'
                       '<sheet name="工程量清单" sheetId="1" r:id="rId1"/></sheets></workbook>',
    "xl/_rels/workbook.xml.rels": '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                                  '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" '
                                  'Target="worksheets/sheet1.xml"/></Relationships>',
}


def bomb(path, megabytes, kind="text"):
    import zipfile
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in MINIMAL_PARTS.items():
            z.writestr(name, text)
        with z.open("xl/worksheets/sheet1.xml", "w") as sheet:
            sheet.write(b'<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
                        b'<sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>')
            # Comments are markup the reader passes over: the sheet grows without a long text.
            chunk = b"x" * (1 << 20) if kind == "text" else b"<!---->" * ((1 << 20) // 7)
            if kind != "text":
                sheet.write(b"x</t></is></c>")
            for _ in range(megabytes):
                sheet.write(chunk)
            sheet.write(b"</row></sheetData></worksheet>" if kind != "text" else b"</t></is></c></row></sheetData></worksheet>")


def read(path):
    import openpyxl
    book = openpyxl.load_workbook(path)
    out = {"sheets": []}
    for ws in book.worksheets:
        cells = []
        for row in ws.iter_rows():
            cells.append([{"value": c.value, "type": type(c.value).__name__, "format": c.number_format} for c in row])
        widths = {k: v.width for k, v in ws.column_dimensions.items()}
        out["sheets"].append({"name": ws.title, "cells": cells, "freeze": ws.freeze_panes,
                              "printArea": ws.print_area if isinstance(ws.print_area, str) else ",".join(ws.print_area or []),
                              "paper": ws.page_setup.paperSize, "titleRows": ws.print_title_rows, "widths": widths})
    json.dump(out, sys.stdout, ensure_ascii=False)


def main(argv):
    if len(argv) == 3 and argv[1] == "template":
        template(argv[2])
    elif len(argv) == 4 and argv[1] == "sheets":
        source = sys.stdin if argv[3] == "-" else open(argv[3], encoding="utf-8")
        write(argv[2], json.load(source))
    elif len(argv) == 4 and argv[1] == "large":
        large(int(argv[2]), argv[3])
    elif len(argv) == 4 and argv[1] == "revised":
        revised(int(argv[2]), argv[3])
    elif len(argv) == 5 and argv[1] == "damage":
        damage(argv[2], int(argv[3]), argv[4])
    elif len(argv) == 4 and argv[1] == "zip":
        source = sys.stdin if argv[3] == "-" else open(argv[3], encoding="utf-8")
        write_zip(argv[2], json.load(source))
    elif len(argv) in (4, 5) and argv[1] == "bomb":
        bomb(argv[2], int(argv[3]), argv[4] if len(argv) == 5 else "text")
    elif len(argv) == 3 and argv[1] == "read":
        read(argv[2])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
