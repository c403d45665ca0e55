#!/usr/bin/env python3
"""attack.py: the Access engine attacked from outside, as a user's damaged files and crashes would.

  attack.py mutate --cli PATH [--mutations N] [--seed S] [--timeout T] [--out DIR]
      Copies of every fixture, each damaged in one of several ways (bytes flipped, a page
      zeroed, numbers replaced by edge values, a page copied over another, the file cut short),
      go through `dunmorrow-cli tables`, `dump` (the first table), `check` and `exec` (a short
      script that creates, fills, copies and drops tables). A run that dies of a signal or
      prints a sanitizer report is a crash, one that outlives the timeout a hang; the input is
      kept in DIR. For every copy the check is run before and after `exec`: a write into a copy
      that failed the check, and problems the write added, are counted.

  attack.py kill --cli PATH [--rounds N] [--seed S] [--out DIR]
      Long scripts (tables with an index and long values filled, side tables created and
      dropped) run through `dunmorrow-cli exec` on copies of fixtures and are killed with
      SIGKILL, half of the time at a random moment, half at a chosen write of the file or its
      journal (strace's fault injection). After each kill, and before anything of Dunmorrow
      opens the file again, mdb-export must read every table, and each table must be as the
      script left it after some number of its lines; then `dunmorrow-cli check` must find the
      file sound, and mdb-export must then read exactly what the engine reads.

Prints one summary line of figures per mode (and JSON with --json). Needs DM_FIXTURES (or
../shared/fixtures beside the checkout), and mdbtools and strace for `kill`.
"""
import argparse
import json
import os
import random
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PASSWORDS = {"db2007-enc.accdb": "Test123", "db2013-enc.accdb": "1234"}
SANITIZER = re.compile(r"ERROR: (Address|Leak|Memory)Sanitizer|runtime error:|SUMMARY: \w+Sanitizer")


def fixtures_dir():
    return os.environ.get("DM_FIXTURES", os.path.join(ROOT, "..", "shared", "fixtures"))


def fixture_files():
    out = []
    for d, _, files in os.walk(os.path.join(fixtures_dir(), "access")):
        for f in files:
            if f.endswith((".mdb", ".accdb")):
                out.append(os.path.join(d, f))
    return sorted(out)


def page_size(data):
    return 2048 if len(data) > 0x14 and data[0x14] == 0 else 4096


def run(cmd, timeout, stdin=None, env=None):
    """(status, stdout, stderr, hung); status is -signal when a signal ended the program."""
    try:
        p = subprocess.run(cmd, input=stdin, capture_output=True, timeout=timeout, env=env)
        return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace"), False
    except subprocess.TimeoutExpired as e:
        return None, "", (e.stderr or b"").decode("utf-8", "replace"), True


# ---- mutations ----

EDGE32 = [0, 1, 0x7F, 0x80, 0xFF, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFF80]


