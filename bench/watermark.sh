#!/usr/bin/env bash
# Watermark benchmark: `ventara watermark` on 300 pages (a text stamp, an image stamp, and both
# tiled) against overlaying a prepared one-page stamp with qpdf --overlay, pdftk stamp and
# MuPDF (bench/mutool-overlay.js). See bench/README.md ("Watermark").
# Usage: bash bench/watermark.sh
#
# Environment: RUNS (timed runs per command, default 5), BENCH_DIR (inputs and scratch,
# default build/bench-watermark), BUILD_DIR (build folder, default build/bench), JOBS (build
# jobs, default 2), VENTARA (use this ventara binary, whose helper ventara-stamp is where it
# looks for it, instead of building one).
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
script=watermark.sh
runs="${RUNS:-5}"
bench_dir="${BENCH_DIR:-$repo/build/bench-watermark}"
build_dir="${BUILD_DIR:-$repo/build/bench}"
inputs="$bench_dir/inputs"
scratch="$bench_dir/out"
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"

bench_need cmake ninja gs qpdf pdftk mutool hyperfine python3 convert time

# --- Build the command line ----------------------------------------------------------------
bench_ventara ventara ventara-stamp

# --- Inputs, generated once ----------------------------------------------------------------
# 300 A4 pages of real text (46 lines of words, a Ghostscript-embedded font), a 600 x 400 RGBA
# logo with soft edges, and the stamps the peers overlay: one-page PDFs of the same watermarks,
# drawn by ventara on an empty page of the same size.
if [ ! -f "$inputs/done" ]; then
    echo "Generating inputs in $inputs (once)..." >&2
    rm -rf "$inputs"
    mkdir -p "$inputs"
    cat > "$inputs/long.ps" <<'PS'
%!PS
/words [(lorem) (ipsum) (dolor) (sit) (amet) (consectetur) (adipiscing) (elit) (sed) (do)
  (eiusmod) (tempor) (incididunt) (ut) (labore) (et) (dolore) (magna) (aliqua) (enim) (ad)
  (minim) (veniam) (quis) (nostrud) (exercitation) (ullamco) (laboris) (nisi) (aliquip) (ex)
  (ea) (commodo) (consequat)] def
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
    gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -o "$inputs/long300.pdf" "$inputs/long.ps" >/dev/null
    printf '%%!PS\n<< /PageSize [595 842] >> setpagedevice showpage\n' |
        gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -o "$inputs/blank.pdf" - >/dev/null
    convert -size 600x400 radial-gradient:'rgba(200,30,30,0.9)'-'rgba(30,30,200,0)' \
            "$inputs/logo.png"
    touch "$inputs/done"
fi
long="$inputs/long300.pdf"
logo="$inputs/logo.png"

# The three watermarks, as ventara options.
text_options=(--text "CONFIDENTIAL" --size 60 --position center --rotate 45 --color "#cc0000"
              --opacity 40)
image_options=(--text "" --image "$logo" --scale 50 --image-position center --image-quality 2)
tiled_options=(--text "DRAFT" --size 36 --position tile --rotate 45 --spacing 60 --opacity 30
               --image "$logo" --scale 10 --image-position tile --image-spacing 80)

# A one-page stamp of each, for the peers.
make_stamp() { # name options...
    local name="$1"
    shift
    local folder="$inputs/stamp-$name"
    rm -rf "$folder" && mkdir -p "$folder"
    "$ventara" watermark "$@" --names '[FileName]' --overwrite yes -o "$folder" "$inputs/blank.pdf" >/dev/null
    echo "$folder/blank.pdf"
}
text_stamp=$(make_stamp text "${text_options[@]}")
image_stamp=$(make_stamp image "${image_options[@]}")
tiled_stamp=$(make_stamp tiled "${tiled_options[@]}")

# --- Measuring -----------------------------------------------------------------------------
results="$bench_dir/results.tsv"
: > "$results"
mkdir -p "$scratch"

# bench ROW NAME OUTPUT COMMAND: median wall time over $runs runs (hyperfine, one warm-up, the
# output folder emptied before each run), mean processor time (user + system), peak resident
# memory of one more run, and the size of the file it wrote.
bench() {
    local row="$1" name="$2" output="$3" command="$4"
    local median cpu peak
    bench_time "rm -rf '$scratch' && mkdir -p '$scratch'" "$command"
    rm -rf "$scratch" && mkdir -p "$scratch"
    peak=$(bench_peak "$command")
    local size
    size=$(stat -c %s "$output")
    qpdf --check "$output" >/dev/null 2>&1 || { echo "watermark.sh: $name wrote a damaged file" >&2; exit 1; }
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$row" "$name" "$median" "$cpu" "$peak" "$size" >> "$results"
    echo "  $row / $name: ${median}s" >&2
}

