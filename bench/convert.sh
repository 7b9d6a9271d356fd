#!/usr/bin/env bash
# Pages-to-images benchmark: Ventara against pdftoppm, pdftocairo, mutool draw and Ghostscript.
# See bench/README.md ("Conversion"). Usage: bash bench/convert.sh
#
# Environment: RUNS (runs per cell, default 3), BENCH_DIR (inputs and scratch, default
# build/bench-convert), BUILD_DIR (build folder, default build/bench), JOBS (build jobs,
# default 2), ONLY (run only the rows whose "input/setting" matches this regular expression),
# DRIVER=1 (run the engine's pipeline driver instead of `ventara convert`).
#
# Besides its own inputs it converts the first 30 pages of the shared workload's mixed.pdf
# (bench/workloads.sh) to JPEG at 288 dpi (input "workload", setting jpeg-400).
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
script=convert.sh
runs="${RUNS:-3}"
bench_dir="${BENCH_DIR:-$repo/build/bench-convert}"
build_dir="${BUILD_DIR:-$repo/build/bench}"
only="${ONLY:-.}"
inputs="$bench_dir/inputs"
scratch="$bench_dir/out"
# shellcheck source=bench/workloads.sh
source "$repo/bench/workloads.sh"
# shellcheck source=bench/lib.sh
source "$repo/bench/lib.sh"

# The peer tools are installed here, not by scripts/start or scripts/test.
bash "$repo/scripts/setup" build run bench

bench_need cmake ninja gs qpdf pdftoppm pdftocairo mutool
# ImageMagick's own convert, not another program of that name earlier in PATH.
magick_convert=/usr/bin/convert
[ -x "$magick_convert" ] || magick_convert="$(command -v convert || true)"
[ -n "$magick_convert" ] || { echo "convert.sh: ImageMagick is missing" >&2; exit 1; }

# --- Build the converter and the measuring helper ----------------------------------------
bench_build ventara ventara-bench-measure
measure="$build_dir/bin/ventara-bench-measure"
# Ventara runs as the user runs it: the `ventara convert` command. DRIVER=1 runs the engine's
# pipeline through the benchmark driver instead, to tell the command's own cost from the
# engine's.
if [ "${DRIVER:-0}" = 1 ]; then
    bench_build ventara-convert-bench
    ours=("$build_dir/bin/ventara-convert-bench")
    ours_name="ventara-convert-bench (pipeline driver)"
else
    ours=("$build_dir/bin/ventara" convert --overwrite yes)
    ours_name="ventara convert"
fi

