#!/usr/bin/env bash
# Preview benchmark: how long the page preview of the convert window takes to appear once its
# debounce has fired (pages rendered at 4 pixels per point, as the window shows them), on
# Letter pages of the shared workloads (bench/workloads.sh): text, a photo, a grey scan.
# See bench/README.md ("Preview"). Usage: bash bench/preview.sh
#
# Environment: RUNS (refreshes per page after the first, default 9), BUILD_DIR (build folder,
# default build/bench), JOBS (build jobs, default 2).
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
runs="${RUNS:-9}"
build_dir="${BUILD_DIR:-$repo/build/bench}"
# shellcheck source=bench/workloads.sh
source "$repo/bench/workloads.sh"

bash "$repo/scripts/setup" build run bench
cmake -S "$repo" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVENTARA_BUILD_GUI=OFF -DVENTARA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j "${JOBS:-2}" --target ventara-preview-bench >/dev/null
ensure_workloads

# Letter pages: text-heavy.pdf 1 (text in five fonts), mixed.pdf 1 (landscape, a photo of
# 2850 x 1850 pixels) and 4 (a grey scan of 2100 x 2816 pixels).
echo "Preview of a Letter page at 4 px/pt, from the debounce's end to the image shown (ms); target under 150"
printf '%-18s %-11s %8s %8s %8s\n' page image first median slowest
"$build_dir/bin/ventara-preview-bench" "$runs" "$workloads/text-heavy.pdf:1" "$workloads/mixed.pdf:1" \
    "$workloads/mixed.pdf:4" | awk -F'\t' '{ printf "%-18s %-11s %8s %8s %8s\n", $1, $2, $3, $4, $5 }'
