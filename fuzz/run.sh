#!/bin/sh
# Runs the libFuzzer targets built in build-fuzz/bin (every *_fuzzer there).
#
#   fuzz/run.sh smoke [SECONDS]          each target SECONDS (60) on its seed corpus;
#                                        fails on any crash, leak, time-out or input
#                                        that takes more than 2 GB
#   fuzz/run.sh campaign SECONDS [TARGET...]
#                                        each target SECONDS, niced, one at a time,
#                                        going on past crashes (kept in
#                                        build-fuzz/campaign/<target>/artifacts);
#                                        then the inputs that add coverage are merged
#                                        into fuzz/corpus/<target>
#
# Seeds: fuzz/corpus/<target>/, dictionary: fuzz/dict/<target>.dict (both optional).
# New inputs of a smoke run go to a scratch folder, never into the seeds.
set -u
cd "$(dirname "$0")/.."
ROOT=$PWD
BIN=${FUZZ_BIN:-$ROOT/build-fuzz/bin}
MODE=${1:-smoke}
RSS_MB=2048
INPUT_TIMEOUT=25

targets() {
    if [ $# -gt 0 ]; then echo "$@"; return; fi
    for f in "$BIN"/*_fuzzer; do [ -x "$f" ] && basename "$f"; done
}

options() {  # common libFuzzer options for target $1
    echo "-rss_limit_mb=$RSS_MB -timeout=$INPUT_TIMEOUT -print_final_stats=1"
    [ -f "$ROOT/fuzz/dict/$1.dict" ] && echo "-dict=$ROOT/fuzz/dict/$1.dict"
}

seeds() {
    [ -d "$ROOT/fuzz/corpus/$1" ] && echo "$ROOT/fuzz/corpus/$1"
}

case "$MODE" in
smoke)
    SECONDS_EACH=${2:-60}
    failed=""
    for t in $(targets); do
        work=$(mktemp -d "${TMPDIR:-/tmp}/fuzz-smoke-$t-XXXXXX")
        echo "== $t: $SECONDS_EACH s"
        # A fixed seed (FUZZ_SEED, default 1) makes a smoke run repeat the same
        # mutations, so CI fails on a change, not on the luck of a draw; the
        # campaign runs draw their own seeds.
        # Artifacts (the failing input) are kept in build-fuzz/ for a look afterwards.
        mkdir -p "$(dirname "$BIN")/artifacts"
        # shellcheck disable=SC2046
        (cd "$work" && "$BIN/$t" $(options "$t") -seed="${FUZZ_SEED:-1}" -max_total_time="$SECONDS_EACH" \
            -artifact_prefix="$(dirname "$BIN")/artifacts/$t-" "$work" $(seeds "$t") >"$work/log" 2>&1)
        rc=$?
        grep -aE '^(#[0-9]+.*(DONE|INITED)|Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/log"
        if [ $rc -ne 0 ]; then
            echo "!! $t failed (exit $rc):"
            grep -aE 'ERROR|SUMMARY|artifact|==[0-9]+==' "$work/log" | head -20
            failed="$failed $t"
        fi
        rm -rf "$work"
    done
    if [ -n "$failed" ]; then
        echo "fuzz-smoke: failures in:$failed"
        exit 1
    fi
    echo "fuzz-smoke: all targets ran clean"
    ;;
campaign)
    SECONDS_EACH=${2:?seconds per target}
    shift 2
    for t in $(targets "$@"); do
        dir=$ROOT/build-fuzz/campaign/$t
        mkdir -p "$dir/corpus" "$dir/artifacts"
        start=$(date +%s)
        # One job on one core; crashes, time-outs and memory faults are kept and the run goes on.
        # shellcheck disable=SC2046
        (cd "$dir" && nice -n 19 "$BIN/$t" $(options "$t") -fork=1 -ignore_crashes=1 -ignore_ooms=1 \
            -ignore_timeouts=1 -max_total_time="$SECONDS_EACH" -artifact_prefix="$dir/artifacts/" \
            "$dir/corpus" $(seeds "$t") >>"$dir/log" 2>&1)
        end=$(date +%s)
        before=$(ls "$ROOT/fuzz/corpus/$t" 2>/dev/null | wc -l)
        mkdir -p "$ROOT/fuzz/corpus/$t"
        (cd "$dir" && nice -n 19 "$BIN/$t" -merge=1 -rss_limit_mb=$RSS_MB -timeout=$INPUT_TIMEOUT \
            "$ROOT/fuzz/corpus/$t" "$dir/corpus" >>"$dir/merge.log" 2>&1)
        after=$(ls "$ROOT/fuzz/corpus/$t" | wc -l)
        last=$(grep -aE '^#[0-9]+' "$dir/log" | tail -1)
        echo "$t: $((end - start)) s; $last; artifacts: $(ls "$dir/artifacts" | wc -l); seeds $before -> $after" |
            tee -a "$ROOT/build-fuzz/campaign/summary.txt"
    done
    ;;
*)
    echo "usage: $0 smoke [SECONDS] | campaign SECONDS [TARGET...]" >&2
    exit 2
    ;;
esac
