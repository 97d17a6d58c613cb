#!/usr/bin/env bash
# Crash test of the synchronization: `vimosync-cli sync --yes` on a generated pair of
# directories is killed with SIGKILL at random moments. After every run each destination
# history must still load whole (with its archives) and hold at least every message it
# held before the first run.
#
#   test_crash_sync.sh VIMOSYNC_CLI [RUNS]
set -euo pipefail

cli=$(realpath "$1")
runs=${2:-32}
here=$(cd "$(dirname "$0")" && pwd)
gen=$here/../../bench/gen_histories.py
budget=150 # seconds for the killed runs, so that the whole test stays near three minutes

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
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

cat >"$tmp/check.py" <<'EOF'
"""check.py CLI SETTINGS DIR --save BASELINE.json | --against BASELINE.json"""
import collections, hashlib, json, os, subprocess, sys

cli, settings, folder, mode, base_path = sys.argv[1:6]

def histories(d):
    for name in sorted(os.listdir(d)):
        p = os.path.join(d, name)
        if os.path.isfile(p) and not name.startswith(".") and name.lower().endswith((".zmt", ".txt")):
            yield name, p

def load(path):
    r = subprocess.run([cli, "--settings", settings, "dump", "--json", "--archives", path],
                       capture_output=True, text=True)
    if r.returncode != 0:
        return False, collections.Counter(), r.stderr.strip()
    d = json.loads(r.stdout)
    ok = d.get("valid", False) and d.get("archivesComplete", True)
    msgs = collections.Counter((m["local"], bool(m["outgoing"]), m["text"]) for m in d["messages"])
    return ok, msgs, ""

def digest(path):
    """The history file and its archives: equal digests, equal verdicts."""
    h = hashlib.sha1()
    d, name = os.path.split(path)
    stem = os.path.splitext(name)[0] + "_"
    parts = [path]
    arch = os.path.join(d, "Archive")
    if os.path.isdir(arch):
        parts += sorted(os.path.join(arch, n) for n in os.listdir(arch)
                        if n.startswith(stem) and n.lower().endswith(".ahf"))
    for part in parts:
        h.update(part.encode() + b"\0")
        with open(part, "rb") as f:
            h.update(f.read())
    return h.hexdigest()

if mode == "--save":
    base = {}
    for name, p in histories(folder):
        ok, msgs, err = load(p)
        if not ok:
            sys.exit("baseline file %s does not load: %s" % (name, err))
        base[name] = [[list(k), n] for k, n in msgs.items()]
    json.dump(base, open(base_path, "w"))
    print("baseline: %d histories, %d messages" % (len(base), sum(n for v in base.values() for _, n in v)))
    sys.exit(0)

base = json.load(open(base_path))
# Verdicts by content: a file that a run left untouched, or wrote as an earlier run did,
# is not loaded again.
cache_path = base_path + ".verdicts"
cache = json.load(open(cache_path)) if os.path.exists(cache_path) else {}
errors = []
present = dict(histories(folder))
for name, p in present.items():
    key = name + ":" + digest(p)
    if key not in cache:
        ok, msgs, err = load(p)
        verdict = ""
        if not ok:
            verdict = "%s does not load whole %s" % (name, err)
        elif name in base:
            lost = collections.Counter({tuple(k): n for k, n in base[name]}) - msgs
            if lost:
                verdict = "%s lost %d messages, e.g. %s" % (name, sum(lost.values()), next(iter(lost)))
        cache[key] = verdict
    if cache[key]:
        errors.append(cache[key])
for name in base:
    if name not in present:
        errors.append("%s is gone" % name)
json.dump(cache, open(cache_path, "w"))
if errors:
    print("\n".join(errors[:20]))
    sys.exit(1)
EOF

python3 "$tmp/check.py" "$cli" "$tmp/settings0.ini" "$tmp/baseline" --save "$tmp/baseline.json"

# One undisturbed run: it must succeed, and its length sets the range of the kill times.
t0=$(date +%s%N)
"$cli" --settings "$tmp/settings1.ini" sync --yes "$src" "$dst" >"$tmp/first.out"
t1=$(date +%s%N)
full_ms=$(((t1 - t0) / 1000000))
tail -4 "$tmp/first.out"
echo "undisturbed run: ${full_ms} ms"
python3 "$tmp/check.py" "$cli" "$tmp/settings0.ini" "$dst" --against "$tmp/baseline.json"

reset_dst() {
    rm -rf "$dst"
    cp -a "$tmp/baseline" "$dst"
}

start=$SECONDS
killed=0
for i in $(seq 1 "$runs"); do
    # Mostly from the untouched baseline, sometimes on top of the previous killed run.
    if [ $((i % 4)) -ne 0 ]; then reset_dst; fi
    backup=$((i % 2))
    delay_ms=$((RANDOM % (full_ms + full_ms / 5 + 1)))
    "$cli" --settings "$tmp/settings$backup.ini" sync --yes "$src" "$dst" >/dev/null 2>&1 &
    pid=$!
    sleep "$(awk -v ms="$delay_ms" 'BEGIN { printf "%.3f", ms / 1000 }')"
    if kill -9 "$pid" 2>/dev/null; then killed=$((killed + 1)); fi
    wait "$pid" 2>/dev/null || true
    if ! python3 "$tmp/check.py" "$cli" "$tmp/settings0.ini" "$dst" --against "$tmp/baseline.json"; then
        echo "FAIL: run $i (backup=$backup) killed after ${delay_ms} ms"
        ls -la "$dst" "$dst/Archive" 2>/dev/null | head -50
        exit 1
    fi
    if [ $((SECONDS - start)) -gt "$budget" ]; then
        echo "time budget reached after $i runs"
        [ "$i" -ge 30 ] || { echo "FAIL: fewer than 30 runs in the time budget"; exit 1; }
        break
    fi
done
echo "OK: $i runs, $killed killed while running, no history lost or damaged"

# The hidden files that a killed save leaves beside the histories are cleared by the next
# run: kill runs until some are left, then let one run through.
leftovers() { find "$dst" -name '.*' ! -name . | wc -l; }
for i in $(seq 1 20); do
    reset_dst
    "$cli" --settings "$tmp/settings1.ini" sync --yes "$src" "$dst" >/dev/null 2>&1 &
    pid=$!
    sleep "$(awk -v ms="$((RANDOM % (full_ms + 1)))" 'BEGIN { printf "%.3f", ms / 1000 }')"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ "$(leftovers)" -eq 0 ] || break
done
before=$(leftovers)
"$cli" --settings "$tmp/settings1.ini" sync --yes "$src" "$dst" >/dev/null
python3 "$tmp/check.py" "$cli" "$tmp/settings0.ini" "$dst" --against "$tmp/baseline.json"
if [ "$(leftovers)" -ne 0 ]; then
    echo "FAIL: hidden files left after a whole run:"
    find "$dst" -name '.*' ! -name .
    exit 1
fi
echo "OK: $before hidden leftovers of a killed run cleared by the next one"
