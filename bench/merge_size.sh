#!/usr/bin/env bash
# Size of merged files: `ventara merge` against `qpdf --empty --pages` on the shared corpus.
# Each readable, unencrypted corpus file is "merged" alone, then all of them together. For
# each file where Ventara writes more, the table lists what its file keeps that qpdf's drops
# (catalog entries such as /Metadata, /StructTreeRoot, /Outlines, /Names, and /Info). See
# bench/README.md ("Merged file size"). Usage: bash bench/merge_size.sh
#
# Environment: CORPUS (default ../shared/corpus beside the repository), VENTARA (default
# build/ci/bin/ventara), BASELINE (another ventara binary, shown in its own column),
# OUT (scratch folder, default build/bench-merge-size).
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${CORPUS:-$repo/../shared/corpus}"
ventara="${VENTARA:-$repo/build/ci/bin/ventara}"
out="${OUT:-$repo/build/bench-merge-size}"
for tool in qpdf python3; do
    command -v "$tool" >/dev/null 2>&1 || { echo "merge_size.sh: $tool is missing" >&2; exit 1; }
done
[ -x "$ventara" ] || { echo "merge_size.sh: no ventara at $ventara (set VENTARA)" >&2; exit 1; }
[ -d "$corpus/pdf" ] || { echo "merge_size.sh: no corpus at $corpus (set CORPUS)" >&2; exit 1; }
rm -rf "$out" && mkdir -p "$out"

# The files every tool can merge: the manifest's unencrypted, readable PDFs.
mapfile -t files < <(awk -F'\t' 'NR > 1 && $7 !~ /not-pdf|damaged-hopeless|encrypted/ { print $1 }' \
                         "$corpus/MANIFEST.tsv" | sed "s|^|$corpus/|")

results="$out/results.tsv"
: > "$results"
measure() { # NAME FILES...
    local name="$1"
    shift
    local v="$out/ventara.pdf" q="$out/qpdf.pdf" b="$out/baseline.pdf"
    rm -f "$v" "$q" "$b"
    "$ventara" merge --overwrite yes -o "$v" "$@" >/dev/null 2>&1 || true
    qpdf --empty --pages "$@" -- "$q" >/dev/null 2>&1 || true
    [ -n "${BASELINE:-}" ] && { "$BASELINE" merge --overwrite yes -o "$b" "$@" >/dev/null 2>&1 || true; }
    [ -f "$v" ] && [ -f "$q" ] || return 0
    python3 - "$name" "$v" "$q" "$b" >> "$results" <<'PY'
import json, os, subprocess, sys
name, ours, theirs, baseline = sys.argv[1:5]
def catalog(path):
    out = subprocess.run(["qpdf", "--json=2", "--json-key=qpdf", path], capture_output=True, text=True).stdout
    objects = json.loads(out)["qpdf"][1]
    trailer = objects["trailer"]["value"]
    info = {"/Info"} if "/Info" in trailer else set()
    return set(objects["obj:" + trailer["/Root"]]["value"]) | info
size = lambda p: os.path.getsize(p) if os.path.exists(p) else 0
extra = sorted(catalog(ours) - catalog(theirs)) if size(ours) > size(theirs) else []
print("\t".join([name, str(size(ours)), str(size(theirs)), str(size(baseline)), " ".join(extra)]))
PY
}

for file in "${files[@]}"; do
    measure "$(basename "$file")" "$file"
done
measure "all ${#files[@]} files together" "${files[@]}"

python3 - "$results" <<'PY'
import sys
rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[1])]
baseline = any(int(r[3]) for r in rows)
head = f"{'input':<48}{'ventara':>10}{'qpdf':>10}{'ratio':>7}"
print(head + (f"{'baseline':>10}{'ratio':>7}" if baseline else "") + "  kept beyond qpdf's")
larger = 0
for name, ours, theirs, base, extra in rows:
    ours, theirs, base = int(ours), int(theirs), int(base)
    larger += ours > theirs
    line = f"{name[:47]:<48}{ours:>10}{theirs:>10}{ours / theirs:>7.3f}"
    if baseline:
        line += f"{base:>10}{base / theirs:>7.3f}"
    print(line + "  " + extra)
print(f"\nventara's file is larger than qpdf's for {larger} of {len(rows)} inputs; "
      "the last column says what it keeps that qpdf drops.")
PY
