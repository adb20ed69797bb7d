#!/usr/bin/env python3
"""Benchmark harness: generates a fixed suite of games with pggen, runs every
solver program on it with a time limit, checks each answer against the known
winners of the family or against the other solvers, and writes a Markdown
table (time per phase, wall time, peak memory) and a plot of time against game
size to the output folder (bench-results/ by default).

    python3 scripts/benchmark.py              # default suite, a few minutes
    python3 scripts/benchmark.py --large      # larger games, longer limits
    python3 scripts/benchmark.py --quick      # tiny games: a smoke run
    python3 scripts/benchmark.py --speedup    # 1 vs 2 threads on big games
    python3 scripts/benchmark.py --gpu        # the device check's short suite

See --help for the other options.
"""

import argparse
import datetime
import json
import os
import platform
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The order in which the results table lists the programs it knows.
PROGRAM_ORDER = ["Vantor", "pgsolver_recursive_frontier", "pgsolver_tangle", "pgsolver_recursive", "Korrel",
                 "pgsolver_spm_wl", "pgsolver_spm",
                 "pgsolver_simple_spm_wl", "pgsolver_spm_oan", "pgsolver_simple_spm_oan", "pgsolver_range_spm"]


def table_programs():
    """(program, alg_id) of every row of the algorithm table in
    src/cudaPGSolver/algorithms.cu, the one list of algorithms, so that a new
    row is benchmarked without an edit here; rows this file does not know
    come after the others."""
    with open(os.path.join(ROOT, "src", "cudaPGSolver", "algorithms.cu")) as f:
        rows = [(program, int(alg)) for alg, program in re.findall(r'\{(\d+), "[^"]*", "([^"]+)"', f.read())]
    known = {p: i for i, p in enumerate(PROGRAM_ORDER)}
    return sorted(rows, key=lambda row: known.get(row[0], len(known)))


# Program name and alg_id.
PROGRAMS = table_programs()
# Whose answer is taken as the reference when a family has no known winner
# and the solvers disagree with no majority.
PREFERENCE = ["Vantor", "pgsolver_recursive", "Korrel", "pgsolver_range_spm"]


def cap(entry, program):
    """The largest node count this program runs in the entry's family: its own
    cap where the suite names one, else its algorithm class's."""
    return entry["caps"].get(program, entry["caps"][algorithm_class(program)])


def algorithm_class(program):
    """Size caps are set per class of algorithm: their bounds differ widely."""
    if program in ("Vantor", "pgsolver_recursive", "pgsolver_recursive_frontier", "pgsolver_tangle"):
        return "recursive"
    if program == "pgsolver_range_spm":
        return "range"
    return "spm"


INF = float("inf")


def game(family, params, nodes, caps, seed=1):
    """A suite entry: pggen family and parameters, the node count, and the
    largest node count each algorithm class is run on in this family."""
    name = family + "-" + "-".join(str(p) for p in params)
    return {"name": name, "family": family, "params": [str(p) for p in params], "nodes": nodes,
            "caps": caps, "seed": seed}


