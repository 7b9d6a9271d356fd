#!/usr/bin/env bash
# Edit-properties benchmark: `ventara properties` against exiftool (and pdftk, on the large
# file only: it starts a Java machine per file, over a second each), setting the title of 200
# small files and of one large file (6000 pages of text, about 20 MB), each run on fresh
# copies. See bench/README.md ("Document properties"). Usage: bash bench/properties.sh
#
# Environment: RUNS (timed runs per command, default 5), BENCH_DIR (inputs and scratch,
# default build/bench-properties), VENTARA (default build/ci/bin/ventara), BASELINE (another
# ventara binary, measured in the same run as "ventara properties (baseline)").
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
script=properties.sh
runs="${RUNS:-5}"
bench_dir="${BENCH_DIR:-$repo/build/bench-properties}"
ventara="${VENTARA:-$repo/build/ci/bin/ventara}"
inputs="$bench_dir/inputs"
work="$bench_dir/work"
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"
bench_need gs qpdf exiftool pdftk hyperfine python3
[ -x "$ventara" ] || { echo "properties.sh: no ventara at $ventara (set VENTARA)" >&2; exit 1; }

# --- Inputs, generated once ----------------------------------------------------------------
make_pdf() { # pages seed output: pages of text with a title, as an office export writes them
    gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -o "$3" - >/dev/null <<PS
%!PS
[ /Title (Report $2) /Author (Bench) /DOCINFO pdfmark
/seed $2 def
/rnd { /seed seed 1103515245 mul 12345 add 2147483647 and def seed } def
1 1 $1 {
  << /PageSize [595 842] >> setpagedevice
  /Times-Roman findfont 10 scalefont setfont
  0 1 45 { 60 exch 760 exch 15 mul sub moveto 0 1 11 { pop rnd 10 string cvs show ( ) show } for } for
  showpage
} for
PS
}
if [ ! -f "$inputs/done" ]; then
    echo "Generating inputs in $inputs (once)..." >&2
    rm -rf "$inputs" && mkdir -p "$inputs/small"
    for i in $(seq 0 199); do make_pdf 3 "$((i + 1))" "$(printf '%s/small/doc%03d.pdf' "$inputs" "$i")"; done
    parts=()
    for i in $(seq 1 20); do
        make_pdf 300 "$((4242 + i))" "$bench_dir/part$i.pdf"
        parts+=("$bench_dir/part$i.pdf")
    done
    qpdf --empty --pages "${parts[@]}" -- "$inputs/large.pdf"
    rm -f "${parts[@]}"
    touch "$inputs/done"
fi

# --- Measuring -----------------------------------------------------------------------------
results="$bench_dir/results.tsv"
: > "$results"
# bench ROW NAME SOURCE COMMAND: median wall time of $runs runs on fresh copies of SOURCE (a
# file or folder) in $work, and the mean processor time.
bench() {
    local row="$1" name="$2" source="$3" command="$4" median cpu
    bench_time "rm -rf '$work' && mkdir -p '$work' && cp -r $source '$work/'" "$command"
    printf '%s\t%s\t%s\t%s\n' "$row" "$name" "$median" "$cpu" >> "$results"
    echo "  $row / $name done" >&2
}

row="title of 200 files of 3 pages"
small="'$inputs/small/'*.pdf"
bench "$row" "ventara properties" "$small" "'$ventara' properties --title 'New [Original]' --overwrite yes '$work/'*.pdf"
if [ -n "${BASELINE:-}" ]; then
    bench "$row" "ventara properties (baseline)" "$small" "'$BASELINE' properties --title 'New [Original]' --overwrite yes '$work/'*.pdf"
fi
bench "$row" "exiftool" "$small" "exiftool -q -overwrite_original -Title='New title' '$work/'*.pdf"

row="title of one file of 6000 pages"
large="'$inputs/large.pdf'"
bench "$row" "ventara properties" "$large" "'$ventara' properties --title 'New [Original]' --overwrite yes '$work/large.pdf'"
if [ -n "${BASELINE:-}" ]; then
    bench "$row" "ventara properties (baseline)" "$large" "'$BASELINE' properties --title 'New [Original]' --overwrite yes '$work/large.pdf'"
fi
bench "$row" "exiftool" "$large" "exiftool -q -overwrite_original -Title='New title' '$work/large.pdf'"
bench "$row" "pdftk update_info" "$large" "printf 'InfoBegin\nInfoKey: Title\nInfoValue: New title\n' | pdftk '$work/large.pdf' update_info - output '$work/new.pdf' && mv '$work/new.pdf' '$work/large.pdf'"

# --- Report --------------------------------------------------------------------------------
python3 - "$results" "$runs" <<'PY'
import sys
rows, order = {}, []
for line in open(sys.argv[1]):
    row, name, median, cpu = line.rstrip("\n").split("\t")
    if row not in rows:
        rows[row] = []
        order.append(row)
    rows[row].append((name, float(median), float(cpu)))
print(f"Median wall time of {sys.argv[2]} runs (fresh copies each time) and its ratio to the "
      "fastest peer (ventara excluded); mean processor time (user + system).")
for row in order:
    fastest = min(e[1] for e in rows[row] if not e[0].startswith("ventara"))
    print(f"\n{row}\n  {'tool':<32}{'wall s':>8}{'ratio':>7}{'cpu s':>8}")
    for name, median, cpu in rows[row]:
        print(f"  {name:<32}{median:>8.3f}{median / fastest:>7.2f}{cpu:>8.3f}")
PY
