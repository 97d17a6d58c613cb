#!/usr/bin/env bash
# Crash test of the undo: after a whole `vimosync-cli sync --yes` on a generated pair of
# directories, `undo --yes` is killed with SIGKILL at a random moment. After the kill each
# destination history must still load whole (with its archives) and hold at least every
# message it held before the sync. Run again to its end, the undo must give back the
# destination as it was before the sync, byte for byte, and take out of the trash what
# the sync put there; a third undo must find nothing to do.
#
#   test_crash_undo.sh VIMOSYNC_CLI [RUNS]
set -euo pipefail

cli=$(realpath "$1")
runs=${2:-200}
here=$(cd "$(dirname "$0")" && pwd)
gen=$here/../../bench/gen_histories.py
budget=100 # seconds for the killed undos
min_runs=8 # a sanitizer build runs about 17 in the budget

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# The trash and the journal live inside the test folder: same device, nothing left behind.
export HOME=$tmp/home XDG_DATA_HOME=$tmp/home/.local/share
trash=$XDG_DATA_HOME/Trash
journal=$XDG_DATA_HOME/vimosync/journal
mkdir -p "$XDG_DATA_HOME"

python3 "$gen" "$tmp/pair" --contacts 60 --messages 1500 --text-bytes 90 --seed 12 >/dev/null
src=$tmp/pair/src
dst=$tmp/pair/dst
cp -a "$dst" "$tmp/baseline"

# Archive mode with the smallest parts, so that the sync splits each history into several
# files; backups on, since the undo takes the old contents back from the trash.
settings=$tmp/settings.ini
cat >"$settings" <<EOF
[Settings]
BackupToRecycleBin=1
UseVaryonArchives=1
CreateArchivesFolder=1
NewArchiveSize=100
EOF


python3 "$here/crash_check.py" "$cli" "$settings" "$tmp/baseline" --save "$tmp/baseline.json"
check() { python3 "$here/crash_check.py" "$cli" "$settings" "$dst" --against "$tmp/baseline.json"; }
fail() {
    echo "FAIL: $*"
    listed || true
    exit 1
}
as_baseline() { diff -rq "$tmp/baseline" "$dst" | head -20; [ "${PIPESTATUS[0]}" -eq 0 ]; }

# A fresh round: the baseline destination, an empty trash and no journal, then a whole sync.
synced_round() {
    rm -rf "$dst" "$trash" "$journal"
    cp -a "$tmp/baseline" "$dst"
    local rc=0
    "$cli" --settings "$settings" sync --yes "$src" "$dst" >"$tmp/sync.out" 2>&1 || rc=$?
    [ "$rc" -eq 0 ] || { cat "$tmp/sync.out"; fail "the sync exited with $rc"; }
}
undo() { "$cli" --settings "$settings" undo --yes "$dst"; }
listed() { "$cli" --settings "$settings" undo --list "$dst"; }

# What a whole undo must leave: the destination as before the sync, hidden files included;
# no content of the baseline still in the trash; a repeated undo that changes nothing;
# the run listed as undone.
sha256s() { find "$@" -type f -exec sha256sum {} + 2>/dev/null | awk '{ print $1 }' | sort -u; }
trash_state() { find "$trash" -type f -exec sha256sum {} + 2>/dev/null | sort || true; }
undone() { # ROUND
    as_baseline || fail "$1: the destination differs from the baseline"
    local kept
    kept=$(comm -12 <(sha256s "$tmp/baseline") <(sha256s "$trash/files" || true))
    [ -z "$kept" ] || fail "$1: baseline contents still in the trash: $kept"
    trash_state >"$tmp/trash.before"
    local out
    out=$(undo 2>&1) || fail "$1: the repeated undo exited with $?: $out"
    grep -q "undone already" <<<"$out" || fail "$1: the repeated undo says: $out"
    as_baseline || fail "$1: the repeated undo changed the destination"
    trash_state | cmp -s - "$tmp/trash.before" ||
        fail "$1: the repeated undo changed the trash"
    grep -q "  undone$" <<<"$(listed)" || fail "$1: the run is not listed as undone"
}

# One undisturbed undo, whose length sets the range of the kill times.
synced_round
t0=$(date +%s%N)
undo >"$tmp/first.out"
t1=$(date +%s%N)
full_ms=$(((t1 - t0) / 1000000))
echo "$(tail -1 "$tmp/first.out") (${full_ms} ms)"
undone "undisturbed undo"

start=$SECONDS
killed=0
for i in $(seq 1 "$runs"); do
    synced_round
    delay_ms=$((RANDOM % (full_ms + full_ms / 5 + 1)))
    # The tool itself in the background (not a function: its subshell would take the kill).
    "$cli" --settings "$settings" undo --yes "$dst" >/dev/null 2>&1 &
    pid=$!
    sleep "$(awk -v ms="$delay_ms" 'BEGIN { printf "%.3f", ms / 1000 }')"
    kill -9 "$pid" 2>/dev/null || true
    rc=0
    wait "$pid" 2>/dev/null || rc=$?
    round="round $i (undo killed after ${delay_ms} ms)"
    if [ "$rc" -eq 137 ]; then
        killed=$((killed + 1))
    else
        [ "$rc" -eq 0 ] || fail "$round: the undo exited with $rc before the kill"
        # It ended sooner: the machine is less busy than when the first undo was timed.
        full_ms=$((delay_ms < full_ms ? delay_ms : full_ms))
        round="round $i (undo ended before the kill at ${delay_ms} ms)"
    fi
    check || fail "$round: a history lost or damaged"
    grep -Eq "  (can be undone|undo interrupted: can be run again|undone)$" <<<"$(listed)" ||
        fail "$round: the run is listed as neither undoable nor undone"
    out=$(undo 2>&1) || fail "$round: the undo run again exited with $?: $out"
    undone "$round"
    if [ $((SECONDS - start)) -gt "$budget" ]; then
        [ "$i" -ge "$min_runs" ] || fail "fewer than $min_runs rounds in the time budget"
        break
    fi
done
echo "OK: $i undos, $killed killed while running; no history lost, every one ended as an undisturbed undo"
