#!/bin/sh
# The speed figures of call-target import and send, side by side with their
# references: ours, the reference, the ratio, and memory per row.
#   (a) a 1,000,000-row CSV imported with duplicate removal into the send
#       list, against `sort -u` of its phone column;
#   (b) a 1,000,000-row .xlsx read with the import's two queries (count(*),
#       then the rows), against LibreOffice converting it to CSV;
#   (c) orv-send sending 1,000,000 rows to orv-dbservice on loopback,
#       against the sqlite3 shell inserting the same rows;
#   (d) the number tools' duplicate check, when BUILDDIR/bin/bench_dup_check
#       exists (its own "dupcheck:" line).
# Not run in CI. The machine's load is printed first and last: the figures
# are wall-clock times.
#   bench/call_targets_figures.sh BUILDDIR [ROWS]
set -eu
BUILD=${1:?build directory}
ROWS=${2:-1000000}
HERE=$(cd "$(dirname "$0")" && pwd)
OUT=$(mktemp -d /tmp/call_targets_figures.XXXXXX)
trap 'rm -rf "$OUT"' EXIT

for b in bench_dispatch_import workbook_bench orv-send orv-dbservice; do
  [ -x "$BUILD/bin/$b" ] || { echo "missing $BUILD/bin/$b (ninja -C $BUILD $b)" >&2; exit 2; }
done
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

# (a) The import benchmark generates its own 1,000,000-row file.
"$BUILD/bin/bench_dispatch_import" --benchmark_out="$OUT/import.json" --benchmark_out_format=json > "$OUT/import.txt" 2>&1
# (b) WORKBOOK_BENCH_ROWS sets the workbook's rows; the file is kept in /tmp
# between runs (workbook_bench_ROWS.xlsx).
WORKBOOK_BENCH_ROWS=$ROWS "$BUILD/bin/workbook_bench" --benchmark_out="$OUT/workbook.json" --benchmark_out_format=json \
  > "$OUT/workbook.txt" 2>&1
# (c)
sh "$HERE/dispatch_send_bench.sh" "$BUILD" "$ROWS" > "$OUT/send.txt" 2>&1
# (d)
if [ -x "$BUILD/bin/bench_dup_check" ]; then
  "$BUILD/bin/bench_dup_check" 2>&1 | grep '^dupcheck:' > "$OUT/dupcheck.txt" || true
fi

python3 - "$OUT" <<'PY'
import json, re, sys, os
out = sys.argv[1]

def bench(path):
    with open(path) as f:
        return {b["name"].split("/")[0]: b for b in json.load(f)["benchmarks"]}

def ms(b):
    if b is None or b.get("error_occurred"):
        return None
    unit = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return b["real_time"] * unit

rows = []
imp = bench(os.path.join(out, "import.json"))
ours, ref = ms(imp.get("BM_ImportCsv")), ms(imp.get("BM_SortUniqPhoneColumn"))
c = imp.get("BM_ImportCsv", {})
s = imp.get("BM_TelNoSetBytesPerEntry", {})
rows.append(("(a) CSV import, duplicates removed", "%.0f ms" % ours, "sort -u %.0f ms" % ref,
             "%.2fx (goal <= 3x)" % (ours / ref),
             "list %.1f B, set %.1f B, peak RSS growth %.1f B" % (c.get("list_bytes_per_row", 0),
                                                                 s.get("rss_bytes_per_entry", 0),
                                                                 c.get("peak_rss_growth_per_row", 0))))

wb = bench(os.path.join(out, "workbook.json"))
conn, lo, cur = (wb.get(n) for n in ("BM_ConnectionCountAndSelectAll", "BM_LibreOfficeToCsv", "BM_XlsxRowCursor"))
n = conn["rows"] if conn else 1
if ms(lo) is None:
    rows.append(("(b) xlsx count(*) + rows", "%.0f ms" % ms(conn), "LibreOffice: not run", "-",
                 "peak %.1f B" % (conn["peak_MB"] * 1048576 / n)))
else:
    rows.append(("(b) xlsx count(*) + rows", "%.0f ms" % ms(conn), "soffice %.0f ms" % ms(lo),
                 "%.2fx faster (goal >= 5x)" % (ms(lo) / ms(conn)),
                 "peak %.1f B vs %.1f B" % (conn["peak_MB"] * 1048576 / n, lo["peak_MB"] * 1048576 / n)))
if cur:
    rows.append(("    xlsx row cursor alone", "%.0f ms" % ms(cur), "", "", "peak %.1f B" % (cur["peak_MB"] * 1048576 / n)))

send = open(os.path.join(out, "send.txt")).read()
m1 = re.search(r"orv-send: (\d+) rows in ([\d.]+) s = (\d+) rows/s", send)
m2 = re.search(r"sqlite3 shell: (\d+) rows in ([\d.]+) s = (\d+) rows/s", send)
p1 = re.search(r"orv-send peak: (\d+) KB", send)
p2 = re.search(r"orv-dbservice peak: (\d+) KB", send)
if m1 and m2:
    n = int(m1.group(1))
    mem = []
    if p1: mem.append("orv-send %.1f B" % (int(p1.group(1)) * 1024 / n))
    if p2: mem.append("orv-dbservice %.1f B" % (int(p2.group(1)) * 1024 / n))
    rows.append(("(c) orv-send to orv-dbservice", "%s rows/s" % m1.group(3), "sqlite3 %s rows/s" % m2.group(3),
                 "%.2fx (goal >= 50,000 rows/s)" % (int(m1.group(3)) / int(m2.group(3))), ", ".join(mem)))
else:
    rows.append(("(c) orv-send to orv-dbservice", "failed", "", "", send.strip().splitlines()[-1] if send.strip() else ""))

dup = os.path.join(out, "dupcheck.txt")
if os.path.exists(dup):
    for line in open(dup):
        kv = dict(re.findall(r"(\w+)=(\S+)", line))
        if all(k in kv for k in ("lines", "seconds", "sort_u_seconds", "ratio", "bytes_per_number")):
            rows.append(("(d) duplicate check, %s lines" % kv["lines"], "%.0f ms" % (float(kv["seconds"]) * 1000),
                         "sort -u %.0f ms" % (float(kv["sort_u_seconds"]) * 1000), "%sx" % kv["ratio"],
                         "number map %s B per number" % kv["bytes_per_number"]))
        else:
            rows.append(("(d) duplicate check", line.strip(), "", "", ""))
else:
    rows.append(("(d) duplicate check", "bench_dup_check not built", "", "", ""))

head = ("figure", "ours", "reference", "ratio", "memory per row")
widths = [max(len(r[i]) for r in rows + [head]) for i in range(5)]
for r in [head] + rows:
    print("  ".join(r[i].ljust(widths[i]) for i in range(5)).rstrip())
PY
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
