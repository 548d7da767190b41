#!/usr/bin/env python3
"""Writes a small Excel workbook the way other programs do: two sheets (the
schedule second), shared strings with rich-text runs and phonetic runs, an
inline string, a formula string, numbers as stored (not the shortest text),
a skipped row and an _x000D_ escape. Usage: make_workbook.py OUT.xlsx"""
import sys
import zipfile

def book(path, sheet_xml, shared=None):
    z = zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED)
    z.writestr('[Content_Types].xml', '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>')
    z.writestr('xl/workbook.xml', '<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="说明" sheetId="2" r:id="rId2"/><sheet name="二层" sheetId="1" r:id="rId1"/></sheets></workbook>')
    z.writestr('xl/_rels/workbook.xml.rels', '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="x" Target="/xl/worksheets/notes.xml"/></Relationships>')
    z.writestr('xl/worksheets/notes.xml', '<worksheet><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>注意</t></is></c></row></sheetData></worksheet>')
    z.writestr('xl/worksheets/sheet1.xml', sheet_xml)
    if shared: z.writestr('xl/sharedStrings.xml', shared)
    z.close()
shared = '<sst><si><t>梁号</t></si><si><r><t>梁宽度</t></r><r><t>(mm)</t></r><rPh><t>リョウ</t></rPh></si><si><t>KL&amp;1</t></si><si><t xml:space="preserve">框架梁_x000D_2</t></si></sst>'
sheet = ('<worksheet><sheetData>'
  '<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="inlineStr"><is><t>梁长度(mm)</t></is></c><c r="D1" t="str"><v>DoorWidth</v></c></row>'
  '<row r="2"><c r="A2" t="s"><v>2</v></c><c r="B2"><v>200</v></c><c r="C2"><v>3600.0000000000005</v></c><c r="D2"><v>900</v></c></row>'
  '<row r="4"><c r="A4" t="s"><v>3</v></c><c r="C4"><v>4.2E3</v></c></row>'
  '</sheetData></worksheet>')
book(sys.argv[1], sheet, shared)
