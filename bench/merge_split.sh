#!/usr/bin/env bash
# Merge and split benchmark: `ventara merge` and `ventara split --every 10` against qpdf,
# pdfunite/pdfseparate, pdftk and mutool on the same generated inputs. See bench/README.md
# ("Merge and split"). Usage: bash bench/merge_split.sh
#
# Besides its own inputs it merges the shared workload's many-small/ folder (bench/workloads.sh).
#
# Environment: ROUNDS (default 1: how many times each merge row runs all its tools in turn,
# so that a load that comes and goes touches them alike; the report takes the median of the
# rounds), ONLY (run only the rows whose name matches this regular expression: "many-small",
# "merge", "split"), RUNS (timed runs per command, default 5), BENCH_DIR (inputs and scratch,
# default build/bench-merge-split), BUILD_DIR (build folder, default build/bench), JOBS
# (build jobs, default 2), VENTARA (use this ventara binary instead of building one),
# BASELINE (another ventara binary, for example one built from an earlier commit, measured
# in the same run as "ventara ... (baseline)").
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
script=merge_split.sh
runs="${RUNS:-5}"
bench_dir="${BENCH_DIR:-$repo/build/bench-merge-split}"
build_dir="${BUILD_DIR:-$repo/build/bench}"
inputs="$bench_dir/inputs"
scratch="$bench_dir/out"
only="${ONLY:-.}"
# shellcheck source=bench/workloads.sh
source "$repo/bench/workloads.sh"
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"

# The peer tools are installed here, not by scripts/start or scripts/test.
bash "$repo/scripts/setup" build run bench

bench_need cmake ninja gs qpdf pdfunite pdfseparate pdftk mutool hyperfine python3 time

# --- Build the command line ----------------------------------------------------------------
bench_ventara ventara

# --- Inputs, generated once ----------------------------------------------------------------
# Pages of real text: 46 lines of words in one of five standard fonts, embedded by
# Ghostscript as in any office export. Each small file is its own Ghostscript document, so
# every file carries its own fonts, as files from different sources do.
write_ps() { # pages seed font
    cat <<PS
%!PS
/words [(lorem) (ipsum) (dolor) (sit) (amet) (consectetur) (adipiscing) (elit) (sed) (do)
  (eiusmod) (tempor) (incididunt) (ut) (labore) (et) (dolore) (magna) (aliqua) (enim) (ad)
  (minim) (veniam) (quis) (nostrud) (exercitation) (ullamco) (laboris) (nisi) (aliquip) (ex)
  (ea) (commodo) (consequat)] def
/seed $2 def
/rnd { /seed seed 1103515245 mul 12345 add 2147483647 and def seed } def
1 1 $1 {
  /pg exch def
  << /PageSize [595 842] >> setpagedevice
  /$3 findfont 16 scalefont setfont
  60 790 moveto (Page ) show pg 10 string cvs show
  /$3 findfont 10 scalefont setfont
  0 1 45 {
    /ln exch def
    60 760 ln 15 mul sub moveto
    0 1 11 { pop words rnd 16 idiv words length mod get show ( ) show } for
  } for
  showpage
} for
PS
}

make_pdf() { # pages seed font output
    write_ps "$1" "$2" "$3" | gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -o "$4" - >/dev/null
}

fonts=(Times-Roman Helvetica Courier Palatino-Roman NewCenturySchlbk-Roman)
# Made when a row needs them.
ensure_inputs() {
    [ -f "$inputs/done" ] && return
    echo "Generating inputs in $inputs (once)..." >&2
    rm -rf "$inputs"
    mkdir -p "$inputs/small"
    total=0
    for i in $(seq 0 199); do
        # 146 files of 3 pages and 54 of 2, spread evenly: 546 pages in all.
        if [ $(( (i + 1) * 54 / 200 - i * 54 / 200 )) -eq 1 ]; then pages=2; else pages=3; fi
        total=$((total + pages))
        make_pdf "$pages" "$((i + 1))" "${fonts[$((i % 5))]}" "$(printf '%s/small/doc%03d.pdf' "$inputs" "$i")"
    done
    [ "$total" -eq 546 ] || { echo "merge_split.sh: generated $total pages, not 546" >&2; exit 1; }
    make_pdf 300 4242 Times-Roman "$inputs/long300.pdf"
    touch "$inputs/done"
}
long="$inputs/long300.pdf"

# --- Measuring -----------------------------------------------------------------------------
results="$bench_dir/results.tsv"
mkdir -p "$bench_dir" "$scratch"
: > "$results"

# bench ROW NAME NOTE COMMAND: median wall time over $runs runs (hyperfine, one warm-up, the
# output folder emptied before each run), mean processor time (user + system) of those runs,
# peak resident memory of one more run, and the bytes that run wrote.
bench() {
    local row="$1" name="$2" note="$3" command="$4"
    local median cpu peak
    bench_time "rm -rf '$scratch' && mkdir -p '$scratch'" "$command"
    rm -rf "$scratch" && mkdir -p "$scratch"
    peak=$(bench_peak "$command")
    local bytes
    bytes=$(find "$scratch" -type f -printf '%s\n' | awk '{ total += $1 } END { print total + 0 }')
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$row" "$name" "$median" "$cpu" "$peak" "$bytes" "$note" >> "$results"
    echo "  $row / $name: ${median}s" >&2
}


