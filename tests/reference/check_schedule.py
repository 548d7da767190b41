"""Thousands of generated beams through `quorvane-calc --csv ... --report-dir`,
every result, copied load, error and report line compared with the
independent model in beamref.py, digit for digit.

Usage: check_schedule.py [--beams N] [--seed S] [--keep DIR] CALC [WRAPPER...]
WRAPPER runs CALC (e.g. qemu-aarch64 -L /usr/aarch64-linux-gnu).
Exit 0 when everything matches; otherwise the first differences are printed."""

import argparse
import os
import random
import subprocess
import sys
import tempfile

import beamref as ref


def realistic(rnd):
    """A beam as drawn in an office: typical sizes, odd millimetres, usual ratios."""
    t = {
        "BeamWidth": rnd.choice(["200", "250", "300", "350", "400", str(rnd.randint(180, 500))]),
        "BeamHeight": str(rnd.choice([rnd.randrange(400, 1250, 50), rnd.randint(300, 1500)])),
        "BeamDensity": rnd.choice(["25", "26", "24.5", "25.5"]),
        "WallWidth": rnd.choice(["90", "100", "120", "180", "190", "200", "240", "250", "370"]),
        "WallHeight": str(rnd.choice([rnd.randrange(2800, 6100, 100), rnd.randint(2500, 8000)])),
        "WallDensity": rnd.choice(["5.5", "7", "8", "10", "11.8", "14", "18", "19", "20"]),
        "DoorWidth": rnd.choice(["0", "0", "700", "800", "900", "1000", "1200", "1500",
                                 str(rnd.randint(600, 2400))]),
        "DoorHeight": rnd.choice(["2000", "2100", "2200", "2400", str(rnd.randint(1800, 2700))]),
        "DoorAreaWeight": rnd.choice(["0.2", "0.3", "0.4", "0.45", "0.5"]),
        "WindowWidth": rnd.choice(["0", "0", "600", "900", "1200", "1500", "1800", "2100",
                                   str(rnd.randint(500, 3600))]),
        "WindowHeight": rnd.choice(["1200", "1500", "1800", "2100", str(rnd.randint(900, 2400))]),
        "WindowAreaWeight": rnd.choice(["0.35", "0.4", "0.45", "0.5"]),
        "BeamPlasterThickness": rnd.choice(["15", "20", "25", "30"]),
        "BeamPlasterDensity": rnd.choice(["17", "20"]),
        "WallPlasterThickness": rnd.choice(["15", "20", "25", "30"]),
        "WallPlasterDensity": rnd.choice(["17", "20"]),
        "BeamLength": str(rnd.choice([rnd.randrange(1800, 9100, 300), rnd.randint(1000, 12000)])),
        "ReductionRatio": rnd.choice(["1", "0.9", "0.85", "0.8", "0.75", "0.7", "0.65",
                                      "%.2f" % rnd.uniform(0.5, 1.0), "%.3f" % rnd.uniform(0.5, 1.0)]),
    }
    for f in ref.FIELDS:  # an input with no office habit here: its default, or any figure its rule takes
        if f not in t:
            drawn = "%g" % rnd.uniform(0, 100)
            t[f] = rnd.choice([ref.DEFAULTS[f], drawn if ref.acceptable(f, drawn) else ref.DEFAULTS[f]])
    return t


def long_digits(rnd, value):
    """value written with 16 to 24 significant digits: the slow reading path."""
    digits = rnd.randint(16, 24)
    text = "%.*g" % (digits, value)
    return text if "e" in text or "." in text else text + "." + "0" * rnd.randint(1, 8) + str(rnd.randint(1, 9))


def adversarial(rnd):
    """A realistic beam with a few texts pushed to the edges of the rules."""
    t = realistic(rnd)
    boxes = ref.FIELDS[:-1]
    for _ in range(rnd.randint(1, 4)):
        f = rnd.choice(boxes)
        value = ref.read(t[f])
        t[f] = rnd.choice([
            "0", "100000", "", "-0", "+0", "00", " %s " % t[f], "\t" + t[f], t[f] + ".", "." + (t[f] or "5")[-1],
            "%.15g" % (value * (1 + rnd.random() * 1e-6)),
            "%.17g" % (value + rnd.random()),
            long_digits(rnd, value + rnd.random()),
            long_digits(rnd, rnd.uniform(0, 100000)),
            "%se%d" % (value / 1000, 3), "%gE+3" % (value / 1000), "%de-3" % (value * 1000),
            "0." + "0" * 24 + "1e27", "1" + "0" * 23 + "e-19", "%.20fe-2" % (value * 100),
            "99999.99999999999999", "100000.00000000000001", "100000.0000000001",
            "1e5", "1E-300", "5e-324", "2.5e-320",
            # refused
            "x", t[f] + "x", "100001", "100000.5", "-5", "1,5", "1 2", "..5", "1e5.5", "-", ".",
        ])
    r = rnd.random()
    if r < 0.25:
        t["ReductionRatio"] = rnd.choice([
            "0", "-0", "-2", "250000", "1e308", "-1e308", "1e400", "5e307", "1.6e307", "1e-300",
            "5e-324", "0.123456789012345678901", "1.00000000000000011", "0.8500000000000000001",
            "9.999999999999999e22", "1e23", "12345678901234567890", "1e", "1e-", "3.", ".5",
            "", "x", "0.9x", " 0.9 ", "+0.9", "1E+1",
        ])
    elif r < 0.32:
        t["BeamLength"] = rnd.choice(["0", "", "-0", "0.0", "1e-3", "5e-324"])
    elif r < 0.36:
        t["ReductionRatio"] = "1e400"
        t["BeamDensity"] = t["BeamPlasterDensity"] = "0"
    return t


