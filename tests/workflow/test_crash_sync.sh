#!/usr/bin/env bash
# Crash test of the synchronization: `vimosync-cli sync --yes` on a generated pair of
# directories is killed with SIGKILL at random moments. After every run each destination
# history must still load whole (with its archives) and hold at least every message it
# held before the first run. Then the same on a file system without hard links (a vfat
# memory card image where one can be mounted, else the tool with link() made to fail).
#
#   test_crash_sync.sh VIMOSYNC_CLI [RUNS]
set -euo pipefail

cli=$(realpath "$1")
runs=${2:-32}
here=$(cd "$(dirname "$0")" && pwd)
gen=$here/../../bench/gen_histories.py
budget=150 # seconds for the killed runs, so that the whole test stays near four minutes
card_budget=90 # the same on a file system without hard links

tmp=$(mktemp -d)
card=$tmp/card
cleanup() {
    if mountpoint -q "$card" 2>/dev/null; then umount "$card" || umount -l "$card"; fi
    rm -rf "$tmp"
}
trap cleanup EXIT
# The trash (for backups) lives inside the test folder: same device, nothing left behind.
export HOME=$tmp/home XDG_DATA_HOME=$tmp/home/.local/share
mkdir -p "$XDG_DATA_HOME"

python3 "$gen" "$tmp/pair" --contacts 24 --messages 1500 --text-bytes 90 --seed 11
src=$tmp/pair/src
dst=$tmp/pair/dst
cp -a "$dst" "$tmp/baseline"

# Archive mode with the smallest parts, so that saves split histories into several files;
# backups on and off.
for backup in 0 1; do
    cat >"$tmp/settings$backup.ini" <<EOF
[Settings]
BackupToRecycleBin=$backup
UseVaryonArchives=1
CreateArchivesFolder=1
NewArchiveSize=100
EOF
done


python3 "$here/crash_check.py" "$cli" "$tmp/settings0.ini" "$tmp/baseline" --save "$tmp/baseline.json"

tool=("$cli")   # the tool as run: env execs it, so that $! is the tool itself
copy=(cp -a)    # how the baseline is laid into the destination
sync_run() { # SETTINGS: one run of the tool on the pair
    "${tool[@]}" --settings "$1" sync --yes "$src" "$dst"
}
reset_dst() {
    rm -rf "$dst"
    "${copy[@]}" "$tmp/baseline" "$dst"
}
check() { python3 "$here/crash_check.py" "$cli" "$tmp/settings0.ini" "$dst" --against "$tmp/baseline.json"; }

# Killed runs from the baseline (label, time budget in seconds, fewest runs in it): one
# undisturbed run first, whose length sets the range of the kill times; then runs killed
# at random moments, each followed by the check; last, what killed runs leave beside the
# histories must be cleared by the next whole run.
crash_runs() {
    local label=$1 time_budget=$2 min_runs=$3
    reset_dst
    local t0 t1
    t0=$(date +%s%N)
    sync_run "$tmp/settings1.ini" >"$tmp/first.out"
    t1=$(date +%s%N)
    full_ms=$(((t1 - t0) / 1000000))
    tail -4 "$tmp/first.out"
    echo "$label: undisturbed run: ${full_ms} ms"
    check

    local start=$SECONDS killed=0 i backup delay_ms pid
    for i in $(seq 1 "$runs"); do
        # Mostly from the untouched baseline, sometimes on top of the previous killed run.
        if [ $((i % 4)) -ne 0 ]; then reset_dst; fi
        backup=$((i % 2))
        delay_ms=$((RANDOM % (full_ms + full_ms / 5 + 1)))
        "${tool[@]}" --settings "$tmp/settings$backup.ini" sync --yes "$src" "$dst" >/dev/null 2>&1 &
        pid=$!
        sleep "$(awk -v ms="$delay_ms" 'BEGIN { printf "%.3f", ms / 1000 }')"
        if kill -9 "$pid" 2>/dev/null; then killed=$((killed + 1)); fi
        wait "$pid" 2>/dev/null || true
        if ! check; then
            echo "FAIL ($label): run $i (backup=$backup) killed after ${delay_ms} ms"
            ls -la "$dst" "$dst/Archive" 2>/dev/null | head -50
            exit 1
        fi
        if [ $((SECONDS - start)) -gt "$time_budget" ]; then
            echo "$label: time budget reached after $i runs"
            [ "$i" -ge "$min_runs" ] || { echo "FAIL ($label): fewer than $min_runs runs in the time budget"; exit 1; }
            break
        fi
    done
    echo "OK ($label): $i runs, $killed killed while running, no history lost or damaged"

    leftovers() { find "$dst" -name '.*' ! -name . | wc -l; }
    for i in $(seq 1 20); do
        reset_dst
        "${tool[@]}" --settings "$tmp/settings1.ini" sync --yes "$src" "$dst" >/dev/null 2>&1 &
        pid=$!
        sleep "$(awk -v ms="$((RANDOM % (full_ms + 1)))" 'BEGIN { printf "%.3f", ms / 1000 }')"
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        [ "$(leftovers)" -eq 0 ] || break
    done
    local before
    before=$(leftovers)
    sync_run "$tmp/settings1.ini" >/dev/null
    check
    if [ "$(leftovers)" -ne 0 ]; then
        echo "FAIL ($label): hidden files left after a whole run:"
        find "$dst" -name '.*' ! -name .
        exit 1
    fi
    echo "OK ($label): $before hidden leftovers of a killed run cleared by the next one"
}

