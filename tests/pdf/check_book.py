"""The PDF calculation book read the way a reader reads it (poppler-utils):
every computed beam has its own page whose text holds its mark and every
number of its text report, in order; the summary holds each row's results as
the CSV output has them, and each refused or failing row its message; pages
are numbered "第 N 页 共 M 页"; every font is embedded; and on a rendered
page the door and the window are as wide, in proportion to the wall, as the
inputs say.

Usage: check_book.py PATH-TO-quorvane-calc
Prints PASS/FAIL lines and "N passed, N failed" last.
"""
import csv
import os
import re
import subprocess
import sys
import tempfile
import time

calc = sys.argv[1]
passed = failed = 0


def check(description, ok, detail=""):
    global passed, failed
    if ok:
        passed += 1
        print("PASS: " + description)
    else:
        failed += 1
        print("FAIL: " + description + (" (" + detail + ")" if detail else ""))


def run(args, **kw):
    return subprocess.run(args, capture_output=True, **kw)


BEAM, DOOR, WINDOW = (150, 150, 150), (196, 140, 90), (120, 180, 230)  # the book's fills


def widest_run(image, color):
    """The widest horizontal run of one colour (within 12 per channel) on any pixel row of a .ppm."""
    with open(image, "rb") as f:
        data = f.read()
    header = data.split(b"\n", 3)
    width, height = map(int, header[1].split())
    pixels = header[3]
    best = 0
    for y in range(0, height, 2):
        row = pixels[y * width * 3:(y + 1) * width * 3]
        length = 0
        for x in range(width):
            r, g, b = row[3 * x], row[3 * x + 1], row[3 * x + 2]
            if abs(r - color[0]) <= 12 and abs(g - color[1]) <= 12 and abs(b - color[2]) <= 12:
                length += 1
                best = max(best, length)
            else:
                length = 0
    return best


def widest_pair(image, first, second):
    """The most pixels of two colours together on one pixel row: both openings' whole widths only when neither hides the other."""
    with open(image, "rb") as f:
        data = f.read()
    header = data.split(b"\n", 3)
    width, height = map(int, header[1].split())
    pixels = header[3]
    near = lambda r, g, b, c: abs(r - c[0]) <= 12 and abs(g - c[1]) <= 12 and abs(b - c[2]) <= 12
    best = 0
    for y in range(0, height, 2):
        row = pixels[y * width * 3:(y + 1) * width * 3]
        count = sum(1 for x in range(width) if near(row[3 * x], row[3 * x + 1], row[3 * x + 2], first) or
                    near(row[3 * x], row[3 * x + 1], row[3 * x + 2], second))
        best = max(best, count)
    return best


NUMBER = re.compile(r"-?(?:\d+\.?\d*|\.\d+)(?:[Ee][+-]?\d+)?")

# Beams of every kind: ordinary, no door or window, an absurd window, a wall
# lower than the beam, a refused text, a failing length, a long mark.
ROWS = [
    ("KL1", {"BeamWidth": "200", "BeamHeight": "500", "WallHeight": "3000", "DoorWidth": "900",
             "WindowWidth": "1500", "BeamLength": "3600"}),
    ("KL2", {"BeamWidth": "250", "BeamHeight": "600", "WallHeight": "3300", "DoorWidth": "0",
             "WindowWidth": "", "BeamLength": "4200", "ReductionRatio": "0.85"}),
    ("框架梁3", {"BeamWidth": "300", "BeamHeight": "700", "WallHeight": "2800", "DoorWidth": "1000",
              "WindowWidth": "100000", "BeamLength": "3000"}),
    ("KL4", {"BeamWidth": "200", "BeamHeight": "800", "WallHeight": "600", "DoorWidth": "900",
             "WindowWidth": "1200", "BeamLength": "5100"}),
    ("KL5", {"BeamWidth": "12a"}),
    ("KL6", {"BeamLength": "0"}),
    ("L7-很长的梁号-" + "甲" * 30, {"BeamWidth": "240", "BeamLength": "6000"}),
]
ROWS += [("B%d" % i, {"BeamWidth": str(200 + i % 5 * 50), "BeamLength": str(3000 + i * 30),
                      "DoorWidth": str(i % 3 * 450), "WindowWidth": str(i % 4 * 400)}) for i in range(8, 90)]
FIELDS = ["BeamWidth", "BeamHeight", "WallHeight", "DoorWidth", "WindowWidth", "BeamLength", "ReductionRatio"]

