#!/usr/bin/env bash
# Crop benchmark: `ventara crop` against a `mutool run` script that sets the page boxes, qpdf
# updating the pages from JSON, and Ghostscript, on the same generated 300-page document. See
# bench/README.md ("Crop"). Usage: bash bench/crop.sh
#
# Environment: RUNS (timed runs per command, default 9), BENCH_DIR (inputs and scratch,
# default build/bench-crop), BUILD_DIR (build folder, default build/bench), JOBS (build jobs,
# default 2), VENTARA (use this ventara binary instead of building one).
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
script=crop.sh
runs="${RUNS:-9}"
bench_dir="${BENCH_DIR:-$repo/build/bench-crop}"
build_dir="${BUILD_DIR:-$repo/build/bench}"
inputs="$bench_dir/inputs"
scratch="$bench_dir/out"
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"

bench_need cmake ninja gs qpdf mutool hyperfine python3 time

# --- Build the command line ----------------------------------------------------------------
bench_ventara ventara

# --- Input, generated once -----------------------------------------------------------------
# 300 A4 pages of real text (46 lines each) in one Ghostscript document, as an office export
# writes them: one page object each with its own MediaBox.
input="$inputs/long300.pdf"
if [ ! -f "$input" ]; then
    echo "Generating the input in $inputs (once)..." >&2
    mkdir -p "$inputs"
    cat > "$inputs/long300.ps" <<'PS'
%!PS
/words [(lorem) (ipsum) (dolor) (sit) (amet) (consectetur) (adipiscing) (elit) (sed) (do)
  (eiusmod) (tempor) (incididunt) (ut) (labore) (et) (dolore) (magna) (aliqua) (enim)] def
/seed 4242 def
/rnd { /seed seed 1103515245 mul 12345 add 2147483647 and def seed } def
1 1 300 {
  /pg exch def
  << /PageSize [595 842] >> setpagedevice
  /Times-Roman findfont 16 scalefont setfont
  60 790 moveto (Page ) show pg 10 string cvs show
  /Times-Roman findfont 10 scalefont setfont
  0 1 45 {
    /ln exch def
    60 760 ln 15 mul sub moveto
    0 1 11 { pop words rnd 16 idiv words length mod get show ( ) show } for
  } for
  showpage
} for
PS
    gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -o "$input" "$inputs/long300.ps" >/dev/null
fi

# The two crops, as PDF boxes [llx lly urx ury] of the 595 x 842 pages: the largest centred
# 16:9 rectangle (9 wide by 16 high on a portrait page), and 500 x 700 points 36 points in from
# the bottom-left corner.
auto_box="60.6875 0 534.3125 842"
rect_box="36 36 536 736"

# mutool: a script that sets both boxes of every page, as a user of `mutool run` writes it.
cat > "$bench_dir/crop.js" <<'JS'
var doc = new PDFDocument(scriptArgs[0]);
var box = [Number(scriptArgs[2]), Number(scriptArgs[3]), Number(scriptArgs[4]), Number(scriptArgs[5])];
var n = doc.countPages();
for (var i = 0; i < n; i++) {
  var page = doc.findPage(i);
  page.put("MediaBox", box);
  page.put("CropBox", box);
}
doc.save(scriptArgs[1], "");
JS

# qpdf: new values for every page object from JSON (qpdf --update-from-json). The JSON is
# made once, before the timing, from qpdf's own JSON of the document: what is timed is qpdf
# applying it and writing the file, its fastest way to set page boxes from the command line.
make_update() { # box output
    qpdf --json=2 --json-key=qpdf "$input" | python3 -c '
import json, sys
box = [float(v) for v in sys.argv[1].split()]
data = json.load(sys.stdin)["qpdf"]
objects = {}
for key, entry in data[1].items():
    value = entry.get("value")
    if isinstance(value, dict) and value.get("/Type") == "/Page":
        value = dict(value)
        value["/MediaBox"] = box
        value["/CropBox"] = box
        objects[key] = {"value": value}
json.dump({"qpdf": [data[0], objects]}, open(sys.argv[2], "w"))
' "$1" "$2"
}
make_update "$auto_box" "$bench_dir/auto.json"
make_update "$rect_box" "$bench_dir/rect.json"

# --- Measuring -----------------------------------------------------------------------------
results="$bench_dir/results.tsv"
: > "$results"
mkdir -p "$scratch"

