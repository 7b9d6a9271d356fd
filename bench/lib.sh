# shellcheck shell=bash disable=SC2034,SC2154
# Shared parts of the benchmark scripts, sourced by them. Expects $repo (the repository's
# root), $script (the script's name, for messages) and, where used, $build_dir, $bench_dir
# and $runs.

# bench_need TOOL...: stops when a tool is missing ("time" stands for /usr/bin/time).
bench_need() {
    local tool
    for tool in "$@"; do
        if [ "$tool" = time ]; then
            [ -x /usr/bin/time ] && continue
            echo "$script: /usr/bin/time is missing (package time)" >&2
            exit 1
        fi
        command -v "$tool" >/dev/null 2>&1 && continue
        echo "$script: $tool is missing (bash scripts/setup bench installs it)" >&2
        exit 1
    done
}

# bench_build TARGET...: builds the targets in $build_dir, optimised, without the window
# program and the tests.
bench_build() {
    cmake -S "$repo" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DVENTARA_BUILD_GUI=OFF -DVENTARA_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build_dir" -j "${JOBS:-2}" --target "$@" >/dev/null
}

# bench_ventara TARGET...: sets $ventara to $VENTARA when that is set, else builds the targets
# and takes the ventara built.
bench_ventara() {
    if [ -n "${VENTARA:-}" ]; then
        ventara="$VENTARA"
    else
        bench_build "$@"
        ventara="$build_dir/bin/ventara"
    fi
}

# bench_time PREPARE COMMAND: runs COMMAND once to warm up, then $runs times (hyperfine, with
# PREPARE before each run), and sets $median (median wall time, seconds) and $cpu (mean user
# plus system time, seconds).
bench_time() {
    local json="$bench_dir/hyperfine.json"
    hyperfine --style none --warmup 1 --runs "$runs" --export-json "$json" --prepare "$1" "$2" \
        >/dev/null
    read -r median cpu < <(python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))["results"][0]
print(r["median"], r["user"] + r["system"])' "$json")
}

# bench_peak COMMAND: prints the peak resident memory of one run of COMMAND, in KB.
bench_peak() {
    /usr/bin/time -f '%M' bash -c "$1" 2>&1 >/dev/null | tail -n 1
}