def suite(kind):
    """The fixed suites. Small progress measures are exponential in the number
    of odd colours and need many lifting passes on large games (about n passes
    of n nodes on ladders and random games), so their caps are far below those
    of the recursive solvers; recursive ladders are exponential for Zielonka's
    algorithm (2^K recursive calls) and stay tiny."""
    games = []
    if kind == "quick":
        every = {"recursive": INF, "spm": INF, "range": INF}
        games += [game("random", [200, 4, 2, 5], 200, every),
                  game("steady", [200, 4, 2, 5], 200, every),
                  game("ladder", [100], 200, every),
                  game("recursiveladder", [5], 15, every),
                  game("solitaire", [5], 15, every),
                  game("oddladder", [5], 15, every),
                  game("jurdzinski", [2, 4], 18, every),
                  game("clique", [16], 16, every),
                  game("sccs", [300, 30, 4], 300, every)]
        return games
    if kind == "gpu":
        # The device check's short suite: a few families up to 10^6 nodes.
        # Every size reaches the GPU's regime; with --budget the whole run
        # stays inside its slot whatever a solver does.
        for n in [10**4, 10**5, 10**6]:
            games.append(game("random", [n, 1000, 2, 5], n, {"recursive": INF, "spm": 0, "range": 0}))
        for half in [5000, 500000]:
            games.append(game("ladder", [half], 2 * half, {"recursive": INF, "spm": 10**4, "range": 10**4}))
        for levels in [4, 6]:
            games.append(game("jurdzinski", [levels, 8], 2 * levels * 8 + 2,
                              {"recursive": INF, "spm": INF, "range": INF}))
        for n in [10**4, 10**6]:
            games.append(game("sccs", [n, 1000, 4], n, {"recursive": INF, "spm": 0, "range": 10**4}))
        for n in [10**3, 10**4]:
            games.append(game("random", [n, 4, 2, 5], n, {"recursive": INF, "spm": INF, "range": INF}))
        return games
    large = kind == "large"
    # Random games with many colours: the case of the loading and Vantor targets.
    for n in [10**3, 10**4, 10**5, 10**6] + ([3 * 10**6] if large else []):
        games.append(game("random", [n, 1000, 2, 5], n, {"recursive": INF, "spm": 0, "range": 0}))
    # Random games with few colours, so that the progress measures take part.
    # Measured on the 2-core machine: every progress-measure solver takes at
    # most 3 s at 10^5 nodes (random and steady), the range solver 4 s at
    # 10^6 random nodes, and the two-sided ones 17-23 s at 10^6 random nodes.
    two_sided = {p: INF for p in ("pgsolver_spm", "pgsolver_spm_wl", "pgsolver_spm_oan")}
    for n in [10**3, 3000, 10**4, 10**5] + ([10**6] if large else []):
        games.append(game("random", [n, 4, 2, 5], n, dict(two_sided, recursive=INF, spm=10**5, range=INF)))
    for n in [10**3, 10**4, 10**5] + ([10**6] if large else []):
        games.append(game("steady", [n, 4, 2, 5], n, {"recursive": INF, "spm": 10**5, "range": 10**5}))
    # About n passes of n nodes: 10^5 nodes take more than 30 s.
    for half in [500, 1500, 5000, 50000, 500000] + ([2000000] if large else []):
        games.append(game("ladder", [half], 2 * half, {"recursive": INF, "spm": 10**4, "range": 10**4}))
    for k in [4, 6, 8, 10, 12] + ([14, 16] if large else []):
        games.append(game("recursiveladder", [k], 3 * k, {"recursive": INF, "spm": INF, "range": INF}))
    # Tangle learning removes a rung per dominion: far beyond Zielonka's sizes.
    for k in [50, 200] + ([1000] if large else []):
        games.append(game("recursiveladder", [k], 3 * k, {"recursive": 0, "spm": 0, "range": 0,
                                                          "pgsolver_tangle": INF}))
    # One-player games, acyclic but for self-loops: 3 * 2^K - 4 calls of
    # Zielonka's algorithm, while the progress measures and tangle learning
    # walk through them.
    for k in [6, 10, 14, 16, 18, 20]:
        games.append(game("solitaire", [k], 3 * k, {"recursive": INF, "spm": INF, "range": INF}))
    for k in [1000, 4000]:
        games.append(game("solitaire", [k], 3 * k, {"recursive": 0, "spm": INF, "range": INF,
                                                    "pgsolver_tangle": INF}))
    # Odd wins all: 3 * 2^(K-1) - 4 calls of Zielonka's algorithm; tangle
    # learning needs K searches of K regions (about K^3 work), the progress
    # measures are fast.
    for k in [6, 10, 14, 16, 18, 20]:
        games.append(game("oddladder", [k], 3 * k, {"recursive": INF, "spm": INF, "range": INF}))
    for k in [50, 100, 150, 1000]:
        games.append(game("oddladder", [k], 3 * k, {"recursive": 0, "spm": INF, "range": INF,
                                                    "pgsolver_tangle": 450}))
    # About 8 * 9^(L-1) lifts of one measure: exponential in the levels for the
    # progress measures, easy for the recursive solvers.
    for levels in [2, 3, 4, 5, 6] + ([7] if large else []):
        games.append(game("jurdzinski", [levels, 8], 2 * levels * 8 + 2,
                          {"recursive": INF, "spm": INF, "range": INF}))
    # Far out of reach of the progress measures, easy for the attractor-based solvers.
    games.append(game("jurdzinski", [10, 10], 202, {"recursive": INF, "spm": 0, "range": 0}))
    for n in [32, 128, 512] + ([1024, 2048] if large else []):
        games.append(game("clique", [n], n, {"recursive": INF, "spm": 512, "range": 512}))
    for n in [10**3, 10**4, 10**5, 10**6] + ([3 * 10**6] if large else []):
        games.append(game("sccs", [n, 1000, 4], n, {"recursive": INF, "spm": 3000, "range": 10**5 if large else 10**4}))
    return games