quote() { printf "'%s' " "$@"; }
out="$scratch/long300_Watermarked.pdf"
peers() { # row stamp
    bench "$1" "qpdf --overlay" "$scratch/o.pdf" \
          "qpdf '$long' --overlay '$2' --repeat=1 -- '$scratch/o.pdf'"
    bench "$1" "pdftk stamp" "$scratch/o.pdf" "pdftk '$long' stamp '$2' output '$scratch/o.pdf'"
    bench "$1" "mutool run overlay" "$scratch/o.pdf" \
          "mutool run '$repo/bench/mutool-overlay.js' '$long' '$2' '$scratch/o.pdf'"
}

echo "Stamping 300 pages..." >&2
row="text stamp, 300 pages"
bench "$row" "ventara watermark" "$out" "'$ventara' watermark $(quote "${text_options[@]}") --overwrite yes -o '$scratch' '$long'"
peers "$row" "$text_stamp"
row="image stamp, 300 pages"
bench "$row" "ventara watermark" "$out" "'$ventara' watermark $(quote "${image_options[@]}") --overwrite yes -o '$scratch' '$long'"
peers "$row" "$image_stamp"
row="text and image tiled, 300 pages"
bench "$row" "ventara watermark" "$out" "'$ventara' watermark $(quote "${tiled_options[@]}") --overwrite yes -o '$scratch' '$long'"
peers "$row" "$tiled_stamp"

# The stamp's own weight in ventara's output: its font programs and images, which the size
# bound allows once.
stamp_weight() { # options...
    rm -rf "$scratch" && mkdir -p "$scratch"
    "$ventara" watermark "$@" --overwrite yes -o "$scratch" "$long" >/dev/null
    python3 - "$long" "$out" <<'PY'
import re, sys
def streams(path):
    data = open(path, "rb").read()
    total = 0
    for match in re.finditer(rb"<<((?:(?!>>\s*stream).)*?)>>\s*stream", data, re.S):
        head = match.group(1)
        if re.search(rb"/Subtype\s*/Image|/Length1|/Subtype\s*/CIDFontType0C|/Subtype\s*/Type1C", head):
            length = re.search(rb"/Length\s+(\d+)(\s+\d+\s+R)?", head)
            if length and not length.group(2):
                total += int(length.group(1))
    return total
print(streams(sys.argv[2]) - streams(sys.argv[1]))
PY
}
weights="$bench_dir/weights.tsv"
{
    printf 'text stamp, 300 pages\t%s\n' "$(stamp_weight "${text_options[@]}")"
    printf 'image stamp, 300 pages\t%s\n' "$(stamp_weight "${image_options[@]}")"
    printf 'text and image tiled, 300 pages\t%s\n' "$(stamp_weight "${tiled_options[@]}")"
} > "$weights"

# --- Report --------------------------------------------------------------------------------
python3 - "$results" "$runs" "$(stat -c %s "$long")" "$weights" <<'PY'
import sys
rows, order = {}, []
for line in open(sys.argv[1]):
    row, name, median, cpu, peak, size = line.rstrip("\n").split("\t")
    if row not in rows:
        rows[row] = []
        order.append(row)
    rows[row].append((name, float(median), float(cpu), int(peak), int(size)))
input_size = int(sys.argv[3])
weights = dict(line.rstrip("\n").split("\t") for line in open(sys.argv[4]))
print(f"Median wall time of {sys.argv[2]} runs and its ratio to the fastest peer; mean processor "
      "time (user + system); peak resident memory of one run; output size. Input: "
      f"{input_size} bytes.")
for row in order:
    entries = rows[row]
    fastest = min(e[1] for e in entries if not e[0].startswith("ventara"))
    bound = input_size + int(weights[row]) + 300 * 1024
    print(f"\n{row} (size bound for ventara: input + stamp fonts and images {weights[row]} "
          f"bytes + 1 KB per page = {bound} bytes)")
    print(f"  {'tool':<22}{'wall s':>8}{'ratio':>7}{'cpu s':>8}{'peak MB':>9}{'output KB':>11}")
    for name, median, cpu, peak, size in entries:
        flag = ""
        if name.startswith("ventara"):
            flag = "  within the bound" if size <= bound else "  OVER THE BOUND"
        print(f"  {name:<22}{median:>8.3f}{median / fastest:>7.2f}{cpu:>8.3f}{peak / 1024:>9.1f}"
              f"{size / 1024:>11.1f}{flag}")
PY
