"""An independent model of one beam's calculation, written from the formulas
and the text rules alone, to check quorvane-calc digit for digit.

It shares no code with the program. Python's float is binary64 with one
rounding per operation and no fused multiply-add, float() of a decimal text
is correctly rounded whatever its length or exponent, and '%.15g' rounds
correctly to 15 significant digits."""

import math
import re

# The inputs, one row each: field, default text, Chinese name, typed in mm.
PARAMS = [
    ("BeamWidth", "200", "梁宽度", True),
    ("BeamHeight", "500", "梁高度", True),
    ("BeamDensity", "25", "梁密度", False),
    ("WallWidth", "180", "墙宽度", True),
    ("WallHeight", "3000", "墙高度", True),
    ("WallDensity", "18", "墙密度", False),
    ("DoorWidth", "0", "门宽度", True),
    ("DoorHeight", "2100", "门高度", True),
    ("DoorAreaWeight", "0.45", "门密度", False),
    ("WindowWidth", "0", "窗宽度", True),
    ("WindowHeight", "1800", "窗高度", True),
    ("WindowAreaWeight", "0.35", "窗密度", False),
    ("BeamPlasterThickness", "20", "梁上抹灰厚度", True),
    ("BeamPlasterDensity", "17", "梁上抹灰密度", False),
    ("WallPlasterThickness", "20", "墙上抹灰厚度", True),
    ("WallPlasterDensity", "17", "墙上抹灰密度", False),
    ("BeamLength", "3600", "梁长度", True),
    ("ReductionRatio", "1", "折算比例", False),
]
FIELDS = [p[0] for p in PARAMS]
DEFAULTS = {p[0]: p[1] for p in PARAMS}
NAMES = {p[0]: p[2] for p in PARAMS}
MILLIMETRES = {p[0] for p in PARAMS if p[3]}
RATIO = "ReductionRatio"
RESULTS = ["BeamSelfWeight", "MasonryWeight", "TotalDeadLoad", "CadInputLoad"]

# --- Text rules -------------------------------------------------------------

# A plain decimal: sign, digits with at most one point, an exponent that
# counts only once it has digits. Blanks are space and tab.
_LEADING = re.compile(r"[ \t]*([+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+))([eE][+-]?[0-9]+)?")
# The whole text while being typed: "12.", "1e-", and a lone sign or point pass.
_WHOLE = re.compile(r"[ \t]*(?:[+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]*)?|[+-]\.?|\.)[ \t]*")


def read(text):
    """Leading-number reading: the nearest binary64 of the leading number, 0 if none."""
    m = _LEADING.match(text)
    if not m:
        return 0.0
    return float(m.group(1) + (m.group(2) or ""))


def numeric(text):
    return _WHOLE.fullmatch(text) is not None


def box(x):
    """Text-box form: 15 significant digits, E and a signed two-digit exponent."""
    if x == 0:
        return "0"
    return ("%.15g" % x).replace("e", "E")


def printed(x):
    """Print form of a report number: sign or blank, no zero before the point, blank."""
    magnitude = box(abs(x))
    if magnitude.startswith("0."):
        magnitude = magnitude[1:]
    return ("-" if x < 0 else " ") + magnitude + " "


def acceptable(field, text):
    if field == RATIO:
        return numeric(text)
    if text == "":
        return True
    return numeric(text) and 0.0 <= read(text) <= 100000.0


def refusal(field, text):
    rule = "必须是数字" if field == RATIO else "必须为空或是 0 到 100000 之间的数字"
    return '数据输入有误! %s(%s) = "%s": %s' % (field, NAMES[field], text, rule)

# --- The calculation ----------------------------------------------------------


CAPTIONS = {"convert": "输入换算", "bcl": "梁上钢筋混凝土自重", "bpl": "梁上抹灰自重",
            "bsw": "梁自重", "wnw": "墙净重", "wpw": "墙上抹灰自重", "ow": "门窗自重",
            "mw": "梁上砌体自重", "total": "梁上总恒重", "cad": "广厦结构CAD应输入",
            "copy": "复制荷载"}


class Stop(Exception):
    """The calculation stops at a step; str() is the user's message."""

    def __init__(self, step, cause):
        text = "计算出错:「%s」一步" % CAPTIONS[step]
        if cause == "zero":
            text += "除数为零。" + ("梁长度不能为空或为 0。" if step == "mw" else "")
        elif cause == "overflow":
            text += "数值溢出,结果超出可计算的范围。请检查折算比例等输入。"
        else:
            text += "出现无效运算(结果不是数)。请检查折算比例等输入。"
        super().__init__(text)


class Steps:
    """Binary64 operations, each checked: a result that is not finite stops."""

    def __init__(self, step):
        self.step = step

    def ok(self, x):
        if math.isnan(x):
            raise Stop(self.step, "invalid")
        if math.isinf(x):
            raise Stop(self.step, "overflow")
        return x

    def mul(self, a, b):
        return self.ok(a * b)

    def add(self, a, b):
        return self.ok(a + b)

    def sub(self, a, b):
        return self.ok(a - b)

    def div(self, a, b):
        if b == 0:
            raise Stop(self.step, "zero")
        return self.ok(a / b)