# ----------------------------------------------------------------- known answers

def known_winners(entry):
    """Winner (0 Even, 1 Odd) of every node where the family fixes it."""
    family, p = entry["family"], [int(x) for x in entry["params"]]
    if family == "ladder":
        return bytes(v % 2 for v in range(2 * p[0]))
    if family == "clique" and p[0] >= 4:
        return bytes(v % 2 for v in range(p[0]))
    if family == "recursiveladder":
        return bytes(3 * p[0])
    if family == "jurdzinski":
        return bytes(2 * p[0] * p[1] + 2)
    if family == "solitaire":
        return bytes(3 * p[0])
    if family == "oddladder":
        return bytes([1]) * (3 * p[0])
    return None


# --------------------------------------------------------------- running a program

TIME_LINE = re.compile(r"^(?P<label>.*?(?:took ?:|Total time:)) ?(?P<secs>-?[0-9.]+(?:e[-+]?[0-9]+)?)$")


def parse_report(text):
    """Phases of the first time report in text, label -> seconds."""
    phases = {}
    for line in text.splitlines():
        m = TIME_LINE.match(line)
        if m:
            label = m.group("label").strip()
            if label in phases:
                break  # a second report
            phases[label] = float(m.group("secs"))
    return phases


def parse_list(text):
    text = text.strip()
    if not text:
        return []
    return [int(x) for x in text.replace(",", " ").split()]


def parse_regions(out, n):
    """The winners printed by a program: "Won by Even:" lists by node index,
    the range solver's "Nodes won by Even:" lists by file id (pggen writes id
    = index). None when the output has no regions."""
    out = "\n" + out  # every heading starts a line
    for even_head, odd_head, tail in (("\nNodes won by Even: \n", "\nNodes won by Odd: \n", "\nThis should be empty: \n"),
                                      ("\nWon by Even:\n", "\nWon by Odd:\n", None)):
        i = out.find(even_head)
        if i < 0:
            continue
        j = out.find(odd_head, i)
        if j < 0:
            return None
        k = out.find(tail, j) if tail else -1
        even = parse_list(out[i + len(even_head):j])
        odd = parse_list(out[j + len(odd_head):k if k >= 0 else len(out)])
        winner = bytearray([2] * n)
        for v in even:
            if v >= n:
                return None
            winner[v] = 0
        for v in odd:
            if v >= n:
                return None
            winner[v] = 1
        return bytes(winner)
    return None


PGRUN = None  # path of pgrun, set by main; None: measure the child directly


def run_measured(argv, timeout, env, out_path, err_path):
    """Runs argv with stdout and stderr to files; returns (exit status or None
    when killed at the time limit, wall seconds, peak resident MiB, CPU
    seconds). The program is started through pgrun where it is built: a child
    forked from this (large) Python process would count our pages in its peak."""
    report = out_path + ".rusage"
    if PGRUN:
        argv = [PGRUN, report] + argv
        if os.path.exists(report):
            os.remove(report)
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        start = time.perf_counter()
        proc = subprocess.Popen(argv, stdout=out, stderr=err, stdin=subprocess.DEVNULL, env=env,
                                start_new_session=True)
        killed = []

        def kill():
            killed.append(True)
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

        timer = threading.Timer(timeout, kill)
        timer.start()
        try:
            # wait4 gives this child's own resource usage, its peak memory included.
            _, status, usage = os.wait4(proc.pid, 0)
        finally:
            timer.cancel()
        wall = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
    peak_kib, cpu = usage.ru_maxrss, usage.ru_utime + usage.ru_stime
    if PGRUN and not killed:
        try:
            with open(report) as f:
                fields = f.read().split()
            peak_kib, cpu = int(fields[0]), float(fields[1]) + float(fields[2])
        except (OSError, ValueError, IndexError):
            pass
    return (None if killed else proc.returncode), wall, peak_kib / 1024.0, cpu


