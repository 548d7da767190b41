"""Writes a beam schedule of N rows to standard output (for benchmarks)."""
import random
import sys

n = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
rnd = random.Random(42)
out = sys.stdout
out.write("Mark,BeamWidth,BeamHeight,WallWidth,WallHeight,DoorWidth,WindowWidth,BeamLength,ReductionRatio\n")
rows = []
for i in range(n):
    rows.append("KL%d,%d,%d,%d,%d,%d,%d,%d,%s\n" % (
        i + 1, rnd.choice((200, 250, 300)), rnd.randrange(400, 900, 50), rnd.choice((120, 180, 240)),
        rnd.randrange(2800, 4200, 100), rnd.choice((0, 900, 1000, 1414)), rnd.choice((0, 1200, 1500, 1800)),
        rnd.randrange(2400, 9000, 300), rnd.choice(("1", "0.9", "0.85"))))
    if len(rows) == 10000:
        out.write("".join(rows))
        rows = []
out.write("".join(rows))
