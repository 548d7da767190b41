"""The plain-Python speed yardstick for quorvane-calc --csv: csv + float + '%.15g',
the same arithmetic on the same schedule, rows written the same way. Kept lean
on purpose; the full reference model that the tests use is tests/reference."""
import csv
import os
import sys

# The inputs' table (fields, defaults, which are in mm) from the reference
# model, so that a new input is listed once.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "reference"))
from beamref import DEFAULTS, FIELDS, MILLIMETRES as MM  # noqa: E402


def fmt(x):
    return "%.15g" % x


def main():
    reader = csv.DictReader(open(sys.argv[1], newline="", encoding="utf-8"))
    writer = csv.writer(open(sys.argv[2], "w", newline="", encoding="utf-8"))
    writer.writerow(["Mark"] + FIELDS + ["BeamSelfWeight", "MasonryWeight", "TotalDeadLoad",
                                         "CadInputLoad", "CopiedLoad", "Error"])
    for row in reader:
        texts = {f: row.get(f, DEFAULTS[f]) for f in FIELDS}
        v = {f: (float(t or 0) / 1000.0 if f in MM else float(t or 0)) for f, t in texts.items()}
        bcl = (v["BeamDensity"] * v["BeamWidth"]) * v["BeamHeight"]
        bpl = (v["BeamPlasterDensity"] * v["BeamPlasterThickness"]) * (v["BeamWidth"] + (v["BeamHeight"] * 2))
        bsw = fmt(v["ReductionRatio"] * (bcl + bpl))
        clear = v["WallHeight"] - v["BeamHeight"]
        openings = (v["DoorWidth"] * v["DoorHeight"]) + (v["WindowWidth"] * v["WindowHeight"])
        wnw = (((v["BeamLength"] * v["WallWidth"]) * clear) - (openings * v["WallWidth"])) * v["WallDensity"]
        wpw = ((2 * ((v["BeamLength"] * clear) - openings)) * v["WallPlasterThickness"]) * v["WallPlasterDensity"]
        ow = ((v["DoorWidth"] * v["DoorHeight"]) * v["DoorAreaWeight"]) + \
             ((v["WindowWidth"] * v["WindowHeight"]) * v["WindowAreaWeight"])
        mw = fmt((v["ReductionRatio"] * ((wnw + wpw) + ow)) / v["BeamLength"])
        total = fmt(float(bsw) + float(mw))
        cad = fmt(float(total) - (v["ReductionRatio"] * bcl))
        copied = fmt(int(float(cad) * 10.0) / 10 + 0.1)
        writer.writerow([row.get("Mark", "")] + [texts[f] for f in FIELDS] + [bsw, mw, total, cad, copied, ""])


main()