def run_program(bin_dir, program, path, n, timeout, env, scratch):
    out_path = os.path.join(scratch, "out.txt")
    err_path = os.path.join(scratch, "err.txt")
    status, wall, peak, cpu = run_measured([os.path.join(bin_dir, program), path], timeout, env, out_path, err_path)
    result = {"program": program, "wall": wall, "peak_mib": peak, "cpu": cpu, "phases": {}, "winner": None}
    if status is None:
        result["status"] = "timeout"
        return result
    with open(err_path, "r", errors="replace") as f:
        err = f.read()
    if "Caught exception: Unkown alg_id" in err:
        result["status"] = "not built"
        return result
    with open(out_path, "r", errors="replace") as f:
        out = f.read()
    result["phases"] = parse_report(out) or parse_report(err)
    caught = re.search(r"^Caught exception: (.*)$", err, re.M)
    if status != 0 or caught:
        result["status"] = "error: " + (caught.group(1) if caught else "exit status %d" % status)
        return result
    winner = parse_regions(out, n)
    if winner is None or 2 in winner:
        result["status"] = "error: no complete regions in the output"
        return result
    result["status"] = "answered"
    result["winner"] = winner
    return result


def judge(entry, results):
    """Marks every answer ok / FAIL / unchecked: against the family's known
    winners where there are some, else against the majority of the answers."""
    answers = [r for r in results if r["status"] == "answered"]
    known = known_winners(entry)
    reference, source = known, "known winners"
    if reference is None and answers:
        counts = {}
        for r in answers:
            counts.setdefault(r["winner"], []).append(r["program"])
        best = max(len(v) for v in counts.values())
        tied = [w for w, v in counts.items() if len(v) == best]

        def rank(w):
            return min(PREFERENCE.index(p) if p in PREFERENCE else len(PREFERENCE) for p in counts[w])

        reference = min(tied, key=rank)
        source = "agreement of " + ", ".join(counts[reference])
    for r in answers:
        if r["winner"] != reference:
            bad = sum(1 for a, b in zip(r["winner"], reference) if a != b)
            r["status"] = "FAIL (%d nodes differ from the %s)" % (bad, source)
        elif known is None and len(answers) == 1:
            r["status"] = "unchecked (only answer)"
        else:
            r["status"] = "ok"
    return source


# --------------------------------------------------------------------- the report

def fmt(x, digits=3):
    if x is None:
        return "-"
    return ("%." + str(digits) + "f") % x


def phase(r, *labels):
    for key, value in r["phases"].items():
        for label in labels:
            if key.startswith(label):
                return value
    return None


def markdown_table(entries, meta):
    lines = ["# Benchmark results", ""]
    for k, v in meta.items():
        lines.append("- %s: %s" % (k, v))
    lines += ["",
              "Phase times are the programs' own time report (wall clock, seconds, "
              "millisecond resolution): load = \"setting up gpu_arena\" (read and convert), "
              "upload = \"initializing device memory\", solve = \"solving\" or \"recursive iteration\" "
              "(with \"preprocessing\" for the range solver). wall is measured around the whole "
              "process, peak memory is its peak resident set (from wait4).", ""]
    header = "| game | nodes | edges | program | status | load s | upload s | solve s | total s | wall s | peak MiB |"
    family = None
    for e in entries:
        if e["family"] != family:
            family = e["family"]
            lines += ["", "## " + family, "", header, "|" + "---|" * 11]
        for r in e["results"]:
            solve = phase(r, "solving took", "recursive iteration took")
            pre = phase(r, "preprocessing took")
            if solve is not None and pre is not None:
                solve += pre
            lines.append("| %s | %d | %s | %s | %s | %s | %s | %s | %s | %s | %s |" % (
                e["name"], e["nodes"], e.get("edges", "-"), r["program"], r["status"],
                fmt(phase(r, "setting up gpu_arena took")), fmt(phase(r, "initializing device memory took")),
                fmt(solve), fmt(r["phases"].get("Total time:")),
                fmt(r["wall"], 2) if not r["status"].startswith(("not built", "skipped")) else "-",
                fmt(r["peak_mib"], 1) if not r["status"].startswith(("not built", "timeout", "skipped")) else "-"))
    summary = {}
    for e in entries:
        for r in e["results"]:
            s = summary.setdefault(r["program"], {})
            key = r["status"].split(" ")[0].rstrip(":")
            s[key] = s.get(key, 0) + 1
    lines += ["", "## Summary per program", "", "| program | " + " | ".join(
        ["ok", "FAIL", "unchecked", "timeout", "error", "not", "skipped"]) + " |", "|" + "---|" * 8]
    for program, _ in PROGRAMS:
        s = summary.get(program, {})
        lines.append("| %s | %s |" % (program, " | ".join(str(s.get(k, 0)) for k in
                                                             ["ok", "FAIL", "unchecked", "timeout", "error",
                                                              "not", "skipped"])))
    lines.append("")
    lines.append("(\"not\" counts runs answered \"Unkown alg_id\": the algorithm is not built yet; \"skipped\" runs "
                 "that the time budget left out.)")
    return "\n".join(lines) + "\n"


