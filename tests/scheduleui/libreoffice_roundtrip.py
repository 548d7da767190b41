#!/usr/bin/env python3
"""A building's workbook as LibreOffice Calc writes it (three sheets with
Chinese names, formulas, a merged cell, column widths, a comment, a coloured
cell), one width typed and saved in the 梁表 window, read back by
LibreOffice: the other sheets equal cell for cell (values and formulas),
widths, colour, comment and merge kept, the edit there, the formulas beside
the schedule intact and computed again.
Usage: libreoffice_roundtrip.py EDIT_IN_WINDOW BUILDING.fods   (prints "N passed, N failed")"""
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

edit, fods = sys.argv[1], sys.argv[2]
NS = {
    'office': 'urn:oasis:names:tc:opendocument:xmlns:office:1.0',
    'style': 'urn:oasis:names:tc:opendocument:xmlns:style:1.0',
    'table': 'urn:oasis:names:tc:opendocument:xmlns:table:1.0',
    'text': 'urn:oasis:names:tc:opendocument:xmlns:text:1.0',
    'fo': 'urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0',
}


def q(prefix, name):
    return '{%s}%s' % (NS[prefix], name)


tmp = tempfile.mkdtemp()
profile = 'file://' + os.path.join(tmp, 'profile')
# LibreOffice recomputes a workbook's formulas on loading only when told to
# (Excel does when the workbook asks, as a saved one does): told to here,
# the formulas show what they compute from the saved values.
os.makedirs(os.path.join(tmp, 'profile', 'user'))
with open(os.path.join(tmp, 'profile', 'user', 'registrymodifications.xcu'), 'w') as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<oor:items xmlns:oor="http://openoffice.org/2001/registry" '
            'xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
            '<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="OOXMLRecalcMode" oor:op="fuse">'
            '<value>0</value></prop></item></oor:items>\n')