# merge_row ROW FILES: every merging tool on the same files (pdftk only with WITH_PDFTK=1 on
# the workload row: it takes seconds).
merge_row() {
    local row="$1" files="$2"
    bench "$row" "ventara merge" "" "'$ventara' merge --overwrite yes -o '$scratch/merged.pdf' $files"
    if [ -n "${BASELINE:-}" ]; then
        bench "$row" "ventara merge (baseline)" "" "'$BASELINE' merge --overwrite yes -o '$scratch/merged.pdf' $files"
    fi
    bench "$row" "qpdf --empty --pages" "" "qpdf --empty --pages $files -- '$scratch/merged.pdf'"
    bench "$row" "pdfunite" "" "pdfunite $files '$scratch/merged.pdf'"
    if [[ "$row" != *many-small* || "${WITH_PDFTK:-0}" = 1 ]]; then
        bench "$row" "pdftk cat" "" "pdftk $files cat output '$scratch/merged.pdf'"
    fi
    bench "$row" "mutool merge" "" "mutool merge -o '$scratch/merged.pdf' $files"
}

row="merge 200 files, 546 pages"
if [[ "$row" =~ $only ]]; then
    ensure_inputs
    small=("$inputs"/small/doc*.pdf)
    quoted_small=$(printf "'%s' " "${small[@]}")
    echo "Merging 200 files (546 pages)..." >&2
    for _ in $(seq "${ROUNDS:-1}"); do merge_row "$row" "$quoted_small"; done
fi

# The shared workload: 200 files of 1 to 5 pages, each with its own fonts and Info.
row="merge many-small/ (200 files, 546 pages)"
if [[ "$row" =~ $only ]]; then
    ensure_workloads
    echo "Merging the workload's many-small/..." >&2
    workload_files="$(printf "'%s' " "$workloads"/many-small/small-*.pdf)"
    for _ in $(seq "${ROUNDS:-1}"); do merge_row "$row" "$workload_files"; done
fi

row="split 300 pages by 10"
if [[ "$row" =~ $only ]]; then
    ensure_inputs
    echo "Splitting 300 pages into files of 10..." >&2
    mutool_loop=""
    for start in $(seq 1 10 300); do
        mutool_loop+="mutool merge -o '$scratch/part-$start.pdf' '$long' $start-$((start + 9)) && "
    done
    mutool_loop+="true"
    bench "$row" "ventara split --every 10" "" "'$ventara' split --every 10 --overwrite yes -o '$scratch' '$long'"
    if [ -n "${BASELINE:-}" ]; then
        bench "$row" "ventara split (baseline)" "" "'$BASELINE' split --every 10 --overwrite yes -o '$scratch' '$long'"
    fi
    bench "$row" "qpdf --split-pages=10" "" "qpdf --split-pages=10 '$long' '$scratch/part.pdf'"
    bench "$row" "mutool merge x30" "one process per part" "$mutool_loop"
    bench "$row" "pdfseparate" "one file per page (300 files)" "pdfseparate '$long' '$scratch/page-%d.pdf'"
    bench "$row" "pdftk burst" "one file per page (300 files)" "pdftk '$long' burst output '$scratch/page-%04d.pdf'"
fi

# --- Report --------------------------------------------------------------------------------
python3 - "$results" "$runs" <<'PY'
import statistics
import sys
rows = {}
order = []
rounds = {}
for line in open(sys.argv[1]):
    row, name, median, cpu, peak, size, note = line.rstrip("\n").split("\t")
    if row not in rows:
        rows[row] = []
        order.append(row)
    if (row, name) not in rounds:
        rounds[(row, name)] = []
        rows[row].append(name)
    rounds[(row, name)].append((float(median), float(cpu), int(peak), int(size), note))
# Several rounds: the median of the rounds' medians and processor times, the largest peak.
for row in order:
    rows[row] = [(name, statistics.median(r[0] for r in rounds[(row, name)]),
                  statistics.median(r[1] for r in rounds[(row, name)]),
                  max(r[2] for r in rounds[(row, name)]), rounds[(row, name)][-1][3],
                  rounds[(row, name)][-1][4]) for name in rows[row]]
print(f"Median wall time of {sys.argv[2]} runs and its ratio to the fastest peer (ventara "
      "excluded); mean processor time (user + system) and its ratio; peak resident memory of "
      "one run; bytes written and their ratio to qpdf's.")
for row in order:
    entries = rows[row]
    # Peers that write one file per page do other work: they are shown, not compared.
    peers = [e for e in entries if not e[0].startswith("ventara") and "per page" not in e[5]]
    fastest = min(e[1] for e in peers)
    leanest = min(e[2] for e in peers)
    qpdf = next((e[4] for e in entries if e[0].startswith("qpdf")), 0) or 1
    print(f"\n{row}")
    print(f"  {'tool':<28}{'wall s':>8}{'ratio':>7}{'cpu s':>8}{'ratio':>7}{'peak MB':>9}"
          f"{'bytes':>10}{'/qpdf':>7}  note")
    for name, median, cpu, peak, size, note in entries:
        print(f"  {name:<28}{median:>8.3f}{median / fastest:>7.2f}{cpu:>8.3f}{cpu / leanest:>7.2f}"
              f"{peak / 1024:>9.1f}{size:>10}{size / qpdf:>7.3f}  {note}")
PY
