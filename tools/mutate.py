#!/usr/bin/env python3
"""A mutation sample of the portable sources against the native tests.

    tools/mutate.py [--seed N] [--count N] [--build DIR] [--list] [--only 14,30]

Finds every place in the portable libraries' sources (what the native build compiles from src/)
where one small fault can be made: a comparison flipped or loosened, && and || swapped, a boolean
flipped, an off-by-one, a statement removed. A seeded draw picks --count of them; each in turn is
written into its file, the native test programs are rebuilt (unsanitised, for speed) and ctest runs.
A mutant is killed when a test fails, survives when all pass, and is stillborn when it does not
build. The source is put back after each mutant, also on an interrupt.
"""
import argparse
import json
import os
import random
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (name, pattern, replacement): one match becomes one mutant.
OPERATORS = [
    ("== to !=", re.compile(r"(?<=[\w)\]] )==(?= )"), "!="),
    ("!= to ==", re.compile(r"(?<=[\w)\]] )!=(?= )"), "=="),
    ("<= to <", re.compile(r"(?<= )<=(?= )"), "<"),
    (">= to >", re.compile(r"(?<= )>=(?= )"), ">"),
    ("< to <=", re.compile(r"(?<=[\w)\]] )<(?= [\w(])"), "<="),
    ("> to >=", re.compile(r"(?<=[\w)\]] )>(?= [\w(])"), ">="),
    ("&& to ||", re.compile(r"(?<= )&&(?= )"), "||"),
    ("|| to &&", re.compile(r"(?<= )\|\|(?= )"), "&&"),
    ("true to false", re.compile(r"\btrue\b"), "false"),
    ("false to true", re.compile(r"\bfalse\b"), "true"),
    ("+ 1 to + 0", re.compile(r"(?<= )\+ 1\b(?!\.)"), "+ 0"),
    ("- 1 to - 0", re.compile(r"(?<= )- 1\b(?!\.)"), "- 0"),
]
# A whole statement on one line: a call, an assignment or an increment (not a declaration, a return
# or a jump, whose removal rarely builds).
STATEMENT = re.compile(r"^\s*(?!return\b|break\b|continue\b|case\b|default\b|throw\b|goto\b|using\b|"
                       r"const\b|constexpr\b|static\b|auto\b|unsigned\b|int\b|double\b|float\b|bool\b|"
                       r"char\b|long\b|std::\w+<|[A-Z]\w*\s+\w+\s*[=;({])"
                       r"(\+\+|--)?[A-Za-z_][\w.:>\-\[\]]*(\s*(=|\+=|-=|\*=|/=|\|=|&=|\+\+|--)\s*.*|\(.*\))\s*;\s*$")


def run(cmd, **kw):
    return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)


def configure(build):
    r = run(["cmake", "-S", ".", "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
             "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g0", "-DCMAKE_CXX_COMPILER=g++", "-DVASTREL_NATIVE_CHECKS=none"])
    if r.returncode:
        sys.exit("mutate: configuration failed\n" + r.stdout[-3000:])


def test_targets(build):
    """The programs ctest runs, as build targets."""
    out = run(["ctest", "--test-dir", build, "--show-only=json-v1"]).stdout
    names = set()
    for t in json.loads(out)["tests"]:
        exe = t.get("command", [""])[0]
        if exe.startswith(os.path.abspath(os.path.join(ROOT, build))):
            names.add(os.path.basename(exe))
    return sorted(names)


def portable_sources(build):
    with open(os.path.join(ROOT, build, "compile_commands.json")) as f:
        files = {os.path.relpath(e["file"], ROOT) for e in json.load(f)}
    return sorted(p for p in files if p.startswith("src/") and p.endswith(".cpp"))


def code_part(line):
    """The line without a trailing // comment and with string literals blanked."""
    line = re.sub(r'"(\\.|[^"\\])*"', lambda m: '"' + " " * (len(m.group(0)) - 2) + '"', line)
    line = re.sub(r"'(\\.|[^'\\])'", "' '", line)
    cut = line.find("//")
    return line if cut < 0 else line[:cut]


def sites(path):
    found = []
    with open(os.path.join(ROOT, path)) as f:
        lines = f.read().split("\n")
    for no, line in enumerate(lines):
        stripped = line.strip()
        if not stripped or stripped.startswith(("//", "*", "/*", "#")) or "static_assert" in line:
            continue
        code = code_part(line)
        for name, pattern, repl in OPERATORS:
            for m in pattern.finditer(code):
                found.append((path, no, name, m.start(), m.end(), repl))
        if STATEMENT.match(code):
            found.append((path, no, "statement removed", 0, len(line), "{}"))
    return found


def build_and_test(build, targets):
    r = run(["cmake", "--build", build, "-j", str(os.cpu_count() or 2), "--target"] + targets)
    if r.returncode:
        return "stillborn"
    r = run(["ctest", "--test-dir", build, "-j", str(os.cpu_count() or 2), "--stop-on-failure",
             "--timeout", "120"])
    return "killed" if r.returncode else "survived"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--seed", type=int, default=27)
    ap.add_argument("--count", type=int, default=72)
    ap.add_argument("--build", default="build/mutation")
    ap.add_argument("--list", action="store_true", help="print the drawn mutants and stop")
    ap.add_argument("--only", default="", help="comma-separated numbers of the draw to run (e.g. 14,30)")
    a = ap.parse_args()

    configure(a.build)
    everything = [s for p in portable_sources(a.build) for s in sites(p)]
    mutants = sorted(random.Random(a.seed).sample(everything, min(a.count, len(everything))))
    print(f"{len(everything)} places in {len(portable_sources(a.build))} files; seed {a.seed}, {len(mutants)} drawn")
    if a.list:
        for i, (path, no, name, *_rest) in enumerate(mutants, 1):
            print(f"{i:3} {path}:{no + 1} {name}")
        return

    if run(["cmake", "--build", a.build, "-j", str(os.cpu_count() or 2)]).returncode:
        sys.exit("mutate: the unmutated tree does not build")
    targets = test_targets(a.build)  # ctest names the programs once they exist
    if not targets or build_and_test(a.build, targets) != "survived":
        sys.exit("mutate: the unmutated tree does not build or its tests fail")
    tally = {"killed": 0, "survived": 0, "stillborn": 0}
    started = time.time()
    only = {int(n) for n in a.only.split(",") if n.strip()}
    for i, (path, no, name, start, end, repl) in enumerate(mutants, 1):
        if only and i not in only:
            continue
        full = os.path.join(ROOT, path)
        with open(full) as f:
            original = f.read()
        lines = original.split("\n")
        lines[no] = lines[no][:start] + repl + lines[no][end:]
        try:
            with open(full, "w") as f:
                f.write("\n".join(lines))
            verdict = build_and_test(a.build, targets)
        finally:
            with open(full, "w") as f:
                f.write(original)
        tally[verdict] += 1
        print(f"{i:3} {verdict:9} {path}:{no + 1} {name}", flush=True)
    build_and_test(a.build, targets)  # leave the build matching the sources
    judged = tally["killed"] + tally["survived"]
    share = 100.0 * tally["killed"] / judged if judged else 0.0
    print(f"killed {tally['killed']}, survived {tally['survived']}, stillborn {tally['stillborn']}: "
          f"{share:.1f} % of {judged} killed ({time.time() - started:.0f} s)")


if __name__ == "__main__":
    main()
