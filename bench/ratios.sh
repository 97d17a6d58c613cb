#!/usr/bin/env bash
# The cost of analysing and synchronizing two history directories, as ratios to the plain
# file work they cannot do without, measured in one run:
#
#   analyse / cat              `vimosync-cli analyse` of a version 2 pair against `cat` of
#                              the same files, page cache warm (target: at most 1.0)
#   jobs 2 / jobs 1            the analysis with `--jobs 2` against `--jobs 1` ("n/a" where
#                              the program has no --jobs option)
#   sync / copy                `vimosync-cli sync --yes` of the pair, on a fresh copy of the
#                              destination each run, against `cat` of both sides, `cp -r` of
#                              the source and `sync` (target: at most 2.0)
#   sync --both / sync         a synchronization both ways against one way over the same
#                              pair, where only one side lacks messages (target: at most
#                              1.3) and where both do (target: at most 2.2)
#   peak memory                the maximum resident set size of the analysis and of the
#                              synchronization, for CONTACTS and a quarter of them (target:
#                              at most 64 MB, and no growth with the number of contacts)
#
# Each time is the best wall time of RUNS runs (default 3); the user and system times of
# the same commands follow, since the question is often where the time goes.
#
#   bench/ratios.sh [VIMOSYNC_CLI] [CONTACTS] [MESSAGES]
#
# With the defaults (500 contacts x 2000 messages a side, about 200 MB) a run takes about
# a minute. Everything is generated into a temporary folder and removed at the end; the
# backups of the synchronization go to a trash inside it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cli=$(realpath "${1:-$here/../build/src/vimosync-cli}")
contacts=${2:-500}
messages=${3:-2000}
runs=${RUNS:-3}

if [ ! -x /usr/bin/time ]; then
    "$here/../scripts/install-deps"
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export HOME=$tmp/home XDG_DATA_HOME=$tmp/home/.local/share
mkdir -p "$XDG_DATA_HOME"

# The program's defaults, written out so that no settings file lying beside it counts.
settings=$tmp/settings.ini
cat >"$settings" <<EOF
[Settings]
BackupToRecycleBin=1
UseVaryonArchives=0
EOF

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.${2:-3}f\", $1 }"; }

# best_of PREPARE CMD...: the shortest wall time of $runs runs of CMD, in seconds; PREPARE
# (a function name, or :) runs untimed before each.
best_of() {
    local prepare=$1 best=""
    shift
    for _ in $(seq "$runs"); do
        "$prepare"
        local t0 t1 d
        t0=$(now)
        "$@" >/dev/null
        t1=$(now)
        d=$(calc "$t1 - $t0" 4)
        if [ -z "$best" ] || awk -v d="$d" -v b="$best" 'BEGIN { exit !(d < b) }'; then best=$d; fi
    done
    echo "$best"
}

# usage_of CMD...: "WALL USER SYS PEAK_KB" of one run of CMD.
usage_of() {
    /usr/bin/time -o "$tmp/usage" -f "%e %U %S %M" "$@" >/dev/null 2>&1 || true
    tail -1 "$tmp/usage"
}

gen() { python3 "$here/gen_histories.py" "$@" >/dev/null; }

cli_() { "$cli" --settings "$settings" "$@"; }

quarter=$((contacts / 4))
gen "$tmp/full" --contacts "$contacts" --messages "$messages" --formats v2 --seed 8
gen "$tmp/quarter" --contacts "$quarter" --messages "$messages" --formats v2 --seed 9