def ensure_matplotlib():
    try:
        import matplotlib  # noqa: F401
        return True
    except ImportError:
        pass
    print("matplotlib is missing; installing it with pip ...", flush=True)
    for extra in ([], ["--user"]):
        r = subprocess.run([sys.executable, "-m", "pip", "install", "--quiet"] + extra + ["matplotlib"])
        if r.returncode == 0:
            try:
                import importlib
                import site
                importlib.invalidate_caches()
                if extra:
                    sys.path.append(site.getusersitepackages())
                import matplotlib  # noqa: F401,F811
                return True
            except ImportError:
                pass
    return False


def plot(entries, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    families = []
    for e in entries:
        if e["family"] not in families:
            families.append(e["family"])
    cols = 3
    rows = (len(families) + cols - 1) // cols
    fig, axes = plt.subplots(rows, cols, figsize=(6 * cols, 4.2 * rows), squeeze=False)
    for ax, family in zip(axes.flat, families):
        # Games of one family may differ in more than size (random: colours);
        # each variant gets its own line.
        series = {}
        for e in entries:
            if e["family"] != family:
                continue
            variant = "" if family not in ("random",) else " p=" + e["params"][1]
            for r in e["results"]:
                if r["status"] == "ok" or r["status"].startswith("unchecked"):
                    series.setdefault(r["program"] + variant, []).append((e["nodes"], max(r["wall"], 1e-3)))
        for label, points in sorted(series.items()):
            points.sort()
            ax.plot([p[0] for p in points], [p[1] for p in points], marker="o", label=label)
        ax.set_xscale("log")
        ax.set_yscale("log")
        ax.set_title(family)
        ax.set_xlabel("nodes")
        ax.set_ylabel("wall time (s)")
        ax.grid(True, which="both", alpha=0.3)
        if series:
            ax.legend(fontsize=7)
    for ax in list(axes.flat)[len(families):]:
        ax.axis("off")
    fig.tight_layout()
    fig.savefig(path, dpi=110)


# ------------------------------------------------------------------------- driving

def build(build_dir):
    jobs = os.environ.get("BENCH_BUILD_JOBS", "2")
    subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release"], check=True,
                   stdout=subprocess.DEVNULL)
    targets = ["pggen", "pgrun"] + [p for p, _ in PROGRAMS]
    subprocess.run(["cmake", "--build", build_dir, "-j" + jobs, "--target"] + targets, check=True)


PGGEN = None  # path of pggen, set by main


def generate(bin_dir, entry, games_dir):
    path = os.path.join(games_dir, "%s-s%d.pg" % (entry["name"], entry["seed"]))
    if not os.path.exists(path):
        tmp = path + ".tmp"
        subprocess.run([PGGEN or os.path.join(bin_dir, "pggen"), "--seed", str(entry["seed"]), "-o", tmp] + [entry["family"]] +
                       entry["params"], check=True)
        os.replace(tmp, path)
    with open(path, "rb") as f:
        edges = 0
        for line in f:
            if not line.startswith(b"parity"):
                parts = line.split(b" ", 3)
                if len(parts) == 4:
                    edges += parts[3].count(b",") + 1
    return path, edges


def load_average():
    try:
        return " ".join("%.2f" % x for x in os.getloadavg())
    except OSError:
        return "-"