# --- Inputs, generated once ---------------------------------------------------------------
make_inputs() {
    local work="$inputs/work"
    mkdir -p "$work"
    # 30 text-heavy A4 pages: two columns of 8.5 pt words in five fonts.
    cat > "$work/text.ps" <<'PS'
%!PS
/words [(lorem) (ipsum) (dolor) (sit) (amet) (consectetur) (adipiscing) (elit) (sed) (do)
  (eiusmod) (tempor) (incididunt) (ut) (labore) (et) (dolore) (magna) (aliqua) (enim) (ad)
  (minim) (veniam) (quis) (nostrud) (exercitation) (ullamco) (laboris) (nisi) (aliquip) (ex)
  (ea) (commodo) (consequat)] def
/fonts [/Times-Roman /Helvetica /Courier /Palatino-Roman /NewCenturySchlbk-Roman] def
/seed 12345 def
/rnd { /seed seed 1103515245 mul 12345 add 2147483647 and def seed } def
1 1 30 {
  /pg exch def
  << /PageSize [595 842] >> setpagedevice
  fonts pg 5 mod get findfont 14 scalefont setfont
  50 800 moveto (Chapter ) show pg 10 string cvs show
  fonts pg 1 add 5 mod get findfont 8.5 scalefont setfont
  0 1 1 {
    /col exch def
    /y 780 def
    { y 40 lt { exit } if
      50 col 255 mul add y moveto
      { currentpoint pop 50 col 255 mul add 235 add gt { exit } if
        words rnd words length mod get show ( ) show } loop
      /y y 10 sub def } loop
  } for
  showpage
} for
PS
    gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -o "$inputs/text-30p.pdf" "$work/text.ps"

    # 30 mixed pages: photos of 6.6 megapixels (full page, half page, beside vector art),
    # portrait and landscape pages, and pages turned by 90, 180 and 270 degrees.
    "$magick_convert" -seed 7 -size 3000x2200 plasma:fractal -quality 90 "$work/img1.jpg"
    "$magick_convert" -seed 3 -size 2400x3200 plasma:red-blue -quality 90 "$work/img2.jpg"
    "$magick_convert" -seed 11 -size 3000x2200 plasma:green-yellow -quality 90 "$work/img3.jpg"
    "$magick_convert" -seed 5 -size 2400x3200 plasma:fractal -quality 90 "$work/img4.jpg"
    cat > "$work/mixed.ps" <<PS
%!PS
/imgs [ [($work/img1.jpg) 3000 2200] [($work/img2.jpg) 2400 3200]
        [($work/img3.jpg) 3000 2200] [($work/img4.jpg) 2400 3200] ] def
PS
    cat >> "$work/mixed.ps" <<'PS'
/drawimg { % [name w h] x y sx sy
  gsave 4 2 roll translate scale
  aload pop /ih exch def /iw exch def /fn exch def
  /DeviceRGB setcolorspace
  << /ImageType 1 /Width iw /Height ih /BitsPerComponent 8 /Decode [0 1 0 1 0 1]
     /ImageMatrix [iw 0 0 ih neg 0 ih] /DataSource fn (r) file /DCTDecode filter >> image
  grestore } def
1 1 30 {
  /pg exch def
  pg 3 mod 2 eq { << /PageSize [842 595] >> } { << /PageSize [595 842] >> } ifelse setpagedevice
  /Helvetica findfont 18 scalefont setfont
  pg 3 mod 0 eq { imgs pg 4 mod get 20 20 555 802 drawimg } if
  pg 3 mod 1 eq {
    50 790 moveto (Figure ) show pg 10 string cvs show
    imgs pg 4 mod get 50 380 495 380 drawimg
    /Times-Roman findfont 10 scalefont setfont
    0 1 30 { /i exch def 50 350 i 10 mul sub moveto
      (The quick brown fox jumps over the lazy dog; pack my box with five dozen liquor jugs.) show } for
  } if
  pg 3 mod 2 eq {
    imgs pg 4 mod get 30 30 500 535 drawimg
    0 1 40 { /i exch def i 40 div 0.5 1 sethsbcolor newpath 680 300 moveto
      680 300 200 i 9 mul dup 30 add arc closepath fill } for
    0 setgray 560 560 moveto (Landscape ) show pg 10 string cvs show
  } if
  showpage
} for
PS
    gs -q -dNOPAUSE -dBATCH -dNOSAFER -sDEVICE=pdfwrite -o "$work/mixed.pdf" "$work/mixed.ps"
    qpdf "$work/mixed.pdf" --rotate=+90:4,10,16,22,28 --rotate=+270:7,19 --rotate=180:13 \
         -- "$inputs/mixed-30p.pdf"
    rm -rf "$work"
}
if [ ! -s "$inputs/text-30p.pdf" ] || [ ! -s "$inputs/mixed-30p.pdf" ]; then
    echo "Generating the inputs in $inputs ..."
    make_inputs
fi

# --- Measuring --------------------------------------------------------------------------------
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

# Every tool of a row runs once per round, $runs rounds, so that a load that comes and goes
# touches them alike. run_once FILE COMMAND...: one run into an empty $scratch; appends
# "seconds peak_kb cpu_seconds", or "failed", to FILE.
run_once() {
    local file="$1" line seconds kb status cpu
    shift
    rm -rf "$scratch" && mkdir -p "$scratch"
    line="$("$measure" "$@")"
    read -r seconds kb status cpu <<<"$line"
    if [ "$status" != 0 ]; then echo failed >> "$file"; else echo "$seconds $kb $cpu" >> "$file"; fi
    rm -rf "$scratch"
}

# summary FILE: "median_seconds peak_kb median_cpu_seconds" of the runs in FILE (the peak is
# the largest), or "failed" when any run failed.
summary() {
    if grep -q failed "$1"; then echo failed; return; fi
    printf '%s %s %s\n' "$(awk '{print $1}' "$1" | median)" "$(awk '$2 > p {p = $2} END {print p}' "$1")" \
           "$(awk '{print $3}' "$1" | median)"
}

pages_of() { pdfinfo "$1" | awk '/^Pages:/ {print $2}'; }

results="$bench_dir/results.txt"
mkdir -p "$bench_dir"
: > "$results"
printf '%-10s %-9s %-10s %9s %9s %9s %9s %s\n' input setting tool "median s" "pages/s" \
       "peak MB" "CPU s" "ratio to fastest peer" | tee -a "$results"