# bench ROW NAME COMMAND CHECK: median wall time over $runs runs (hyperfine, one warm-up, the
# output folder emptied before each run), mean processor time (user + system), and peak
# resident memory of one more run; CHECK is the file written, whose first page must have the
# expected box.
bench() {
    local row="$1" name="$2" command="$3" written="$4" box="$5"
    local median cpu peak
    bench_time "rm -rf '$scratch' && mkdir -p '$scratch'" "$command"
    rm -rf "$scratch" && mkdir -p "$scratch"
    peak=$(bench_peak "$command")
    # The result must be right: 300 pages, the box on the first page.
    python3 - "$written" "$box" <<'PY' || { echo "crop.sh: $name wrote a wrong file" >&2; exit 1; }
import subprocess, sys
out = subprocess.run(["qpdf", "--show-npages", sys.argv[1]], capture_output=True, text=True).stdout
assert out.strip() == "300", out
boxes = subprocess.run(["pdfinfo", "-box", "-f", "1", "-l", "1", sys.argv[1]],
                       capture_output=True, text=True).stdout
want = [float(v) for v in sys.argv[2].split()]
line = [l for l in boxes.splitlines() if l.startswith("Page    1 CropBox:")][0]
got = [float(v) for v in line.split(":")[1].split()]
assert all(abs(a - b) < 0.01 for a, b in zip(got, want)), (got, want)
PY
    printf '%s\t%s\t%s\t%s\t%s\n' "$row" "$name" "$median" "$cpu" "$peak" >> "$results"
    echo "  $row / $name: ${median}s" >&2
}

echo "Load before measuring: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 minutes)" >&2
for crop in auto rect; do
    if [ "$crop" = auto ]; then
        row="300 pages to 16:9"; box="$auto_box"; options="--auto 16:9"
    else
        row="300 pages to a rectangle"; box="$rect_box"; options="--rect 36,36,500,700 --unit points"
    fi
    echo "Cropping $row..." >&2
    bench "$row" "ventara crop" "'$ventara' crop $options --overwrite yes -o '$scratch' '$input'" \
          "$scratch/long300_Cropped.pdf" "$box"
    # shellcheck disable=SC2086
    bench "$row" "mutool run" "mutool run '$bench_dir/crop.js' '$input' '$scratch/m.pdf' $box" \
          "$scratch/m.pdf" "$box"
    bench "$row" "qpdf --update-from-json" \
          "qpdf '$input' --update-from-json='$bench_dir/$crop.json' '$scratch/q.pdf'" \
          "$scratch/q.pdf" "$box"
    bench "$row" "gs pdfwrite" \
          "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -o '$scratch/g.pdf' -c '[/CropBox [$box] /PAGES pdfmark' -f '$input'" \
          "$scratch/g.pdf" "$box"
done
echo "Load after measuring: $(cut -d' ' -f1-3 /proc/loadavg)" >&2

# --- Report --------------------------------------------------------------------------------
python3 - "$results" "$runs" "$(stat -c %s "$input")" <<'PY'
import sys
rows, order = {}, []
for line in open(sys.argv[1]):
    row, name, median, cpu, peak = line.rstrip("\n").split("\t")
    if row not in rows:
        rows[row] = []
        order.append(row)
    rows[row].append((name, float(median), float(cpu), int(peak)))
limit = 2 * int(sys.argv[3]) / 1024 / 1024 + 50
print(f"Median wall time of {sys.argv[2]} runs and its ratio to the fastest peer (ventara "
      "excluded); mean processor time (user + system) and its ratio; peak resident memory of "
      f"one run (ventara's limit: {limit:.1f} MB).")
for row in order:
    entries = rows[row]
    peers = [e for e in entries if not e[0].startswith("ventara")]
    fastest = min(e[1] for e in peers)
    leanest = min(e[2] for e in peers)
    print(f"\n{row}")
    print(f"  {'tool':<26}{'wall s':>8}{'ratio':>7}{'cpu s':>8}{'ratio':>7}{'peak MB':>9}")
    for name, median, cpu, peak in entries:
        print(f"  {name:<26}{median:>8.3f}{median / fastest:>7.2f}{cpu:>8.3f}{cpu / leanest:>7.2f}"
              f"{peak / 1024:>9.1f}")
PY