def convert(path, to, outdir):
    os.makedirs(outdir, exist_ok=True)
    subprocess.run(['soffice', '-env:UserInstallation=' + profile, '--headless', '--convert-to', to,
                    '--outdir', outdir, path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=240)
    out = os.path.join(outdir, os.path.splitext(os.path.basename(path))[0] + '.' + to)
    return out if os.path.exists(out) else None


def sheets(path):
    """name -> {'cells': {(row, col): (type, value, formula, colour, span, note)}, 'widths': [...]}"""
    root = ET.parse(path).getroot()
    colours, widths = {}, {}
    for s in root.iter(q('style', 'style')):
        name = s.get(q('style', 'name'))
        cell = s.find(q('style', 'table-cell-properties'))
        if cell is not None and cell.get(q('fo', 'background-color')):
            colours[name] = cell.get(q('fo', 'background-color'))
        column = s.find(q('style', 'table-column-properties'))
        if column is not None:
            widths[name] = column.get(q('style', 'column-width'))
    found = {}
    for table in root.iter(q('table', 'table')):
        cells, cols = {}, []
        for col in table.iter(q('table', 'table-column')):
            repeat = min(int(col.get(q('table', 'number-columns-repeated'), '1')), 16)
            cols += [widths.get(col.get(q('table', 'style-name')))] * repeat
        r = 0
        for row in table.iter(q('table', 'table-row')):
            repeat = int(row.get(q('table', 'number-rows-repeated'), '1'))
            c = 0
            for cell in row:
                if cell.tag not in (q('table', 'table-cell'), q('table', 'covered-table-cell')):
                    continue
                span = int(cell.get(q('table', 'number-columns-repeated'), '1'))
                text = ''.join(p.text or '' for p in cell.findall(q('text', 'p')))
                note = cell.find(q('office', 'annotation'))
                value = (cell.get(q('office', 'value-type')), cell.get(q('office', 'value')) or text,
                         cell.get(q('table', 'formula')), colours.get(cell.get(q('table', 'style-name'))),
                         cell.get(q('table', 'number-columns-spanned')),
                         ''.join(p.text or '' for p in note.iter(q('text', 'p'))) if note is not None else None)
                if any(v for v in value):
                    for k in range(min(span, 64)):
                        cells[(r, c + k)] = value
                c += span
            r += min(repeat, 1000)
        found[table.get(q('table', 'name'))] = {'cells': cells, 'widths': cols[:8]}
    return found


passed = failed = 0


def check(what, ok, detail=''):
    global passed, failed
    if ok:
        passed += 1
        print('PASS: ' + what)
    else:
        failed += 1
        print('FAIL: ' + what + (' (%s)' % (detail,) if detail else ''))


try:
    source = shutil.copy(fods, os.path.join(tmp, 'building.fods'))
    book = convert(source, 'xlsx', os.path.join(tmp, 'made'))
    check('LibreOffice writes the workbook', book is not None)
    edited = os.path.join(tmp, 'edited', 'building.xlsx')
    os.makedirs(os.path.dirname(edited))
    shutil.copy(book, edited)
    run = subprocess.run([edit, edited, '0', 'BeamWidth', '260'], capture_output=True, text=True, timeout=120)
    check('the window saves into the workbook', run.returncode == 0, run.stderr[-500:])
    with zipfile.ZipFile(edited) as z:
        check('the workbook asks Excel to compute its formulas again', b'fullCalcOnLoad="1"' in z.read('xl/workbook.xml'))
    before = sheets(convert(book, 'fods', os.path.join(tmp, 'before')))
    read = convert(edited, 'fods', os.path.join(tmp, 'after'))
    check('LibreOffice reads the saved workbook', read is not None)
    after = sheets(read)
    check('every sheet is there, in order', list(after) == list(before), list(after))
    for name in ('二层', '说明'):
        b, a = before[name], after[name]
        # A formula reading the edited floor computes again; its text and every other cell stay.
        same = {k: v for k, v in b['cells'].items() if not (name == '说明' and k == (0, 1))}
        check(name + ': every cell and formula as it was',
              all(a['cells'].get(k) == v for k, v in same.items()) and len(a['cells']) == len(b['cells']),
              set(a['cells'].items()) ^ set(b['cells'].items()))
        check(name + ': column widths kept', a['widths'] == b['widths'], (a['widths'], b['widths']))
    b, a = before['一层'], after['一层']
    last = max(c for (_, c) in b['cells'])
    unchanged = {k: v for k, v in b['cells'].items() if k != (1, 1) and k not in ((1, 4), )}
    check('一层: every cell it did not change as it was (formulas, comment, merge)',
          all(a['cells'].get(k) == v for k, v in unchanged.items()),
          [(k, v, a['cells'].get(k)) for k, v in unchanged.items() if a['cells'].get(k) != v])
    check('一层: the edit is there, in its yellow cell', a['cells'].get((1, 1), ())[:2] == ('float', '260') and
          a['cells'].get((1, 1), ())[3] == b['cells'][(1, 1)][3], a['cells'].get((1, 1)))
    formula = a['cells'].get((1, 4), ())
    check('一层: the formula beside the schedule is kept and computed again',
          formula[2:3] == (b['cells'][(1, 4)][2],) and formula[1] == '760', formula)
    captions = [v[1] for (r, c), v in sorted(a['cells'].items()) if r == 0 and c > last]
    check('一层: the loads are written beside, past the user\'s columns', any('梁自重' in t for t in captions), captions)
    check('一层: column widths kept', a['widths'][:last + 1] == b['widths'][:last + 1], (a['widths'], b['widths']))
    total = after['说明']['cells'].get((0, 1), ())
    check('说明: the sum over the edited floor computes again', total[1:3] == ('510', before['说明']['cells'][(0, 1)][2]),
          total)
finally:
    shutil.rmtree(tmp, ignore_errors=True)
print('%d passed, %d failed' % (passed, failed))
sys.exit(0 if failed == 0 else 1)