crash_runs "hard links" "$budget" 30

# Both ways: each side of the pair lacks some messages, so that a run writes into both.
# Killed at random moments, every history of either side must load whole and keep what
# it held; the next whole run completes it, and then nothing is left to do either way.
both_budget=60
bsrc=$tmp/both/src
bdst=$tmp/both/dst
cp -a "$src" "$tmp/src_baseline"
python3 "$here/crash_check.py" "$cli" "$tmp/settings0.ini" "$tmp/src_baseline" --save "$tmp/src_baseline.json"
reset_both() {
    rm -rf "$tmp/both"
    mkdir -p "$tmp/both"
    cp -a "$tmp/src_baseline" "$bsrc"
    cp -a "$tmp/baseline" "$bdst"
}
check_both() {
    python3 "$here/crash_check.py" "$cli" "$tmp/settings0.ini" "$bdst" --against "$tmp/baseline.json" &&
        python3 "$here/crash_check.py" "$cli" "$tmp/settings0.ini" "$bsrc" --against "$tmp/src_baseline.json"
}
reset_both
t0=$(date +%s%N)
"$cli" --settings "$tmp/settings1.ini" sync --both --yes "$bsrc" "$bdst" | tail -5
both_ms=$((($(date +%s%N) - t0) / 1000000))
echo "both ways: undisturbed run: ${both_ms} ms"
check_both
start=$SECONDS
killed=0
for i in $(seq 1 "$runs"); do
    if [ $((i % 4)) -ne 0 ]; then reset_both; fi
    backup=$((i % 2))
    delay_ms=$((RANDOM % (both_ms + both_ms / 5 + 1)))
    "$cli" --settings "$tmp/settings$backup.ini" sync --both --yes "$bsrc" "$bdst" >/dev/null 2>&1 &
    pid=$!
    sleep "$(awk -v ms="$delay_ms" 'BEGIN { printf "%.3f", ms / 1000 }')"
    if kill -9 "$pid" 2>/dev/null; then killed=$((killed + 1)); fi
    wait "$pid" 2>/dev/null || true
    if ! check_both; then
        echo "FAIL (both ways): run $i (backup=$backup) killed after ${delay_ms} ms"
        exit 1
    fi
    [ $((SECONDS - start)) -le "$both_budget" ] || break
done
"$cli" --settings "$tmp/settings1.ini" sync --both --yes "$bsrc" "$bdst" >/dev/null
check_both
left=$("$cli" --settings "$tmp/settings1.ini" analyse --both --json "$bsrc" "$bdst" |
    python3 -c 'import json, sys; print(sum(c["checked"] for c in json.load(sys.stdin)["contacts"]))')
if [ "$left" -ne 0 ]; then
    echo "FAIL (both ways): $left contacts still differ after the run that followed the killed ones"
    exit 1
fi
echo "OK (both ways): $i runs, $killed killed while running, no history lost or damaged on either side; the next run completed them"

# A file system without hard links: a vfat image on a loop device where this machine can
# mount one (as root, with mkfs.vfat), else the tool with a shim that fails every link.
if [ "$(id -u)" -eq 0 ] && command -v mkfs.vfat >/dev/null && truncate -s 96M "$tmp/card.img" &&
    mkfs.vfat "$tmp/card.img" >/dev/null 2>&1 && mkdir -p "$card" &&
    mount -o loop,utf8 "$tmp/card.img" "$card" 2>/dev/null; then
    dst=$card/dst
    copy=(cp -r)
    crash_runs "vfat, no hard links" "$card_budget" 12
elif command -v "${CC:-cc}" >/dev/null &&
    "${CC:-cc}" -shared -fPIC -O2 -o "$tmp/nolink.so" "$here/nolink_shim.c"; then
    echo "no vfat mount here: links made to fail by a shim instead"
    : >"$tmp/linked"
    if env LD_PRELOAD="$tmp/nolink.so" ln "$tmp/linked" "$tmp/linked2" 2>/dev/null; then
        echo "FAIL: the shim does not take effect"
        exit 1
    fi
    # A sanitizer's runtime would otherwise refuse to come after the shim.
    tool=(env LD_PRELOAD="$tmp/nolink.so"
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" "$cli")
    crash_runs "no hard links (shim)" "$card_budget" 12
else
    echo "SKIP: no file system without hard links here (no vfat mount, no C compiler for the shim)"
fi