with tempfile.TemporaryDirectory() as tmp:
    schedule = os.path.join(tmp, "梁表.csv")
    with open(schedule, "w", encoding="utf-8", newline="") as f:
        w = csv.writer(f, lineterminator="\r\n")
        w.writerow(["Mark"] + FIELDS)
        for mark, texts in ROWS:
            w.writerow([mark] + [texts.get(k, {"BeamHeight": "500", "WallHeight": "3000", "DoorWidth": "0",
                                               "WindowWidth": "0", "BeamLength": "3600",
                                               "ReductionRatio": "1", "BeamWidth": "200"}[k]) for k in FIELDS])
    out, reports, book = (os.path.join(tmp, n) for n in ("结果.csv", "计算过程", "计算书.pdf"))
    env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")
    r = run([calc, "--csv", schedule, "-o", out, "--report-dir", reports, "--pdf", book,
             "--project", "某住宅楼", "--part", "三层", "--prepared-by", "张三", "--checked-by", "李四"], env=env)
    check("quorvane-calc --pdf exits 1 (two rows fail) and says nothing else",
          r.returncode == 1 and r.stderr == b"", "%d %r" % (r.returncode, r.stderr[:200]))

    with open(out, encoding="utf-8-sig", newline="") as f:
        output = list(csv.DictReader(f))
    pages = int(re.search(rb"Pages:\s+(\d+)", run(["pdfinfo", book]).stdout).group(1))
    texts = [run(["pdftotext", "-raw", "-f", str(p), "-l", str(p), book, "-"]).stdout.decode("utf-8")
             for p in range(1, pages + 1)]

    computed = [row for row in output if not row["Error"]]
    summary = [t for t in texts if "汇总" in t.split("\n")[0] or "汇总" in t[:200]]
    basis = texts[len(summary)] if len(texts) > len(summary) else ""
    check("pages: the summary's, the design basis, then one for each computed beam",
          pages == len(summary) + 1 + len(computed) and len(summary) >= 2 and "设计依据" in basis,
          "%d pages, %d summary, %d computed" % (pages, len(summary), len(computed)))
    check("the design basis names the standard, the formulas and each unit weight's source",
          "GB 50009-2012" in basis and "g1 = γc·b·h" in basis and "表A 第 6 项 钢筋混凝土" in basis, basis[:400])
    info = run(["pdfinfo", book]).stdout.decode()
    check("the document's properties name the book, its project, who prepared it and when",
          re.search(r"^Title:\s+梁上恒载计算书 某住宅楼$", info, re.M) is not None and
          re.search(r"^Author:\s+张三$", info, re.M) is not None and re.search(r"^CreationDate:\s+\S", info, re.M) is not None,
          info)
    numbered = all(re.search(r"第\s*%d\s*页\s*共\s*%d\s*页" % (i + 1, pages), t) for i, t in enumerate(texts))
    check("every page says 第 N 页 共 M 页", numbered)
    title = texts[0]
    check("the title block holds the project, part, preparer and checker",
          all(s in title for s in ("某住宅楼", "三层", "张三", "李四", "梁上恒载计算书")))

    # The summary: each row's results as the CSV has them, on its own line.
    lines = "\n".join(summary).split("\n")
    missing = []
    starts = {}
    for n, l in enumerate(lines):
        starts.setdefault(l.split(" ")[0], n)
    for i, row in enumerate(output):
        # From its number to the next row's (a long mark takes two lines of its cell).
        first, after = starts.get(str(i + 1)), starts.get(str(i + 2), len(lines))
        line = " ".join(lines[first:max(after, first + 1)]) if first is not None else None
        want = [row[k] for k in ("BeamSelfWeight", "MasonryWeight", "TotalDeadLoad", "CadInputLoad")]
        if row["Error"]:
            want = [row["Error"][:12]]
        if line is None or any(v not in line for v in want):
            missing.append("%d %s: %r" % (i + 1, row["Mark"], line))
    check("the summary shows each row's results, or its message, as the CSV output does", not missing,
          "; ".join(missing[:3]))

    # Each computed beam's page: its mark, and its report's numbers in order.
    beam_pages = texts[len(summary) + 1:]
    wrong = []
    report_files = sorted(os.listdir(reports))
    for row, page in zip(computed, beam_pages):
        name = next((n for n in report_files if n.startswith(row["Mark"][:20])), None)
        if row["Mark"] not in page.replace("\n", ""):
            wrong.append(row["Mark"] + ": mark missing")
            continue
        if name is None:
            wrong.append(row["Mark"] + ": no report file")
            continue
        with open(os.path.join(reports, name), encoding="utf-8-sig") as f:
            report = f.read().split("\n")
        # The same figures, in order: by value (the book adds a leading zero,
        # .2 reads 0.2, and writes a minus as an operator apart from it).
        figures = [abs(float(n)) for n in NUMBER.findall(page)]
        at = 0
        for line in report[:22]:  # the date line differs by the second
            for number in NUMBER.findall(line):
                found = next((k for k in range(at, len(figures)) if figures[k] == abs(float(number))), -1)
                if found < 0:
                    wrong.append("%s: %s of %r" % (row["Mark"], number, line.strip()))
                    break
                at = found + 1
    check("each beam's page holds its mark and every number of its text report, in order", not wrong,
          "; ".join(wrong[:3]))
    kl1 = beam_pages[0] if beam_pages else ""
    check("a formula reads with symbols, then numbers, then the result and its unit",
          "g1 = γc·b·h" in kl1 and "= 25×0.2×0.5 = 2.5 kN/m" in kl1, kl1[-900:])
    check("beam pages give every figure its leading zero and write kN, not KN",
          not any(re.search(r"(?<![\d.])\.\d", p) or "KN" in p for p in beam_pages))
    check("no page for a refused or failing row",
          not any("梁号 KL5" in t or "梁号 KL6" in t for t in beam_pages))

    fonts = run(["pdffonts", book]).stdout.decode().split("\n")[2:]
    fonts = [f for f in fonts if f.strip()]
    check("every font is embedded", fonts and all(f.split()[-5] == "yes" for f in fonts), "\n".join(fonts))
    # The file as written, not as a reader repairs it (poppler rebuilds a
    # broken cross-reference table without a word): every object where the
    # table says, every stream whole; and the pages drawn, embedded font
    # and all, without a complaint.
    structure = run(["qpdf", "--check", book])
    check("the book's structure holds (qpdf --check)",
          structure.returncode == 0 and b"WARNING" not in structure.stdout + structure.stderr,
          (structure.stdout + structure.stderr).decode(errors="replace")[-400:])
    drawn = run(["pdftoppm", "-r", "40", "-f", "1", "-l", "4", book, os.path.join(tmp, "quiet")])
    check("a reader draws the pages and their font without a complaint", drawn.returncode == 0 and drawn.stderr == b"",
          drawn.stderr.decode(errors="replace")[:300])

    # KL1 rendered: the door's and the window's widths against the wall's.
    kl1 = len(summary) + 2
    run(["pdftoppm", "-r", "150", "-f", str(kl1), "-l", str(kl1), book, os.path.join(tmp, "kl1")])
    image = next(os.path.join(tmp, n) for n in os.listdir(tmp) if n.startswith("kl1") and n.endswith(".ppm"))
    beam, door, window = (widest_run(image, c) for c in (BEAM, DOOR, WINDOW))
    ok = beam > 100 and abs(door - beam * 900 / 3600) <= 2 and abs(window - beam * 1500 / 3600) <= 2
    check("KL1's door and window are drawn 900 and 1500 of 3600 wide", ok,
          "beam %d, door %d, window %d px" % (beam, door, window))

