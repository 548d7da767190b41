"""Prints the first sheet of an .xlsx as lines of tab-separated cells, each
cell written as n:VALUE (a number) or s:TEXT, read straight from the sheet
XML, so that a test sees what Excel would load. Then a line 'frozen:ROW,COL'
for the frozen pane, when there is one."""
import re
import sys
import zipfile
import xml.etree.ElementTree as ET

NS = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}


def column_number(ref):
    letters = re.match(r"[A-Z]+", ref).group(0)
    n = 0
    for ch in letters:
        n = n * 26 + ord(ch) - ord("A") + 1
    return n - 1


def main(path):
    with zipfile.ZipFile(path) as book:
        shared = []
        if "xl/sharedStrings.xml" in book.namelist():
            for si in ET.fromstring(book.read("xl/sharedStrings.xml")).findall("m:si", NS):
                shared.append("".join(t.text or "" for t in si.iter("{%s}t" % NS["m"])))
        sheet = ET.fromstring(book.read("xl/worksheets/sheet1.xml"))
    out = []
    for row in sheet.find("m:sheetData", NS).findall("m:row", NS):
        cells = {}
        for c in row.findall("m:c", NS):
            kind = c.get("t")
            if kind == "s":
                cells[column_number(c.get("r"))] = "s:" + shared[int(c.find("m:v", NS).text)]
            elif kind == "inlineStr":
                cells[column_number(c.get("r"))] = "s:" + "".join(t.text or "" for t in c.iter("{%s}t" % NS["m"]))
            elif kind == "str":
                cells[column_number(c.get("r"))] = "s:" + (c.find("m:v", NS).text or "")
            else:
                cells[column_number(c.get("r"))] = "n:" + c.find("m:v", NS).text
        width = max(cells) + 1 if cells else 0
        out.append("\t".join(cells.get(i, "") for i in range(width)))
    pane = sheet.find("m:sheetViews/m:sheetView/m:pane", NS)
    if pane is not None and pane.get("state") == "frozen":
        out.append("frozen:%s,%s" % (pane.get("ySplit", "0"), pane.get("xSplit", "0")))
    sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))


main(sys.argv[1])
