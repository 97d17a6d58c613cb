"""The check of the crash tests: every history of a destination loads whole (with its
archives) and holds at least every message the baseline held.

    crash_check.py CLI SETTINGS DIR --save BASELINE.json | --against BASELINE.json
"""
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
    err = "" if d.get("valid", False) else "(not valid)"
    err = err or ("" if d.get("archivesComplete", True) else "(archive parts missing)")
    msgs = collections.Counter((m["local"], bool(m["outgoing"]), m["text"]) for m in d["messages"])
    return not err, msgs, err

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
# Verdicts by content: a state of a history seen in an earlier round is not loaded again.
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
errors += ["%s is gone" % name for name in base if name not in present]
json.dump(cache, open(cache_path, "w"))
if errors:
    print("\n".join(errors[:20]))
    sys.exit(1)