cat_pair() { cat "$1"/src/* "$1"/dst/* >/dev/null; }

# A fresh destination for a synchronization, written to the disk before the clock starts.
fresh() { # pair
    rm -rf "$tmp/work" "$XDG_DATA_HOME/Trash"
    cp -r "$1/dst" "$tmp/work"
    sync
}
fresh_full() { fresh "$tmp/full"; }
clear_copy() {
    rm -rf "$tmp/copy"
    sync
}
copy_work() { # pair
    cat_pair "$1"
    cp -r "$1/src" "$tmp/copy"
    sync
}

full=$tmp/full
size=$(du -sm "$full" | cut -f1)
echo "vimosync-cli: $contacts contacts x $messages messages a side (version 2), $size MB;" \
    "best of $runs runs"
# Wall times count whatever else the machine does meanwhile.
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
echo

cat_pair "$full" # warm the page cache
t_cat=$(best_of : cat_pair "$full")
t_ana=$(best_of : cli_ analyse "$full/src" "$full/dst")
read -r _ ana_user ana_sys _ < <(usage_of "$cli" --settings "$settings" analyse "$full/src" "$full/dst")
printf '%-34s %6s   analyse %.3f s (user %.2f s, system %.2f s), cat %.3f s   goal <= 1.0\n' \
    "analyse / cat (warm cache)" "$(calc "$t_ana / $t_cat" 2)" "$t_ana" "$ana_user" "$ana_sys" \
    "$t_cat"

# --jobs is a global option (before the command) of newer versions.
jobs_ratio="n/a"
jobs_note="(this vimosync-cli has no --jobs option)"
if cli_ --jobs 1 --help >/dev/null 2>&1 &&
    cli_ --jobs 2 analyse "$full/src" "$full/dst" >/dev/null 2>&1; then
    t_j1=$(best_of : cli_ --jobs 1 analyse "$full/src" "$full/dst")
    t_j2=$(best_of : cli_ --jobs 2 analyse "$full/src" "$full/dst")
    jobs_ratio=$(calc "$t_j2 / $t_j1" 2)
    jobs_note=$(printf 'jobs 2 %.3f s, jobs 1 %.3f s' "$t_j2" "$t_j1")
fi
printf '%-34s %6s   %s\n' "analyse --jobs 2 / --jobs 1" "$jobs_ratio" "$jobs_note"

t_copy=$(best_of clear_copy copy_work "$full")
t_sync=$(best_of fresh_full cli_ sync --yes "$full/src" "$tmp/work")
fresh_full
read -r _ sync_user sync_sys _ < <(usage_of "$cli" --settings "$settings" sync --yes "$full/src" "$tmp/work")
printf '%-34s %6s   sync %.3f s (user %.2f s, system %.2f s), cat + cp -r + sync %.3f s' \
    "sync / (cat + cp -r + sync)" "$(calc "$t_sync / $t_copy" 2)" "$t_sync" "$sync_user" \
    "$sync_sys" "$t_copy"
echo "   goal <= 2.0"

# Both ways, against one way over the same pair. Where only one side lacks messages: the
# pair's merged history as the source, the old source as the destination. Where both do:
# the generated pair, whose sides each lack some messages.
rm -rf "$tmp/merged"
cp -r "$full/dst" "$tmp/merged"
cli_ sync --yes "$full/src" "$tmp/merged" >/dev/null
fresh_one() {
    rm -rf "$tmp/one" "$XDG_DATA_HOME/Trash"
    mkdir -p "$tmp/one"
    cp -r "$tmp/merged" "$tmp/one/src"
    cp -r "$full/src" "$tmp/one/dst"
    sync
}
fresh_both() {
    rm -rf "$tmp/both" "$XDG_DATA_HOME/Trash"
    mkdir -p "$tmp/both"
    cp -r "$full/src" "$tmp/both/src"
    cp -r "$full/dst" "$tmp/both/dst"
    sync
}
t_one_way=$(best_of fresh_one cli_ sync --yes "$tmp/one/src" "$tmp/one/dst")
t_one_both=$(best_of fresh_one cli_ sync --both --yes "$tmp/one/src" "$tmp/one/dst")
printf '%-34s %6s   both ways %.3f s, one way %.3f s   goal <= 1.3\n' \
    "sync --both / sync, one side lacks" "$(calc "$t_one_both / $t_one_way" 2)" "$t_one_both" \
    "$t_one_way"
t_two_way=$(best_of fresh_both cli_ sync --yes "$tmp/both/src" "$tmp/both/dst")
t_two_both=$(best_of fresh_both cli_ sync --both --yes "$tmp/both/src" "$tmp/both/dst")
printf '%-34s %6s   both ways %.3f s, one way %.3f s   goal <= 2.2\n' \
    "sync --both / sync, both sides lack" "$(calc "$t_two_both / $t_two_way" 2)" "$t_two_both" \
    "$t_two_way"

peak() { # pair command
    local pair=$1 command=$2 kb
    if [ "$command" = sync ]; then
        fresh "$pair"
        read -r _ _ _ kb < <(usage_of "$cli" --settings "$settings" sync --yes "$pair/src" "$tmp/work")
    else
        read -r _ _ _ kb < <(usage_of "$cli" --settings "$settings" analyse "$pair/src" "$pair/dst")
    fi
    calc "$kb / 1024" 1
}
for command in analyse sync; do
    p_full=$(peak "$tmp/full" "$command")
    p_quarter=$(peak "$tmp/quarter" "$command")
    printf '%-34s %6s   %s MB for %d contacts, %s MB for %d   goal <= 64 MB, flat\n' \
        "peak memory, $command" "$(calc "$p_full / $p_quarter" 2)" "$p_full" "$contacts" \
        "$p_quarter" "$quarter"
done
