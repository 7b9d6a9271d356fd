# The shared benchmark workloads, sourced by the benchmark scripts: the files that
# ../shared/workloads/make-workloads.sh writes (the same bytes on every run), generated once
# into build/bench-workloads and never committed. Expects $repo (the repository's root).
#
# Environment: WORKLOADS_DIR (where they are, default build/bench-workloads), WORKLOADS_SCRIPT
# (the generator, default ../shared/workloads/make-workloads.sh beside the repository).
workloads="${WORKLOADS_DIR:-$repo/build/bench-workloads}"

# Generates the workloads unless a complete set is there already.
ensure_workloads() {
    [ -f "$workloads/done" ] && return
    local script="${WORKLOADS_SCRIPT:-$repo/../shared/workloads/make-workloads.sh}"
    if [ ! -f "$script" ]; then
        echo "no workload generator at $script (set WORKLOADS_SCRIPT or WORKLOADS_DIR)" >&2
        exit 1
    fi
    echo "Generating the workloads in $workloads (once, a few minutes)..." >&2
    mkdir -p "$workloads"
    bash "$script" "$workloads" >&2
    touch "$workloads/done"
}