def generate(count, seed):
    rnd = random.Random(seed)
    beams = []
    for i in range(count):
        texts = realistic(rnd) if i % 3 else adversarial(rnd)
        beams.append(("B%05d" % (i + 1), texts))
    return beams


def csv_line(fields):
    return ",".join(ref.csv_field(f) for f in fields) + "\r\n"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--beams", type=int, default=4000)
    ap.add_argument("--seed", type=int, default=20261210)
    ap.add_argument("--keep", help="leave the files in this folder")
    ap.add_argument("calc", nargs="+")
    args = ap.parse_args()

    beams = generate(args.beams, args.seed)
    # Reports go to memory where there is some: each one is synced to disk.
    base = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
    work = args.keep or tempfile.mkdtemp(prefix="quorvane-ref-", dir=base)
    os.makedirs(work, exist_ok=True)
    schedule, out, reports = (os.path.join(work, n) for n in ("beams.csv", "loads.csv", "reports"))
    with open(schedule, "w", encoding="utf-8", newline="") as f:
        f.write(csv_line(["Mark"] + ref.FIELDS))
        for mark, texts in beams:
            f.write(csv_line([mark] + [texts[x] for x in ref.FIELDS]))

    env = dict(os.environ, LC_ALL="C.UTF-8")
    run = subprocess.run(args.calc + ["--csv", schedule, "-o", out, "--report-dir", reports],
                         env=env, capture_output=True)

    expected_out = [csv_line(["Mark"] + ref.FIELDS + ref.RESULTS + ["CopiedLoad", "Error"])]
    expected_reports = {}
    any_error = False
    for mark, texts in beams:
        results, error, lines = ref.schedule_row(texts)
        any_error = any_error or bool(error)
        fields = [mark] + [texts[x] for x in ref.FIELDS]
        expected_out.append(csv_line(fields + (results if results else [""] * 5) + [error]))
        if lines:
            expected_reports[mark + ".txt"] = lines

    problems = []
    if run.returncode != (1 if any_error else 0):
        problems.append("exit code %d, expected %d; stderr: %s"
                        % (run.returncode, 1 if any_error else 0, run.stderr.decode("utf-8", "replace")))
    got = open(out, "rb").read().decode("utf-8").splitlines(keepends=True) if os.path.exists(out) else []
    if len(got) != len(expected_out):
        problems.append("%d output lines, expected %d" % (len(got), len(expected_out)))
    for i, (g, e) in enumerate(zip(got, expected_out)):
        if g != e:
            problems.append("output line %d:\n  got      %r\n  expected %r" % (i + 1, g, e))
    written = set(os.listdir(reports)) if os.path.isdir(reports) else set()
    if written != set(expected_reports):
        problems.append("reports written for %d beams, expected %d (missing %s, extra %s)"
                        % (len(written), len(expected_reports),
                           sorted(set(expected_reports) - written)[:5], sorted(written - set(expected_reports))[:5]))
    for name in sorted(written & set(expected_reports)):
        text = open(os.path.join(reports, name), "rb").read().decode("utf-8")
        lines = text.split("\r\n")
        expected = expected_reports[name]
        if lines[-1] != "" or len(lines) != 26:
            problems.append("%s: %d lines, or not ended by CR LF" % (name, len(lines) - 1))
            continue
        for i, (g, e) in enumerate(zip(lines, expected)):
            # Line 24 carries the date and time of writing after its caption.
            same = g.startswith(e) and len(g) > len(e) if i == 23 else g == e
            if not same:
                problems.append("%s line %d:\n  got      %r\n  expected %r" % (name, i + 1, g, e))

    computed = len(expected_reports)
    print("%d beams (%d computed, %d refused or failing), %d reports compared"
          % (len(beams), computed, len(beams) - computed, len(written & set(expected_reports))))
    if problems:
        print("%d differences from the reference; the first ones:" % len(problems))
        for p in problems[:12]:
            print(p)
        print("files kept in %s" % work)
        return 1
    if not args.keep:
        subprocess.run(["rm", "-rf", work])
    print("every digit matches the reference")
    return 0


if __name__ == "__main__":
    sys.exit(main())
