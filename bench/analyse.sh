#!/usr/bin/env bash
# Measures `vimosync-cli analyse` against reading the same files with cat, as a ratio,
# plus the peak memory (maximum resident set size).
#
#   bench/analyse.sh [VIMOSYNC_CLI] [CONTACTS] [MESSAGES]
#
# Two pairs of directories are generated once into a temporary folder: a realistic one
# (a handheld's version 1 histories against a desktop's versions 2 and 3 and some plain
# text) and the target one (version 2 on both sides). The target is a ratio of at most 3
# and a peak under 64 MB for 500 contacts x 2000 messages a side; the peak must not grow
# with the number of contacts, so the target pair is also analysed with a quarter of the
# contacts.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/src/vimosync-cli}
contacts=${2:-500}
messages=${3:-2000}
runs=3

if [ ! -x /usr/bin/time ]; then
    "$here/../scripts/install-deps"
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

now() { date +%s.%N; }

# best_of CMD...: the shortest wall time of $runs runs, in seconds.
best_of() {
    local best=""
    for _ in $(seq "$runs"); do
        local t0 t1 d
        t0=$(now)
        "$@" >/dev/null
        t1=$(now)
        d=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')
        if [ -z "$best" ] || awk -v d="$d" -v b="$best" 'BEGIN { exit !(d < b) }'; then best=$d; fi
    done
    echo "$best"
}

cat_all() { find "$1/src" "$1/dst" -type f -exec cat {} + >/dev/null; }

measure() { # name dir
    local name=$1 dir=$2
    local size files
    size=$(du -sm "$dir" | cut -f1)
    files=$(find "$dir" -type f | wc -l)
    cat_all "$dir" # warm the page cache
    local tcat tana peak
    tcat=$(best_of cat_all "$dir")
    tana=$(best_of "$cli" analyse "$dir/src" "$dir/dst")
    peak=$( { /usr/bin/time -f "%M" "$cli" analyse "$dir/src" "$dir/dst" >/dev/null; } 2>&1 | tail -1)
    printf '%-28s %5d files %5d MB  cat %6.3f s  analyse %6.3f s  ratio %5.2f  peak %6.1f MB\n' \
        "$name" "$files" "$size" "$tcat" "$tana" "$(awk -v a="$tana" -v c="$tcat" 'BEGIN { print a / c }')" \
        "$(awk -v p="$peak" 'BEGIN { print p / 1024 }')"
}

gen() { python3 "$here/gen_histories.py" "$@"; }

quarter=$((contacts / 4))
gen "$tmp/mixed" --contacts "$contacts" --messages "$messages" --formats mixed --seed 7
gen "$tmp/v2" --contacts "$contacts" --messages "$messages" --formats v2 --seed 8
gen "$tmp/v2q" --contacts "$quarter" --messages "$messages" --formats v2 --seed 9

echo "vimosync-cli analyse, $messages messages per contact and side, best of $runs runs"
measure "mixed, $contacts contacts" "$tmp/mixed"
measure "v2, $contacts contacts" "$tmp/v2"
measure "v2, $quarter contacts" "$tmp/v2q"