def compute(texts):
    """texts: field -> text. Returns (values, intermediates, results, copied);
    raises Stop at the first failing step."""
    s = Steps("convert")
    v = {f: (s.div(read(texts[f]), 1000.0) if f in MILLIMETRES else read(texts[f])) for f in FIELDS}
    k = {}
    s = Steps("bcl")
    k["bcl"] = s.mul(s.mul(v["BeamDensity"], v["BeamWidth"]), v["BeamHeight"])
    s = Steps("bpl")
    girth = s.add(v["BeamWidth"], s.mul(v["BeamHeight"], 2.0))
    k["bpl"] = s.mul(s.mul(v["BeamPlasterDensity"], v["BeamPlasterThickness"]), girth)
    s = Steps("bsw")
    bsw = box(s.mul(v[RATIO], s.add(k["bcl"], k["bpl"])))

    s = Steps("wnw")
    clear = s.sub(v["WallHeight"], v["BeamHeight"])
    holes = s.add(s.mul(v["DoorWidth"], v["DoorHeight"]), s.mul(v["WindowWidth"], v["WindowHeight"]))
    body = s.mul(s.mul(v["BeamLength"], v["WallWidth"]), clear)
    k["wnw"] = s.mul(s.sub(body, s.mul(holes, v["WallWidth"])), v["WallDensity"])
    s = Steps("wpw")
    faces = s.mul(2.0, s.sub(s.mul(v["BeamLength"], clear), holes))
    k["wpw"] = s.mul(s.mul(faces, v["WallPlasterThickness"]), v["WallPlasterDensity"])
    s = Steps("ow")
    door = s.mul(s.mul(v["DoorWidth"], v["DoorHeight"]), v["DoorAreaWeight"])
    window = s.mul(s.mul(v["WindowWidth"], v["WindowHeight"]), v["WindowAreaWeight"])
    k["ow"] = s.add(door, window)
    s = Steps("mw")
    masonry = s.mul(v[RATIO], s.add(s.add(k["wnw"], k["wpw"]), k["ow"]))
    mw = box(s.div(masonry, v["BeamLength"]))

    # The total and the CAD load are formed from the texts as shown.
    s = Steps("total")
    total = box(s.add(read(bsw), read(mw)))
    s = Steps("cad")
    cad = box(s.sub(read(total), s.mul(v[RATIO], k["bcl"])))
    return v, k, [bsw, mw, total, cad]


def copied(cad_text):
    """The copy command: cut toward zero to one decimal, plus 0.1."""
    tenfold = Steps("copy").mul(read(cad_text), 10.0)
    return box(float(math.trunc(tenfold)) / 10.0 + 0.1)


def report_lines(v, k, results):
    """The 25 report lines; line 24 ends before its date."""
    p = printed
    ratio, bl, ww = p(v[RATIO]), p(v["BeamLength"]), p(v["WallWidth"])
    clear = "(" + p(v["WallHeight"]) + "-" + p(v["BeamHeight"]) + ")"
    holes = ("(" + p(v["DoorWidth"]) + "*" + p(v["DoorHeight"]) + "+" + p(v["WindowWidth"]) + "*" +
             p(v["WindowHeight"]) + ")")
    bsw, mw, total, cad = results
    return [
        "Quorvane(折算比例取" + ratio + ")",
        "",
        "梁上钢筋混凝土自重:",
        p(v["BeamDensity"]) + "*" + p(v["BeamWidth"]) + "*" + p(v["BeamHeight"]) + "=" + p(k["bcl"]) + "KN/m",
        "梁上抹灰自重:",
        p(v["BeamPlasterDensity"]) + "*" + p(v["BeamPlasterThickness"]) + "*(" + p(v["BeamWidth"]) + "+" +
        p(v["BeamHeight"]) + "*" + p(2.0) + ")=" + p(k["bpl"]) + "KN/m",
        "梁自重:",
        ratio + "*(" + p(k["bcl"]) + "+" + p(k["bpl"]) + ")=" + bsw + "KN/m",
        "",
        "墙净重:",
        "[" + bl + "*" + ww + "*" + clear + "-" + holes + "*" + ww + "]*" + p(v["WallDensity"]) + "=" +
        p(k["wnw"]) + "KN",
        "墙上抹灰自重:",
        p(2.0) + "*[" + bl + " *" + clear + "-" + holes + "]*" + p(v["WallPlasterThickness"]) + "*" +
        p(v["WallPlasterDensity"]) + "=" + p(k["wpw"]) + "KN",
        "门窗自重:",
        p(v["DoorWidth"]) + "*" + p(v["DoorHeight"]) + "*" + p(v["DoorAreaWeight"]) + "+" +
        p(v["WindowWidth"]) + "*" + p(v["WindowHeight"]) + "*" + p(v["WindowAreaWeight"]) + "=" +
        p(k["ow"]) + "KN",
        "梁上砌体自重:",
        ratio + "*(" + p(k["wnw"]) + " +" + p(k["wpw"]) + "+" + p(k["ow"]) + ")/ " + bl + "=" + mw + "KN/m",
        "",
        "梁上总恒重:",
        p(read(bsw)) + "+" + p(read(mw)) + "=" + total + "KN/m",
        "广厦结构CAD应输入:",
        p(read(total)) + "-" + ratio + "*" + p(k["bcl"]) + "=" + cad + "KN/m",
        "_" * 80,
        "【Quorvane V2008.03.23】 Date：",
        ("_" * 29 + "http://quorvane.cn").ljust(80, "_"),
    ]

# --- Schedules ----------------------------------------------------------------


def csv_field(text):
    if any(c in text for c in ',"\r\n'):
        return '"' + text.replace('"', '""') + '"'
    return text


def schedule_row(texts, with_report=True):
    """One beam of a schedule: (results + [copied], error, report lines or None)."""
    for f in FIELDS:
        if not acceptable(f, texts[f]):
            return None, refusal(f, texts[f]), None
    try:
        v, k, results = compute(texts)
        return results + [copied(results[3])], "", report_lines(v, k, results) if with_report else None
    except Stop as stop:
        return None, str(stop), None
