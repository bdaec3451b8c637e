#!/usr/bin/python3
"""Writes the Excel 97-2003 workbooks of the bill-of-quantities import.

  workbooks.py template OUT        the template workbook shipped in Data/
  workbooks.py sheets OUT JSON     a workbook described by JSON (a file path, or "-" for stdin):
                                   [{"name": "工程量清单", "rows": [["细目编号", ...], ["101-1", 12.5, null]]}]
                                   strings become text cells, numbers number cells, null blank cells
  workbooks.py large N OUT         the heading row and N generated lines, shuffled (benchmarks)
  workbooks.py damage IN SEED OUT  IN with 20 bytes past the file header overwritten at random

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


def write(path, sheets):
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


def large(count, path):
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
    rnd.shuffle(rows)
    write(path, [{"name": "工程量清单", "rows": [HEADINGS] + rows}])


def damage(source, seed, path):
    rnd = random.Random(seed)
    data = bytearray(open(source, "rb").read())
    for _ in range(20):
        data[rnd.randrange(512, len(data))] = rnd.randrange(256)
    open(path, "wb").write(data)


def main(argv):
    if len(argv) == 3 and argv[1] == "template":
        template(argv[2])
    elif len(argv) == 4 and argv[1] == "sheets":
        source = sys.stdin if argv[3] == "-" else open(argv[3], encoding="utf-8")
        write(argv[2], json.load(source))
    elif len(argv) == 4 and argv[1] == "large":
        large(int(argv[2]), argv[3])
    elif len(argv) == 5 and argv[1] == "damage":
        damage(argv[2], int(argv[3]), argv[4])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
