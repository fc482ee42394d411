#!/usr/bin/env bash
# Loading and listing large branchwork projects with `branchwork-cli show`,
# each shape at a size N and at 2N, so that the ratio t(2N) / t(N) shows how
# the cost grows: about 2 when it is linear, about 4 when it is quadratic.
#   tabs    N tabs of two nodes each (N = 2,500 and 5,000)
#   prefix  N bytes of ">" before the applet tag (512 KiB and 1 MiB)
#   deep    one tree N levels deep (50,000 and 100,000)
# Prints the best of RUNS runs (default 3) for every size and the ratio.
# CLI defaults to build/branchwork/cli/branchwork-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${CLI:-build/branchwork/cli/branchwork-cli}
runs=${RUNS:-3}
[ -x "$cli" ] || { echo "no $cli: build it first (scripts/build)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$cli" "$work" "$runs" <<'PY'
import os, subprocess, sys, time

cli, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])

def node(name, caption, level):
    return f'\t<PARAM NAME="{name}" VALUE="{caption}; None; None; {level};  ;  ; ; None; None">\r\n'

def tabs(n):
    out = ['<APPLET CODE="Voltarix.class" WIDTH=200 HEIGHT=360>\r\n']
    for t in range(n):
        out.append(f'\t<PARAM NAME="TAB{t}" VALUE="Tab {t}; None; None; None; None; None">\r\n')
        out += [node(f"T{t}I{k}", f"n{k}", k) for k in range(2)]
    out.append("</APPLET>\r\n")
    return "".join(out)

def prefix(n):
    return ">" * n + '<APPLET CODE="Voltar.class">\r\n' + node("I0", "n", 0) + "</APPLET>\r\n"

def deep(n):
    return '<APPLET CODE="Voltar.class">\r\n' + "".join(node(f"I{i}", "n", i) for i in range(n)) + "</APPLET>\r\n"

def best_time(path):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        with open(os.devnull, "wb") as null:
            rc = subprocess.run([cli, "show", path], stdout=null, stderr=subprocess.PIPE).returncode
        took = time.perf_counter() - start
        if rc != 0:
            sys.exit(f"branchwork-cli show {path} failed with exit status {rc}")
        best = took if best is None else min(best, took)
    return best

shapes = [("tabs", tabs, 2500, "tabs"), ("prefix", prefix, 512 * 1024, "bytes"), ("deep", deep, 50000, "levels")]
# The cost of starting the program and showing a one-node project is taken
# off before the ratio, so that small loads do not look flatter than they are.
base_path = os.path.join(work, "base.bwk")
with open(base_path, "w", newline="") as f:
    f.write(deep(1))
base = best_time(base_path)
print(f"branchwork-cli show, best of {runs} runs; start-up and a one-node project: {base:.3f} s")
for name, make, n, unit in shapes:
    times = []
    for size in (n, 2 * n):
        path = os.path.join(work, f"{name}-{size}.bwk")
        with open(path, "w", newline="") as f:
            f.write(make(size))
        times.append(best_time(path))
        print(f"  {name:6} {size:>8} {unit:6} {os.path.getsize(path) / 1e6:7.2f} MB  {times[-1]:7.3f} s")
    net = [max(t - base, 1e-6) for t in times]
    print(f"  {name:6} t(2N)/t(N) = {times[1] / times[0]:.2f}, less start-up {net[1] / net[0]:.2f}"
          "  (linear 2, quadratic 4)")
PY