def mutate(data, rng):
    b = bytearray(data)
    ps = page_size(b)
    pages = max(1, len(b) // ps)
    kind = rng.choice(["flip", "flip-structure", "zero-page", "zero-structure", "edge-number",
                       "copy-page", "truncate", "zero-run"])
    structural = [p for p in range(min(pages, 4))] + [
        p for p in range(pages) if b[p * ps] in (0x02, 0x05) or
        (b[p * ps] == 0x01 and struct.unpack_from("<I", b, p * ps + 4)[0] == 2)]

    def at_page(p):
        return p * ps + rng.randrange(ps)

    if kind == "flip":
        for _ in range(rng.randint(1, 8)):
            i = rng.randrange(len(b))
            b[i] ^= 1 << rng.randrange(8)
    elif kind == "flip-structure":
        for _ in range(rng.randint(1, 4)):
            i = min(len(b) - 1, at_page(rng.choice(structural)))
            b[i] = rng.randrange(256)
    elif kind in ("zero-page", "zero-structure"):
        p = rng.randrange(1, pages) if kind == "zero-page" or not structural else rng.choice(structural)
        b[p * ps:(p + 1) * ps] = bytes(len(b[p * ps:(p + 1) * ps]))
    elif kind == "edge-number":
        for _ in range(rng.randint(1, 3)):
            i = min(len(b) - 4, at_page(rng.choice(structural)) & ~1)
            v = rng.choice(EDGE32 + [pages, pages + 1, pages - 1])
            if rng.random() < 0.5:
                struct.pack_into("<I", b, i, v & 0xFFFFFFFF)
            else:
                struct.pack_into("<H", b, i, v & 0xFFFF)
    elif kind == "copy-page":
        src, dst = rng.randrange(pages), rng.randrange(1, pages)
        b[dst * ps:(dst + 1) * ps] = b[src * ps:(src + 1) * ps]
    elif kind == "truncate":
        cut = rng.randrange(ps, len(b)) if rng.random() < 0.5 else rng.randrange(1, pages) * ps
        del b[cut:]
    elif kind == "zero-run":
        i = rng.randrange(len(b))
        n = min(rng.choice([2, 4, 16, 64]), len(b) - i)
        b[i:i + n] = bytes(n)
    return bytes(b), kind


EXEC_SCRIPT = "\n".join(
    ["CREATE TABLE zz_attack (id INTEGER PRIMARY KEY, t TEXT(50), m MEMO, d DATETIME)"] +
    ["INSERT INTO zz_attack VALUES (%d, 'row %d', '%s', #2024-01-%02d#)" % (i, i, "m" * (i * 97 % 5000), 1 + i % 28)
     for i in range(40)] +
    ["SELECT * INTO zz_copy FROM zz_attack", "DROP TABLE zz_attack"]) + "\n"


def problems_of(check_out):
    # A write that grows the file changes the page count a problem about a page past the end
    # names; the problem itself is the same.
    return set(re.sub(r"the file has only \d+ pages", "the file has only N pages", l)
               for l in check_out.splitlines() if l.startswith("problem:"))


def mutate_mode(args):
    rng = random.Random(args.seed)
    files = fixture_files()
    if not files:
        sys.exit("attack.py: no fixtures under " + fixtures_dir())
    out_dir = args.out or tempfile.mkdtemp(prefix="attack-")
    os.makedirs(out_dir, exist_ok=True)
    work = tempfile.mkdtemp(prefix="attack-work-")
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=1:abort_on_error=1",
               UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1")
    first_table = {}
    for f in files:
        pw = PASSWORDS.get(os.path.basename(f))
        st, out, _, _ = run([args.cli, "tables", f] + (["--password", pw] if pw else []), 60)
        first_table[f] = out.splitlines()[0] if st == 0 and out.strip() else "MSysObjects"
    stats = dict(files=0, runs=0, crashes=0, hangs=0, sanitizer=0, check_failed=0,
                 wrote_into_failed=0, new_problems_after_write=0, kinds={})
    findings = []
    started = time.time()
    for n in range(args.mutations):
        src = files[n % len(files)]
        data, kind = mutate(open(src, "rb").read(), rng)
        stats["files"] += 1
        stats["kinds"][kind] = stats["kinds"].get(kind, 0) + 1
        path = os.path.join(work, "m" + os.path.splitext(src)[1])
        for leftover in os.listdir(work):
            os.remove(os.path.join(work, leftover))
        with open(path, "wb") as fh:
            fh.write(data)
        pw = PASSWORDS.get(os.path.basename(src))
        pwargs = ["--password", pw] if pw else []

        def one(cmd, stdin=None):
            st, out, err, hung = run([args.cli] + cmd + pwargs, args.timeout, stdin, env)
            stats["runs"] += 1
            bad = None
            if hung:
                stats["hangs"] += 1
                bad = "hang"
            elif SANITIZER.search(err):
                stats["sanitizer"] += 1
                bad = "sanitizer"
            elif st is not None and st < 0:
                stats["crashes"] += 1
                bad = "signal %d" % -st
            if bad:
                keep = os.path.join(out_dir, "%05d-%s-%s%s" % (n, cmd[0], bad.replace(" ", ""),
                                                             os.path.splitext(src)[1]))
                with open(keep, "wb") as fh:
                    fh.write(data)
                findings.append({"mutation": n, "fixture": os.path.relpath(src, fixtures_dir()),
                                 "kind": kind, "command": cmd[0], "what": bad,
                                 "stderr": err[-2000:], "kept": keep})
            return st, out, err

        one(["tables", path])
        one(["dump", path, first_table[src]])
        st, before, before_err = one(["check", path])
        failed = st != 0
        stats["check_failed"] += failed
        with open(path, "rb") as fh:
            before_bytes = fh.read()
        st, _, _ = one(["exec", path], EXEC_SCRIPT.encode())
        with open(path, "rb") as fh:
            wrote = fh.read() != before_bytes
        if wrote:
            st, after, _ = one(["check", path])
            if failed:
                stats["wrote_into_failed"] += 1
                keep = os.path.join(out_dir, "%05d-written%s" % (n, os.path.splitext(src)[1]))
                with open(keep, "wb") as fh:
                    fh.write(data)
                findings.append({"mutation": n, "fixture": os.path.relpath(src, fixtures_dir()),
                                 "kind": kind, "command": "exec", "what": "written into",
                                 "stderr": (before_err or before)[-2000:], "kept": keep})
            added = problems_of(after) - problems_of(before)
            if added and st != 0:
                stats["new_problems_after_write"] += 1
                keep = os.path.join(out_dir, "%05d-worse%s" % (n, os.path.splitext(src)[1]))
                with open(keep, "wb") as fh:
                    fh.write(data)
                findings.append({"mutation": n, "fixture": os.path.relpath(src, fixtures_dir()),
                                 "kind": kind, "command": "exec", "what": "made worse",
                                 "stderr": "\n".join(sorted(added))[:2000], "kept": keep})
        if args.progress and (n + 1) % 100 == 0:
            print("  %d mutations, %d runs, %.0f s" % (n + 1, stats["runs"], time.time() - started),
                  file=sys.stderr)
    shutil.rmtree(work, ignore_errors=True)
    stats["seconds"] = round(time.time() - started)
    print("mutate: %(files)d mutated files, %(runs)d runs: %(crashes)d crashes, %(hangs)d hangs, "
          "%(sanitizer)d sanitizer reports; %(check_failed)d failed the check, written into "
          "anyway: %(wrote_into_failed)d; new problems after a write: %(new_problems_after_write)d "
          "(%(seconds)d s)" % stats)
    for f in findings[:20]:
        print("  finding: %(fixture)s %(kind)s %(command)s: %(what)s (%(kept)s)" % f)
    return stats, findings


# ---- kills ----

def kill_script(inserts, group):
    """The lines: Orders created, then filled; after every `group` rows a side table is created or
    dropped. The runner commits its open group before such a line and runs it alone, so the
    committed states are exactly those at these lines."""
    lines = ["CREATE TABLE Orders (ID INTEGER PRIMARY KEY, Name VARCHAR(40) NOT NULL, Note MEMO, "
             "Amount CURRENCY)"]
    for i in range(inserts):
        note = "NULL" if i % 7 else "'" + chr(65 + i % 26) * (3000 if i % 50 else 9000) + "'"
        lines.append("INSERT INTO Orders VALUES (%d, 'Name %d', %s, %d.25)" % (i, i, note, i % 1000))
        if i % group == group - 1:
            n = i // group
            lines.append("CREATE TABLE Side%d (X INT)" % n if n % 2 == 0 else "DROP TABLE Side%d" % (n - 1))
    return lines


def states(lines):
    """The state after each prefix k, (rows of Orders or -1, frozenset of side tables), and the
    prefixes at which a transaction of the runner can end."""
    rows, sides, out = -1, set(), [(-1, frozenset())]
    for l in lines:
        if l.startswith("CREATE TABLE Orders"):
            rows = 0
        elif l.startswith("INSERT"):
            rows += 1
        elif l.startswith("CREATE TABLE Side"):
            sides.add(l.split()[2])
        elif l.startswith("DROP TABLE Side"):
            sides.discard(l.split()[2])
        out.append((rows, frozenset(sides)))
    alone = [i for i, l in enumerate(lines) if not l.startswith("INSERT")]
    ends = sorted(set([0, len(lines)] + alone + [i + 1 for i in alone]))
    return out, ends


def mdb_view(path):
    """What mdbtools reads: (rows of Orders or -1, side tables, error or None)."""
    st, out, err, hung = run(["mdb-tables", "-1", path], 60)
    if hung or st != 0:
        return None, None, "mdb-tables failed: " + err.strip()[:200]
    tables = out.split()
    sides = frozenset(t for t in tables if t.startswith("Side"))
    for t in sides:
        st, _, err, hung = run(["mdb-export", path, t], 60)
        if hung or st != 0:
            return None, None, "mdb-export %s failed: %s" % (t, err.strip()[:200])
    if "Orders" not in tables:
        return -1, sides, None
    st, out, err, hung = run(["mdb-export", "-H", "-d", "\t", "-q", "", path, "Orders"], 120)
    if hung or st != 0:
        return None, None, "mdb-export Orders failed: " + err.strip()[:200]
    ids = []
    for line in out.splitlines():
        parts = line.split("\t")
        if len(parts) < 2 or parts[1] != "Name %s" % parts[0]:
            return None, None, "a row of Orders reads wrong: " + line[:100]
        ids.append(int(parts[0]))
    if sorted(ids) != list(range(len(ids))):
        return None, None, "Orders holds %d rows that are no prefix of the script" % len(ids)
    return len(ids), sides, None


def count_writes(cli, path, script):
    p = subprocess.run(["strace", "-f", "-c", "-e", "trace=pwrite64,fdatasync,ftruncate", cli,
                        "exec", path], input=script, capture_output=True, timeout=600)
    counts = {}
    for line in p.stderr.decode().splitlines():
        parts = line.split()
        if len(parts) >= 5 and parts[-1] in ("pwrite64", "fdatasync", "ftruncate"):
            counts[parts[-1]] = int(parts[3]) if len(parts) == 6 else int(parts[3])
    return counts


def kill_mode(args):
    rng = random.Random(args.seed)
    sources = [os.path.join(fixtures_dir(), "access", p) for p in
               ("V2007/test2V2007.accdb", "V2003/test2V2003.mdb", "V2010/testV2010.accdb")]
    lines = kill_script(args.inserts, args.group)
    script = ("\n".join(lines) + "\n").encode()
    after, ends = states(lines)
    work = tempfile.mkdtemp(prefix="attack-kill-")
    stats = dict(rounds=0, at_write=0, sound=0, unsound=0, mdb_before_ok=0, mdb_before_bad=0,
                 mdb_after_ok=0, mdb_after_bad=0)
    bad = []
    writes = {}
    for r in range(args.rounds):
        src = sources[r % len(sources)]
        path = os.path.join(work, "k%d%s" % (r, os.path.splitext(src)[1]))
        shutil.copy(src, path)
        os.chmod(path, 0o644)
        if r % 2 == 0 and not args.writes_only:
            p = subprocess.Popen([args.cli, "exec", path], stdin=subprocess.PIPE,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                p.stdin.write(script)
                p.stdin.close()
            except BrokenPipeError:
                pass
            time.sleep(rng.uniform(0.05, args.max_delay))
            p.send_signal(signal.SIGKILL)
            p.wait()
            how = "at a random moment"
        else:
            if src not in writes:
                probe = os.path.join(work, "probe" + os.path.splitext(src)[1])
                shutil.copy(src, probe)
                os.chmod(probe, 0o644)
                writes[src] = count_writes(args.cli, probe, script)
                for leftover in os.listdir(work):
                    if leftover.startswith("probe"):
                        os.remove(os.path.join(work, leftover))
            call = "fdatasync" if rng.random() < 0.2 else "pwrite64"
            total = max(1, writes[src].get(call, 1))
            when = rng.randint(1, total)
            subprocess.run(["strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=" + call,
                            "-e", "inject=%s:signal=SIGKILL:when=%d" % (call, when), args.cli,
                            "exec", path], input=script, capture_output=True, timeout=600)
            stats["at_write"] += 1
            how = "at %s %d of %d" % (call, when, total)
        stats["rounds"] += 1
        where = "round %d (%s, killed %s)" % (r, os.path.basename(src), how)
        # What another program sees before Dunmorrow opened the file again.
        rows, sides, err = mdb_view(path)
        # What the engine keeps: a committed state, at the end of one of the runner's
        # transactions.
        st, out, errtxt, _ = run([args.cli, "check", path], 300)
        if st == 0:
            stats["sound"] += 1
        else:
            stats["unsound"] += 1
            bad.append("%s: the check: %s %s" % (where, out[-400:], errtxt[-400:]))
        st, out, _, _ = run([args.cli, "tables", path], 60)
        engine_tables = frozenset(out.split())
        engine_rows = -1
        if "Orders" in engine_tables:
            st, out, _, _ = run([args.cli, "dump", path, "Orders"], 120)
            engine_rows = max(0, len(out.splitlines()) - 1)
        engine = (engine_rows, frozenset(t for t in engine_tables if t.startswith("Side")))
        committed = [k for k in ends if after[k] == engine]
        if not committed:
            bad.append("%s: the engine reads %s, no committed state of the script" % (where, engine))
            stats["mdb_before_bad"] += 1
        elif err is not None:
            bad.append("%s: before reopening: %s" % (where, err))
            stats["mdb_before_bad"] += 1
        else:
            k = committed[0]
            later = [e for e in ends if e > k]
            allowed = [after[k]] + ([after[later[0]]] if later else [])
            if (rows, sides) in allowed:
                stats["mdb_before_ok"] += 1
            else:
                stats["mdb_before_bad"] += 1
                bad.append("%s: before reopening mdb-export read %s rows and %s, the engine then "
                           "%s rows and %s" % (where, rows, sorted(sides), engine[0], sorted(engine[1])))
        rows2, sides2, err2 = mdb_view(path)
        if err2 is None and (rows2, sides2) == engine:
            stats["mdb_after_ok"] += 1
        else:
            stats["mdb_after_bad"] += 1
            bad.append("%s: after reopening mdb-export read %s/%s, the engine %s %s" %
                       (where, rows2, sorted(sides2 or []), engine, err2 or ""))
        for leftover in os.listdir(work):
            os.remove(os.path.join(work, leftover))
    shutil.rmtree(work, ignore_errors=True)
    print("kill: %(rounds)d kills (%(at_write)d at a chosen write): %(sound)d files sound after "
          "reopening, %(unsound)d not; before reopening mdb-export read the state before or after "
          "the interrupted transaction in %(mdb_before_ok)d, another in %(mdb_before_bad)d; after "
          "reopening it read what the engine reads in %(mdb_after_ok)d, not in %(mdb_after_bad)d"
          % stats)
    for b in bad[:30]:
        print("  " + b)
    return stats, bad


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="mode", required=True)
    m = sub.add_parser("mutate")
    m.add_argument("--cli", required=True)
    m.add_argument("--mutations", type=int, default=3000)
    m.add_argument("--seed", type=int, default=15)
    m.add_argument("--timeout", type=float, default=30)
    m.add_argument("--out")
    m.add_argument("--progress", action="store_true")
    m.add_argument("--json")
    k = sub.add_parser("kill")
    k.add_argument("--cli", required=True)
    k.add_argument("--rounds", type=int, default=60)
    k.add_argument("--seed", type=int, default=15)
    k.add_argument("--inserts", type=int, default=5000)
    k.add_argument("--group", type=int, default=100, help="rows between two side-table lines")
    k.add_argument("--writes-only", action="store_true", help="kill only at chosen writes")
    k.add_argument("--max-delay", type=float, default=3.0)
    k.add_argument("--json")
    args = ap.parse_args()
    stats, details = (mutate_mode if args.mode == "mutate" else kill_mode)(args)
    if args.json:
        with open(args.json, "w") as fh:
            json.dump({"stats": stats, "details": details}, fh, indent=1)


if __name__ == "__main__":
    main()
