#!/usr/bin/env python3
"""Plants each fault of the catalogue in a copy of the tree, one at a time,
builds incrementally, runs the suite (no sanitizers, no fuzzing) and says
whether a test caught it.

Usage: scripts/mutate.py [--catalogue tests/faults.txt] [--only SUBSTRING[|SUBSTRING...]] [--jobs N]

The catalogue is blocks separated by blank lines:
    file: link/stalerule.cpp
    breaks: what a user or a script would see go wrong
    from: the original text, exactly once in the file
    to: the faulty text
    escape: (optional) why no test can catch it: equivalent, or unreachable
`from` and `to` may hold \\n for a line break. Lines starting with # are comments.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "mutate")


def read_catalogue(path):
    entries, entry = [], {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if line.startswith("#"):
                continue
            if not line.strip():
                if entry:
                    entries.append(entry)
                    entry = {}
                continue
            key, sep, value = line.partition(":")
            value = value[1:] if value.startswith(" ") else value
            if not sep or key not in ("file", "breaks", "from", "to", "escape"):
                sys.exit(f"{path}:{number}: expected 'key: value', got {line!r}")
            entry.setdefault("line", number)
            entry[key] = value.replace("\\n", "\n")
    if entry:
        entries.append(entry)
    for e in entries:
        missing = [k for k in ("file", "breaks", "from", "to") if k not in e]
        if missing:
            sys.exit(f"{path}:{e['line']}: missing {', '.join(missing)}")
    return entries


def run(cmd, cwd, log):
    with open(log, "w") as out:
        return subprocess.call(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--catalogue", default=os.path.join(ROOT, "tests", "faults.txt"))
    parser.add_argument("--only", default="")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    args = parser.parse_args()
    wanted = args.only.split("|")
    entries = [e for e in read_catalogue(args.catalogue)
               if any(w in e["file"] or w in e["breaks"] for w in wanted)]

    # One copy of the tree, built once; each fault then rebuilds only what it touches.
    tree, build = os.path.join(WORK, "tree"), os.path.join(WORK, "build")
    os.makedirs(WORK, exist_ok=True)
    files = subprocess.check_output(["git", "ls-files", "-z"], cwd=ROOT).decode().split("\0")
    for name in filter(None, files):
        src, dst = os.path.join(ROOT, name), os.path.join(tree, name)
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        if not os.path.exists(dst) or open(src, "rb").read() != open(dst, "rb").read():
            shutil.copy(src, dst)   # a new time, so that make sees the change
    env = dict(os.environ, CCACHE_BASEDIR=tree, CCACHE_NOHASHDIR="1")
    if shutil.which("ccache"):
        env.update(CMAKE_CXX_COMPILER_LAUNCHER="ccache", CMAKE_C_COMPILER_LAUNCHER="ccache")
    configure = ["cmake", "-S", tree, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                 "-DLASERPANEL_HARNESSES=OFF"]
    build_cmd = ["cmake", "--build", build, "-j", str(args.jobs)]
    # Whole-tree checks (the package, the broker) say nothing of a planted fault.
    test_cmd = ["ctest", "-j", str(args.jobs * 2), "--stop-on-failure", "-E", "^(package|mqtt_deps)$"]
    if subprocess.call(configure, env=env, stdout=subprocess.DEVNULL) or \
            subprocess.call(build_cmd, env=env, stdout=subprocess.DEVNULL):
        sys.exit("the unmutated tree does not build")
    if run(test_cmd, build, os.path.join(WORK, "clean.log")):
        sys.exit(f"the unmutated tree fails its tests: {WORK}/clean.log")

    caught = escaped = 0
    start = time.time()
    for i, e in enumerate(entries, 1):
        path = os.path.join(tree, e["file"])
        original = open(path, encoding="utf-8").read()
        if original.count(e["from"]) != 1:
            sys.exit(f"{args.catalogue}:{e['line']}: 'from' occurs {original.count(e['from'])} times in {e['file']}")
        log = os.path.join(WORK, f"fault-{i}.log")
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original.replace(e["from"], e["to"]))
            built = run(build_cmd, tree, log) == 0
            failed = built and run(test_cmd, build, log) != 0
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        if not built:
            # A fault that does not compile says nothing of the tests: mend the entry.
            print(f"{i:3} BROKEN   {e['file']}: does not build, see {log}", flush=True)
            continue
        verdict = "caught" if failed else "ESCAPED"
        caught += failed
        escaped += not failed
        note = "" if failed or "escape" not in e else f" (known: {e['escape']})"
        print(f"{i:3} {verdict:8} {e['file']}: {e['breaks']}{note}", flush=True)
    # Leave the copy's build as the tree is, for the next run.
    subprocess.call(build_cmd, env=env, stdout=subprocess.DEVNULL)
    total = caught + escaped
    if total:
        print(f"{caught} of {total} caught ({100 * caught // total} %) in {int(time.time() - start)} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