# A building: a workbook of two floors (and a notes sheet) with --sheet all
# gives one book, contents first, every beam listed with the page it is on,
# each floor's name in the header of its pages.
import zipfile
with tempfile.TemporaryDirectory() as tmp:
    book = os.path.join(tmp, "楼.xlsx")
    rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
    floors = [("说明", [["注意"]]), ("一层", [["梁号", "BeamLength"], ["KL1", "4500"], ["KL2", "0"], ["KL3", "3000"]]),
              ("二层", [["梁号", "BeamLength"], ["L1", "6000"]])]
    with zipfile.ZipFile(book, "w", zipfile.ZIP_DEFLATED) as z:
        sheets = rels = ""
        for i, (name, rows) in enumerate(floors, 1):
            sheets += '<sheet name="%s" r:id="s%d"/>' % (name, i)
            rels += '<Relationship Id="s%d" Type="%s/worksheet" Target="worksheets/sheet%d.xml"/>' % (i, rel, i)
            data = "".join('<row r="%d">%s</row>' % (r + 1, "".join(
                '<c t="inlineStr"><is><t>%s</t></is></c>' % v for v in row)) for r, row in enumerate(rows))
            z.writestr("xl/worksheets/sheet%d.xml" % i, "<worksheet><sheetData>%s</sheetData></worksheet>" % data)
        z.writestr("xl/workbook.xml", '<workbook xmlns:r="%s"><sheets>%s</sheets></workbook>' % (rel, sheets))
        z.writestr("xl/_rels/workbook.xml.rels", "<Relationships>%s</Relationships>" % rels)
    pdf = os.path.join(tmp, "楼.pdf")
    result = run([calc, "--csv", book, "--sheet", "all", "--pdf", pdf, "-o", os.path.join(tmp, "loads.csv")])
    check("a building's book is written (one row fails: exit 1)", result.returncode == 1 and os.path.exists(pdf),
          result.stderr.decode(errors="replace"))
    pages = run(["pdftotext", "-layout", pdf, "-"]).stdout.decode().split("\f")[:-1] if os.path.exists(pdf) else []
    check("contents, each floor's summary, then a page per computed beam", len(pages) == 1 + 1 + 1 + 2 + 1 + 1,
          "%d pages" % len(pages))
    contents = pages[0] if pages else ""
    listed = dict(re.findall(r"^\s*(KL\d|L\d)\s.*?(\d+)\s*$", contents, re.M))
    on = {}
    for number, page in enumerate(pages, 1):
        m = re.search(r"(一层|二层)\s+梁号 (\S+)", page.splitlines()[0] if page.strip() else "")
        if m:
            on[m.group(2)] = (number, m.group(1))
    check("the contents list the floors and give each computed beam the page it is on",
          "目录" in contents and "一层" in contents and "二层" in contents and "说明" not in contents and
          listed == {k: str(v[0]) for k, v in on.items()}, "%s vs %s" % (listed, on))
    check("each beam page names its floor in the header", on.get("KL1", (0, ""))[1] == "一层" and
          on.get("L1", (0, ""))[1] == "二层", str(on))
    check("the failing beam is listed without a page", re.search(r"KL2\s+\(未计算", contents) is not None, contents)
    xml = run(["pdftohtml", "-xml", "-i", "-stdout", pdf]).stdout.decode() if os.path.exists(pdf) else ""
    outline = re.search(r"<outline>.*</outline>", xml, re.S)
    items = re.findall(r'<item page="(\d+)">([^<]*)</item>', outline.group(0) if outline else "")
    check("bookmarks: 目录, then each floor with its computed beams, each opening its page",
          [t for _, t in items] == ["目录", "设计依据", "一层", "KL1", "KL3", "二层", "L1"] and
          all(int(p) == on[t][0] for p, t in items if t in on), str(items))
    first = xml.split('<page number="2"')[0]
    links = dict(re.findall(r'<a href="[^"#]*#(\d+)">\s*(KL\d|L\d)\s*</a>', first))
    check("each beam in the contents links to its page", {v: int(k) for k, v in links.items()} ==
          {k: v[0] for k, v in on.items()}, "%s vs %s" % (links, on))
    # Each floor's summary is the contents of its beams: a row gives its page and links to it.
    summaries = [n for n, page in enumerate(pages, 1) if "汇总" in (page.splitlines()[0] if page.strip() else "")]
    shown, linked = {}, set()
    for n in summaries:
        shown.update(re.findall(r"^\s*\d+\s+(KL\d|L\d)\s.*\s(\d+)\s*$", pages[n - 1], re.M))
        chunk = xml.split('<page number="%d"' % n)[1].split("<page number=")[0] if '<page number="%d"' % n in xml else ""
        linked.update(int(t) for t in re.findall(r'<a href="[^"#]*#(\d+)"', chunk))
    check("each floor's summary gives each computed beam's page and links to it",
          {k: int(v) for k, v in shown.items()} == {k: v[0] for k, v in on.items()} and
          linked == {v[0] for v in on.values()}, "%s %s vs %s" % (shown, linked, on))