def git_commit():
    try:
        return subprocess.run(["git", "-C", ROOT, "rev-parse", "--short", "HEAD"], capture_output=True, text=True,
                              check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "-"


def speedup_runs(args, bin_dir, programs, entries, games_dir, scratch):
    """Wall time of each program on its largest game with 1 and 2 threads."""
    lines = ["# Speedup from one to two threads", "",
             "- date: %s" % datetime.datetime.now().isoformat(timespec="seconds"),
             "- load average before: %s" % load_average(),
             "- each figure is the least wall time of %d runs" % args.repeat, "",
             "| program | game | 1 thread s | 2 threads s | speedup | solve 1 thread s | solve 2 threads s |",
             "|---|---|---|---|---|---|---|"]
    for program in programs:
        fitting = [e for e in entries if e["nodes"] <= cap(e, program)]
        if not fitting:
            continue
        # Among the largest, a random game: the case of the targets.
        biggest = max(fitting, key=lambda e: (e["nodes"], e["family"] == "random", e["name"]))
        path, _ = generate(bin_dir, biggest, games_dir)
        best = {}
        for threads in (1, 2):
            env = dict(os.environ, OMP_NUM_THREADS=str(threads))
            for _ in range(args.repeat):
                r = run_program(bin_dir, program, path, biggest["nodes"], args.timeout, env, scratch)
                if r["status"] != "answered":
                    best[threads] = None
                    break
                solve = phase(r, "solving took", "recursive iteration took")
                if threads not in best or (best[threads] and r["wall"] < best[threads][0]):
                    best[threads] = (r["wall"], solve)
        if not best.get(1) or not best.get(2):
            lines.append("| %s | %s | %s |  |  |  |  |" % (program, biggest["name"], r["status"]))
            continue
        lines.append("| %s | %s | %.2f | %.2f | %.2f | %s | %s |" % (
            program, biggest["name"], best[1][0], best[2][0], best[1][0] / best[2][0], fmt(best[1][1]),
            fmt(best[2][1])))
        print(lines[-1], flush=True)
    lines.append("")
    lines.append("- load average after: %s" % load_average())
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    size = parser.add_mutually_exclusive_group()
    size.add_argument("--large", action="store_true", help="the larger suite (longer limits too)")
    size.add_argument("--quick", action="store_true", help="tiny games of every family (a smoke run)")
    size.add_argument("--gpu", action="store_true", help="the short suite of scripts/gpu_check.sh")
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build"), help="build folder (default build/)")
    parser.add_argument("--out", default=os.path.join(ROOT, "bench-results"), help="results folder")
    parser.add_argument("--timeout", type=float, default=None,
                        help="time limit per run in seconds (default 30, 120 with --large)")
    parser.add_argument("--programs", help="comma-separated programs to run (default all)")
    parser.add_argument("--families", help="comma-separated families to run (default all)")
    parser.add_argument("--threads", type=int, help="OMP_NUM_THREADS for the runs (default: unset)")
    parser.add_argument("--pggen", help="the generator to use (default: pggen of the build folder)")
    parser.add_argument("--no-build", action="store_true", help="do not build missing programs")
    parser.add_argument("--no-plot", action="store_true", help="write no plot")
    parser.add_argument("--strict", action="store_true",
                        help="exit with 1 also when a program fails to answer (not only on a wrong answer)")
    parser.add_argument("--speedup", action="store_true",
                        help="instead of the table: each program's largest game with 1 and 2 threads")
    parser.add_argument("--repeat", type=int, default=2, help="runs per thread count with --speedup")
    parser.add_argument("--budget", type=float, default=None,
                        help="seconds for generating the games and all runs: once spent, the remaining runs are "
                             "skipped")
    args = parser.parse_args()
    harness_start = time.perf_counter()
    kind = "large" if args.large else "quick" if args.quick else "gpu" if args.gpu else "default"
    if args.timeout is None:
        args.timeout = 120.0 if args.large else 30.0

    bin_dir = os.path.join(args.build_dir, "bin")
    programs = [p for p, _ in PROGRAMS]
    if args.programs:
        wanted = args.programs.split(",")
        unknown = [p for p in wanted if p not in programs]
        if unknown:
            parser.error("unknown program(s): " + ", ".join(unknown))
        programs = [p for p in programs if p in wanted]
    global PGGEN, PGRUN
    PGGEN = args.pggen or os.path.join(bin_dir, "pggen")
    missing = [p for p in programs if not os.access(os.path.join(bin_dir, p), os.X_OK)]
    if not os.access(PGGEN, os.X_OK):
        missing.append("pggen")
    if missing:
        if args.no_build:
            parser.error("missing in %s: %s" % (bin_dir, ", ".join(missing)))
        build(args.build_dir)
    for candidate in (os.path.join(bin_dir, "pgrun"), os.path.join(ROOT, "build", "bin", "pgrun")):
        if os.access(candidate, os.X_OK):
            PGRUN = candidate
            break

    entries = suite(kind)
    if args.families:
        fams = args.families.split(",")
        entries = [e for e in entries if e["family"] in fams]
    os.makedirs(args.out, exist_ok=True)
    games_dir = os.path.join(args.out, "games")
    scratch = os.path.join(args.out, "scratch")
    os.makedirs(games_dir, exist_ok=True)
    os.makedirs(scratch, exist_ok=True)
    env = dict(os.environ)
    if args.threads:
        env["OMP_NUM_THREADS"] = str(args.threads)

    if args.speedup:
        text = speedup_runs(args, bin_dir, programs, entries, games_dir, scratch)
        with open(os.path.join(args.out, "speedup.md"), "w") as f:
            f.write(text)
        print("wrote " + os.path.join(args.out, "speedup.md"))
        return 0

    meta = {
        "suite": kind,
        "date": datetime.datetime.now().isoformat(timespec="seconds"),
        "commit": git_commit(),
        "machine": "%s, %d cores" % (platform.machine(), os.cpu_count() or 0),
        "OMP_NUM_THREADS": env.get("OMP_NUM_THREADS", "unset (all cores)"),
        "time limit per run": "%g s" % args.timeout,
        "load average before": load_average(),
        "peak memory": "measured by pgrun" if PGRUN else "of the child forked from the harness (pgrun not built)",
    }
    if args.budget is not None:
        meta["time budget"] = "%g s for generating the games and all runs" % args.budget
    for e in entries:
        e["path"], e["edges"] = generate(bin_dir, e, games_dir)
    started = time.perf_counter()
    failures = 0
    for e in entries:
        path, edges = e.pop("path"), e["edges"]
        e["edges"] = edges
        e["results"] = []
        for program in programs:
            if e["nodes"] > cap(e, program):
                continue
            left = None if args.budget is None else args.budget - (time.perf_counter() - harness_start)
            if left is not None and left <= 0:
                e["results"].append({"program": program, "wall": 0.0, "peak_mib": 0.0, "cpu": 0.0, "phases": {},
                                     "winner": None, "status": "skipped (time budget spent)"})
                continue
            timeout = args.timeout if left is None else min(args.timeout, max(left, 1.0))
            r = run_program(bin_dir, program, path, e["nodes"], timeout, env, scratch)
            e["results"].append(r)
        e["reference"] = judge(e, e["results"])
        for r in e["results"]:
            failures += r["status"].startswith("FAIL") or (args.strict and r["status"].startswith("error"))
            print("%-28s %-24s %-10s %s" % (e["name"], r["program"],
                                            "%.2fs" % r["wall"] if r["status"] != "not built" else "",
                                            r["status"]), flush=True)
    meta["load average after"] = load_average()
    meta["harness wall time"] = "%.0f s" % (time.perf_counter() - started)

    with open(os.path.join(args.out, "results.md"), "w") as f:
        f.write(markdown_table(entries, meta))
    with open(os.path.join(args.out, "results.json"), "w") as f:
        for e in entries:
            e["caps"] = {k: (None if v == INF else v) for k, v in e["caps"].items()}
            for r in e["results"]:
                r.pop("winner", None)
        json.dump({"meta": meta, "games": entries}, f, indent=1)
    print("wrote " + os.path.join(args.out, "results.md"))
    if not args.no_plot:
        if ensure_matplotlib():
            plot(entries, os.path.join(args.out, "time_vs_size.png"))
            print("wrote " + os.path.join(args.out, "time_vs_size.png"))
        else:
            print("matplotlib could not be installed: no plot written (results.md is complete)")
    shutil.rmtree(scratch, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