for input in text-30p mixed-30p workload; do
    settings=(jpeg-400 png-400 jpeg-100)
    # Each tool's way of converting only some pages: none, or the workload's first 30.
    ours_pages=() poppler_pages=() mutool_pages=() gs_pages=()
    if [ "$input" = workload ]; then
        [[ "$input/jpeg-400" =~ $only ]] || continue
        ensure_workloads
        pdf="$workloads/mixed.pdf"
        pages=30
        settings=(jpeg-400)
        ours_pages=(--pages "[1-30]")
        poppler_pages=(-f 1 -l 30)
        mutool_pages=(1-30)
        gs_pages=(-dFirstPage=1 -dLastPage=30)
    else
        pdf="$inputs/$input.pdf"
        pages="$(pages_of "$pdf")"
    fi
    for setting in "${settings[@]}"; do
        [[ "$input/$setting" =~ $only ]] || continue
        case "$setting" in
            jpeg-400) dpi=288; percent=400; fmt=jpg; ext=jpg ;;
            png-400) dpi=288; percent=400; fmt=png; ext=png ;;
            jpeg-100) dpi=72; percent=100; fmt=jpg; ext=jpg ;;
        esac
        declare -A cell=()
        tools=(ours pdftoppm pdftocairo)
        # mutool draw writes no JPEG: on the workload row it writes PNM files, less work
        # than any encoder, shown beside the others but not counted as the fastest peer.
        [ "$fmt" = png ] || [ "$input" = workload ] && tools+=(mutool)
        tools+=(gs)
        command_of() { # TOOL: sets cmd
            case "$1:$fmt" in
                ours:*) cmd=("${ours[@]}" --format "$fmt" --quality 80 --percent "$percent"
                             --dpi "$dpi" --multipage none "${ours_pages[@]}" -o "$scratch" "$pdf") ;;
                pdftoppm:jpg) cmd=(pdftoppm -cropbox -r "$dpi" -jpeg -jpegopt quality=80
                                   "${poppler_pages[@]}" "$pdf" "$scratch/p") ;;
                pdftoppm:png) cmd=(pdftoppm -cropbox -r "$dpi" -png "${poppler_pages[@]}" "$pdf" "$scratch/p") ;;
                pdftocairo:jpg) cmd=(pdftocairo -r "$dpi" -jpeg -jpegopt quality=80
                                     "${poppler_pages[@]}" "$pdf" "$scratch/p") ;;
                pdftocairo:png) cmd=(pdftocairo -r "$dpi" -png "${poppler_pages[@]}" "$pdf" "$scratch/p") ;;
                mutool:png) cmd=(mutool draw -q -r "$dpi" -o "$scratch/p%d.png" "$pdf" "${mutool_pages[@]}") ;;
                mutool:jpg) cmd=(mutool draw -q -r "$dpi" -o "$scratch/p%d.pnm" "$pdf" "${mutool_pages[@]}") ;;
                gs:jpg) cmd=(gs -q -dNOPAUSE -dBATCH -dSAFER -dUseCropBox -sDEVICE=jpeg -dJPEGQ=80
                             -dTextAlphaBits=4 -dGraphicsAlphaBits=4 -r"$dpi" "${gs_pages[@]}"
                             -sOutputFile="$scratch/p%03d.jpg" "$pdf") ;;
                gs:png) cmd=(gs -q -dNOPAUSE -dBATCH -dSAFER -dUseCropBox -sDEVICE=png16m
                             -dTextAlphaBits=4 -dGraphicsAlphaBits=4 -r"$dpi" "${gs_pages[@]}"
                             -sOutputFile="$scratch/p%03d.png" "$pdf") ;;
            esac
        }
        for tool in "${tools[@]}"; do : > "$bench_dir/runs-$tool"; done
        for ((round = 0; round < runs; round++)); do
            for tool in "${tools[@]}"; do
                command_of "$tool"
                run_once "$bench_dir/runs-$tool" "${cmd[@]}"
            done
        done
        for tool in "${tools[@]}"; do
            cell[$tool]="$(summary "$bench_dir/runs-$tool")"
            rm -f "$bench_dir/runs-$tool"
        done
        fastest=""
        for tool in "${tools[@]}"; do
            [ "$tool" = ours ] && continue
            [ "$tool:$fmt" = mutool:jpg ] && continue
            read -r seconds _ <<<"${cell[$tool]}"
            [ "$seconds" = failed ] && continue
            if [ -z "$fastest" ] || awk -v a="$seconds" -v b="$fastest" 'BEGIN {exit !(a < b)}'; then
                fastest="$seconds"
            fi
        done
        for tool in "${tools[@]}"; do
            read -r seconds kb cpu <<<"${cell[$tool]}"
            name="$tool"
            [ "$tool" = ours ] && name="ventara"
            if [ "$seconds" = failed ]; then
                printf '%-10s %-9s %-10s %9s\n' "$input" "$setting" "$name" failed | tee -a "$results"
                continue
            fi
            awk -v i="$input" -v s="$setting" -v t="$name" -v sec="$seconds" -v kb="$kb" \
                -v c="$cpu" -v p="$pages" -v f="$fastest" 'BEGIN {
                    printf "%-10s %-9s %-10s %9.2f %9.1f %9.0f %9.2f %s\n", i, s, t, sec, p / sec,
                           kb / 1024, c, (f == "" ? "-" : sprintf("%.2f", sec / f)) }' | tee -a "$results"
        done
        unset cell
    done
done
echo "Ventara ran as: $ours_name; $runs runs per cell, median wall time; results in $results"