# Every number whole: over hostile rows (negative loads, a 16-digit ratio,
# exponents, 10^5 mm, a very long mark, a long project name) the words a
# reader's tool finds on the summary page are each whole, none overlaps
# another, and none leaves the page.
with tempfile.TemporaryDirectory() as tmp:
    plain = {"BeamWidth": "200", "BeamHeight": "500", "WallHeight": "3000", "DoorWidth": "0", "WindowWidth": "0",
             "BeamLength": "3600", "ReductionRatio": "1"}
    hostile = [("KL1744", {"DoorWidth": "900", "WindowWidth": "3000"}),
               ("KL2", {"ReductionRatio": "0.6666666666666667", "BeamLength": "4200"}),
               ("KL3", {"BeamLength": "3.6E3", "BeamWidth": "2.5e2"}),
               ("KL4", {"BeamLength": "100000", "WallHeight": "100000", "BeamHeight": "100000"}),
               ("L5-很长的梁号-" + "甲" * 40, {"BeamLength": "6000"}),
               ("KL6", {"BeamWidth": "12a"}),
               ("KL7", {"WindowWidth": "100000"}),
               # Every input fifteen digits long: the columns are wider than the page.
               ("KL8", {"BeamWidth": "200.123456789012", "BeamHeight": "500.987654321098",
                        "WallHeight": "3000.12345678901", "BeamLength": "3600.12345678901",
                        "ReductionRatio": "0.987654321098765"})]
    # Enough beams for two-digit page numbers in the summary's page column.
    hostile += [("B%d" % i, {"BeamLength": str(3000 + i)}) for i in range(12)]
    schedule = os.path.join(tmp, "hostile.csv")
    with open(schedule, "w", encoding="utf-8", newline="") as f:
        f.write("Mark," + ",".join(plain) + "\n")
        for mark, given in hostile:
            f.write(mark + "," + ",".join(given.get(k, v) for k, v in plain.items()) + "\n")
    book = os.path.join(tmp, "hostile.pdf")
    out = os.path.join(tmp, "hostile-out.csv")
    run([calc, "--csv", schedule, "-o", out, "--pdf", book, "--project", "某某市某某区某某街道某某小区某某号楼某某单元改造工程设计项目第二标段"],
        env=dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8"))
    html = run(["pdftotext", "-f", "1", "-l", "1", "-bbox", book, "-"]).stdout.decode() if os.path.exists(book) else ""
    page = re.search(r'<page width="([\d.]+)" height="([\d.]+)"', html)
    words = [(float(a), float(b), float(c), float(d), w) for a, b, c, d, w in
             re.findall(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>', html)]
    with open(out, encoding="utf-8") as f:
        loads = [row for row in csv.DictReader(f)]
    wanted = {r[k] for r in loads for k in ("BeamSelfWeight", "MasonryWeight", "TotalDeadLoad", "CadInputLoad") if r[k]}
    wanted |= {"0.6666666666666667", "3.6E3", "2.5e2", "100000", "200.123456789012", "3600.12345678901"}
    pages = int(re.search(rb"Pages:\s+(\d+)", run(["pdfinfo", book]).stdout).group(1)) if page else 0
    wanted |= {str(p) for p in range(3, pages + 1)}  # each beam's page, in the page column
    found = {w[4] for w in words}
    check("the summary holds every hostile number whole, sign and all", page is not None and wanted <= found,
          " ".join(sorted(wanted - found)))
    check("some loads are negative (the case where a sign was lost)", any(n.startswith("-") for n in wanted))
    overlapping = []
    for i, a in enumerate(words):
        for b in words[i + 1:]:
            dx = min(a[2], b[2]) - max(a[0], b[0])
            dy = min(a[3], b[3]) - max(a[1], b[1])
            if dx > 0.3 and dy > 0.3:
                overlapping.append(a[4] + " / " + b[4])
    check("no two words of the summary page overlap", page is not None and not overlapping, "; ".join(overlapping[:5]))
    width, height = (float(page.group(1)), float(page.group(2))) if page else (0, 0)
    outside = [w[4] for w in words if w[0] < 0 or w[1] < 0 or w[2] > width or w[3] > height]
    check("no word leaves the page", page is not None and not outside, " ".join(outside))
    # The long mark's own page: its heading (mark and row) stays on the page, whole.
    long_page = next((p for p in range(3, pages + 1) if "甲甲甲" in run(
        ["pdftotext", "-f", str(p), "-l", str(p), "-layout", book, "-"]).stdout.decode()), 0)
    html = run(["pdftotext", "-f", str(long_page), "-l", str(long_page), "-bbox", book, "-"]).stdout.decode() if long_page else ""
    boxes = re.findall(r'<word xMin="([\d.]+)" yMin="[\d.]+" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>', html)
    check("a long mark's page heading stays on the page",
          boxes and all(float(b) <= width for _, b, _ in boxes) and "行)" in [w for _, _, w in boxes],
          " ".join(w for _, b, w in boxes if float(b) > width))
    # Exceptions first: the cover counts the beams to look at, and a beam's page says why.
    pages = run(["pdftotext", "-layout", book, "-"]).stdout.decode().split("\f") if os.path.exists(book) else [""]
    kl7 = next((p for p in pages if "KL7 (梁表第" in p), "")
    kl4 = next((p for p in pages if "KL4 (梁表第" in p), "")
    check("the cover counts the beams a checker should look at", re.search(r"需要核对 [1-9]\d* 根", pages[0]) is not None)
    check("a negative load's page says so under 需要核对",
          "需要核对" in kl7 and "-165.792 不大于零" in kl7 and "窗宽度 100000 大于梁长度" in kl7, kl7[-600:])
    check("an opening wider than the wall is drawn as wide as it, and said so",
          "窗 100000×1800 大于墙面,按墙面画出。" in kl7.replace("\n", ""), kl7[:900])
    check("an ordinary beam's page has no 需要核对", "需要核对" not in next((p for p in pages if "KL3 (梁表第" in p), "x需要核对"))


# A book that cannot be written is said before anything is: the old result
# file stays as it was, and nothing is left beside it.
with tempfile.TemporaryDirectory() as tmp:
    schedule = os.path.join(tmp, "in.csv")
    with open(schedule, "w", encoding="utf-8") as f:
        f.write("Mark,BeamLength\nKL1,3600\n")
    out = os.path.join(tmp, "out.csv")
    os.mkdir(os.path.join(tmp, "a folder"))
    for label, book in (("into a folder that does not exist", os.path.join(tmp, "no", "such", "book.pdf")),
                        ("over a folder", os.path.join(tmp, "a folder"))):
        with open(out, "w") as f:
            f.write("old\n")
        r = run([calc, "--csv", schedule, "-o", out, "--pdf", book])
        with open(out) as f:
            kept = f.read() == "old\n"
        left = sorted(n for n in os.listdir(tmp) if n not in ("in.csv", "out.csv", "a folder"))
        check("a book %s: exit 2, named, the old result kept" % label,
              r.returncode == 2 and kept and not left and "PDF" in r.stderr.decode(), "%d %s %s" % (r.returncode, kept, left))


# A book named as a report of the same run would be: the report takes
# another name (and says so), the book its own; neither is lost.
with tempfile.TemporaryDirectory() as tmp:
    schedule = os.path.join(tmp, "in.csv")
    with open(schedule, "w", encoding="utf-8") as f:
        f.write("Mark,BeamLength\nKL1,3600\n")
    reports = os.path.join(tmp, "r")
    os.mkdir(reports)
    book = os.path.join(reports, "KL1.txt")
    r = run([calc, "--csv", schedule, "-o", os.path.join(tmp, "o.csv"), "--report-dir", reports, "--pdf", book])
    with open(book, "rb") as f:
        is_book = f.read(5) == b"%PDF-"
    names = sorted(os.listdir(reports))
    check("a book at a report's name keeps it; the report takes another name, said",
          r.returncode == 0 and is_book and names == ["KL1-2.txt", "KL1.txt"] and "KL1-2.txt" in r.stderr.decode(),
          "%d %s %s" % (r.returncode, names, r.stderr.decode(errors="replace")))


# A mark that would turn text around (U+202E) or holds a control character
# prints them as visible escapes, and the program's own text stays in order.
with tempfile.TemporaryDirectory() as tmp:
    schedule = os.path.join(tmp, "bidi.csv")
    with open(schedule, "w", encoding="utf-8") as f:
        f.write("Mark,BeamLength\nKL\u202e9X,3600\nKL\x01Y,3600\nKL\u0e01Z,3600\nKL\U0001F600W,3600\n")
    book = os.path.join(tmp, "bidi.pdf")
    drawn = run([calc, "--csv", schedule, "-o", os.path.join(tmp, "o.csv"), "--pdf", book])
    text = run(["pdftotext", "-raw", book, "-"]).stdout.decode() if os.path.exists(book) else ""
    check("a direction override in a mark is shown, and turns nothing around",
          "KL\\u202E9X (梁表第 1 行)" in text and "\u202e" not in text, text[:300])
    check("a control character in a mark is shown as \\x01", "KL\\x01Y" in text and "\x01" not in text)
    said = drawn.stderr.decode("utf-8", "replace")
    check("a character the built-in font lacks is shown as its code and named, the book written all the same",
          drawn.returncode == 0 and "KL\\u0E01Z (梁表第 3 行)" in text and "KL\\U0001F600W" in text and
          "U+0E01" in said and "U+1F600" in said, said + text[:300])
    fonts = run(["pdffonts", book]).stdout.decode().split("\n")[2:] if os.path.exists(book) else []
    check("only the built-in font draws them, a subset of it",
          [f.split()[0] for f in fonts if f.strip()] == ["QRVNAA+WenQuanYiMicroHei"] and
          all(f.split()[-4] == "yes" for f in fonts if f.strip()),
          "\n".join(fonts))


# Drawings: each at a stated standard scale with a scale bar; a 900 door and
# a 900 window on a 2100 beam stand side by side, whole; a 300 door on a
# 9 m beam has its label whole, outside the narrow opening.
with tempfile.TemporaryDirectory() as tmp:
    plain = {"BeamWidth": "200", "BeamHeight": "500", "WallHeight": "3000", "DoorWidth": "0", "DoorHeight": "2100",
             "WindowWidth": "0", "WindowHeight": "1800", "BeamLength": "3600", "ReductionRatio": "1"}
    drawn = [("KL2", {"DoorWidth": "900", "WindowWidth": "900", "BeamLength": "2100"}),
             ("KL3", {"DoorWidth": "300", "BeamLength": "9000"})]
    schedule = os.path.join(tmp, "drawn.csv")
    with open(schedule, "w", encoding="utf-8") as f:
        f.write("Mark," + ",".join(plain) + "\n")
        for mark, given in drawn:
            f.write(mark + "," + ",".join(given.get(k, v) for k, v in plain.items()) + "\n")
    book = os.path.join(tmp, "drawn.pdf")
    run([calc, "--csv", schedule, "-o", os.path.join(tmp, "o.csv"), "--pdf", book])
    run(["pdftoppm", "-r", "150", "-f", "3", "-l", "3", book, os.path.join(tmp, "kl2")])
    image = next((os.path.join(tmp, n) for n in os.listdir(tmp) if n.startswith("kl2")), None)
    beam = widest_run(image, BEAM) if image else 0
    both = widest_pair(image, DOOR, WINDOW) if image else 0
    check("a 900 door and a 900 window on a 2100 beam are both drawn whole, side by side",
          beam > 100 and abs(both - beam * 1800 / 2100) <= 4, "beam %d, door and window %d px" % (beam, both))
    pages = run(["pdftotext", "-layout", book, "-"]).stdout.decode().split("\f") if os.path.exists(book) else []
    scales = [re.findall(r"(立面|截面) 1:(\d+(?:\.\d+)?)", p) for p in pages[2:4]]
    standard = {str(m * 10 ** k) for m in (1, 2, 5) for k in range(6)} | {str(25 * 10 ** k) for k in range(5)}
    check("each drawing states its scale, a standard one",
          all(len(found) == 2 and all(n in standard for _, n in found) for found in scales), str(scales))
    html = run(["pdftotext", "-f", "4", "-l", "4", "-bbox", book, "-"]).stdout.decode() if os.path.exists(book) else ""
    words = re.findall(r"<word[^>]*>([^<]*)</word>", html)
    check("a narrow door's label is whole", "300×2100" in words, " ".join(words[:40]))


# One run, one date: every report of a long run bears the date the run read
# once, as does its book (the clock is not read again row by row).
with tempfile.TemporaryDirectory() as tmp:
    schedule = os.path.join(tmp, "long.csv")
    with open(schedule, "w", encoding="utf-8") as f:
        f.write("Mark,BeamLength\n" + "".join("B%d,%d\n" % (i, 3000 + i) for i in range(6000)))
    reports = os.path.join(tmp, "reports")
    start = time.time()
    run([calc, "--csv", schedule, "-o", os.path.join(tmp, "o.csv"), "--report-dir", reports])
    seconds = time.time() - start
    dates = set()
    for name in os.listdir(reports) if os.path.isdir(reports) else []:
        with open(os.path.join(reports, name), encoding="utf-8-sig", errors="replace") as f:
            dates.add(f.read().split("\n")[23].strip())
    check("every report of a %.1f s run bears one date" % seconds, len(dates) == 1 and len(os.listdir(reports)) == 6000,
          str(sorted(dates)[:3]))


# Stopped while the book is being made (SIGTERM, as a closed terminal
# sends): the old result and the old book both stay, nothing is left beside them.
with tempfile.TemporaryDirectory() as tmp:
    schedule = os.path.join(tmp, "in.csv")
    with open(schedule, "w", encoding="utf-8") as f:
        f.write("Mark,BeamLength,DoorWidth\n" + "".join("B%d,%d,900\n" % (i, 3000 + i) for i in range(20000)))
    out, book = os.path.join(tmp, "out.csv"), os.path.join(tmp, "book.pdf")
    for path, text in ((out, "old result\n"), (book, "old book\n")):
        with open(path, "w") as f:
            f.write(text)
    p = subprocess.Popen([calc, "--csv", schedule, "-o", out, "--pdf", book], stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)

    def book_begun():  # the book's own temporary file has its first pages
        for name in os.listdir(tmp):
            if name not in ("book.pdf", "in.csv", "out.csv"):
                try:
                    with open(os.path.join(tmp, name), "rb") as f:
                        if f.read(5) == b"%PDF-":
                            return True
                except OSError:
                    pass
        return False
    deadline = time.time() + 60
    while p.poll() is None and not book_begun() and time.time() < deadline:
        time.sleep(0.005)
    p.terminate()
    p.wait()
    with open(out) as f1, open(book, errors="replace") as f2:
        kept = f1.read() == "old result\n" and f2.read() == "old book\n"
    check("stopped during the book: the old result and book stay, nothing is left",
          p.returncode != 0 and kept and sorted(os.listdir(tmp)) == ["book.pdf", "in.csv", "out.csv"],
          "%s %s %s" % (p.returncode, kept, sorted(os.listdir(tmp))))

# Materials named in the schedule stand for their unit weights on the design
# basis, with their item in Table A; a weight outside its material's range is flagged.
with tempfile.TemporaryDirectory() as tmp:
    schedule, book = os.path.join(tmp, "材料.csv"), os.path.join(tmp, "材料.pdf")
    with open(schedule, "w", encoding="utf-8") as f:
        f.write("Mark,WallMaterial,BeamMaterial,BeamDensity\nKL1,蒸压粉煤灰加气混凝土砌块,钢筋混凝土,25\n"
                "KL2,蒸压粉煤灰加气混凝土砌块,钢筋混凝土,28\n")
    r = run([calc, "--csv", schedule, "--pdf", book, "--date", "2026-12-20", "--revision", "A 2026-11-01 首次提交",
             "--revision", "B 2026-12-20 按审图意见修改"], env=dict(os.environ, LANG="C.UTF-8"))
    text = run(["pdftotext", "-raw", book, "-"]).stdout.decode("utf-8")
    check("the cover bears the date given and the revision table, the beam pages that date",
          "日期 2026-12-20" in text and "A 2026-11-01 首次提交\nB 2026-12-20 按审图意见修改" in text and
          "计算日期 2026-12-20" in text, text[:600])
    bad = run([calc, "--csv", schedule, "--pdf", book, "--date", "2026-12-20\n伪造的一行"])
    check("a date with a line break is refused before anything is written",
          bad.returncode == 2 and "--date" in bad.stderr.decode("utf-8"), bad.stderr.decode("utf-8", "replace"))
    basis = text[text.find("设计依据"):]
    named = re.search(r"墙密度 5\.5 kN/m³:墙体材料 蒸压粉煤灰加气混凝土砌块,GB 50009-2012 表A 第 5 项", basis)
    outside = re.search(r"梁密度 28 kN/m³:梁材料 钢筋混凝土,GB 50009-2012 表A 第 6 项 \(24\.0–25\.0 kN/m³\);"
                        r"取值不在该材料的范围内,请核对", basis)
    check("a named material stands for its weight on the design basis, a weight outside its range flagged",
          r.returncode == 0 and named is not None and outside is not None, basis[:1200])

    # One beam given on the command line keeps its material in the book too.
    one = os.path.join(tmp, "一根.pdf")
    r = run([calc, "WallMaterial=蒸压粉煤灰加气混凝土砌块", "--pdf", one])
    basis = run(["pdftotext", "-raw", one, "-"]).stdout.decode("utf-8")
    check("one beam's book names the material given for its weight",
          r.returncode == 0 and "墙密度 5.5 kN/m³:墙体材料 蒸压粉煤灰加气混凝土砌块" in basis, basis[:1200])

    # Every row of the schedule is in its book, as the window's book has it: a
    # row refused for its cells or its material is listed with the reason.
    with open(schedule, "w", encoding="utf-8") as f:
        f.write("Mark,BeamWidth,WallMaterial\nKL1,200,蒸压粉煤灰加气混凝土砌块\nKL2,300,没有这种砖\nKL3,400,,5\n")
    r = run([calc, "--csv", schedule, "-o", os.path.join(tmp, "结果.csv"), "--pdf", book])
    summary = run(["pdftotext", "-raw", "-l", "1", book, "-"]).stdout.decode("utf-8")
    listed = [re.search(p, summary, re.M) for p in (r"1 KL1 200 [^\n]*\d$", r"2 KL2 [^\n]*\n?[^\n]*没有这种砖",
                                               r"3 KL3 .*这一行有 4 列,列名行有 3 列")]
    check("a row refused for its material or its cells is listed in the book's summary with why",
          r.returncode == 1 and all(listed), summary[:1500])

print("%d passed, %d failed" % (passed, failed))
sys.exit(1 if failed else 0)
