#!/usr/bin/env python3
"""The progress-measure solvers against the textbook yardstick on a sweep of
random games.

For every game `pggen --seed S random N P L H` of the sweep it runs
`bench_spm --game FILE` (each solver in process on the loaded game, see
bench/bench_spm.cpp), which also times a plain sequential small-progress-measure
solver with a work queue (bench/textbook_spm.cpp) on the same game and checks
every solver's winners against it. It prints, per (N, P, L-H) and solver, the
largest ratio of the solver's time to the yardstick's over the seeds and the
largest time, and writes the raw lines to OUT/results.json and the table to
OUT/results.md.

    python3 scripts/spm_sweep.py                       # the whole sweep
    python3 scripts/spm_sweep.py --sizes 100,1000 --seeds 1-5
"""
import argparse
import json
import os
import subprocess
import sys
import time

ALGS = [0, 1, 2, 3, 4, 5, 20]
NAMES = {0: "spm_wl", 1: "spm", 2: "simple_wl", 3: "Korrel", 4: "spm_oan", 5: "simple_oan", 20: "range"}


def parse_range(text):
    values = []
    for part in text.split(","):
        if "-" in part:
            low, high = part.split("-")
            values.extend(range(int(low), int(high) + 1))
        else:
            values.append(int(part))
    return values


def run_bench(bench, game, algs, repeat, timeout, yardstick=True):
    """The JSON lines of one bench_spm run, or None when it ran out of time."""
    command = [bench, "--game", game, "--algs", ",".join(str(a) for a in algs) or "none", "--repeat", str(repeat)]
    if not yardstick:
        command += ["--yardstick", "off"]
    try:
        done = subprocess.run(command, capture_output=True, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None
    lines = [json.loads(line) for line in done.stdout.splitlines() if line.startswith("{")]
    return lines


def solve_game(bench, game, algs, repeat, timeout):
    """Yardstick and solver lines for one game; one that runs past the time
    limit gets a line with "timeout". When the whole run is too long, each
    runs on its own, the solvers without the yardstick (their "agrees" is then
    whether they agree with each other)."""
    lines = run_bench(bench, game, algs, repeat, timeout * (len(algs) + 1))
    if lines is not None:
        return lines
    got = run_bench(bench, game, [], repeat, timeout)
    lines = got if got is not None else [{"alg": "yardstick", "timeout": timeout}]
    for alg in algs:
        got = run_bench(bench, game, [alg], repeat, timeout, yardstick=False)
        if got is None:
            lines.append({"alg": alg, "timeout": timeout})
            continue
        lines.extend(got)
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default="build")
    parser.add_argument("--sizes", default="100,1000,10000")
    parser.add_argument("--colours", default="5,20")
    parser.add_argument("--degrees", default="1-2,2-5", help="out-degree ranges L-H")
    parser.add_argument("--seeds", default="1-20")
    parser.add_argument("--algs", default=",".join(str(a) for a in ALGS))
    parser.add_argument("--repeat", type=int, default=1, help="runs per solver, the least time counts")
    parser.add_argument("--timeout", type=float, default=60.0, help="seconds per solver and game")
    parser.add_argument("--out", default="bench-results/spm-sweep")
    parser.add_argument("--table-only", action="store_true", help="only the table of an earlier OUT/results.json")
    args = parser.parse_args()
    algs = parse_range(args.algs)
    if args.table_only:
        with open(os.path.join(args.out, "results.json")) as saved:
            return print_table(json.load(saved), algs, args.out, "")

    bench = os.path.join(args.build_dir, "bench", "bench_spm")
    pggen = os.path.join(args.build_dir, "bin", "pggen")
    for tool in (bench, pggen):
        if not os.path.exists(tool):
            sys.exit("missing %s: build it first (cmake --build %s --target bench_spm pggen)" % (tool, args.build_dir))
    games_dir = os.path.join(args.out, "games")
    os.makedirs(games_dir, exist_ok=True)

    load_before = os.getloadavg()[0]
    results = []
    for n in parse_range(args.sizes):
        for p in parse_range(args.colours):
            for degrees in args.degrees.split(","):
                low, high = degrees.split("-")
                for seed in parse_range(args.seeds):
                    game = os.path.join(games_dir, "random-%d-%d-%s-%s-s%d.pg" % (n, p, low, high, seed))
                    if not os.path.exists(game):
                        subprocess.run([pggen, "--seed", str(seed), "-o", game, "random", str(n), str(p), low, high],
                                       check=True)
                    for line in solve_game(bench, game, algs, args.repeat, args.timeout):
                        line.update({"n": n, "p": p, "degrees": degrees, "seed": seed})
                        results.append(line)
                    # Kept as it grows, so that an interrupted sweep leaves its lines.
                    with open(os.path.join(args.out, "results.json"), "w") as out:
                        json.dump(results, out, indent=1)
                    print("done N=%d P=%d L-H=%s seed %d" % (n, p, degrees, seed), file=sys.stderr, flush=True)
    load_after = os.getloadavg()[0]

    with open(os.path.join(args.out, "results.json"), "w") as out:
        json.dump(results, out, indent=1)
    return print_table(results, algs, args.out,
                       "Load average %.2f before, %.2f after." % (load_before, load_after))


def print_table(results, algs, out_dir, note):
    """One row per (N, P, L-H): the yardstick's largest time, then per solver
    the largest ratio of its time to the yardstick's over the seeds, the
    largest ratio of its lifts to the yardstick's (exact, unlike times on a
    shared machine) and its largest time."""
    rows = {}
    for line in results:
        rows.setdefault((line["n"], line["p"], line["degrees"]), {}).setdefault(line["seed"], []).append(line)
    header = "| N | P | L-H | seeds | yardstick max s | " + " | ".join(
        "%s (%d): time x / lifts x / max s" % (NAMES.get(a, str(a)), a) for a in algs) + " |"
    table = [header, "|" + "---|" * (5 + len(algs))]
    worst = {a: 0.0 for a in algs}
    failures = []
    notes = []
    for key in sorted(rows):
        seeds = rows[key]
        yard_max = 0.0
        yard_past = 0
        cells = {a: [0.0, 0.0, 0.0, ""] for a in algs}
        for seed, lines in seeds.items():
            yard = next((l for l in lines if l["alg"] == "yardstick"), None)
            past_limit = yard is None or "timeout" in yard
            if past_limit:
                # The solvers are then timed and compared with each other only.
                yard_past += 1
                notes.append("N=%d P=%d L-H=%s seed %d: the yardstick ran past the time limit" %
                             (key[0], key[1], key[2], seed))
            else:
                yard_max = max(yard_max, yard["seconds"])
            answers = {l.get("winners") for l in lines if l["alg"] != "yardstick" and "timeout" not in l}
            for line in lines:
                alg = line["alg"]
                if alg == "yardstick" or alg not in cells:
                    continue
                if "timeout" in line:
                    cells[alg][3] = " (timeout)"
                    failures.append("alg %d timed out on N=%d P=%d L-H=%s seed %d" % (alg, key[0], key[1], key[2], seed))
                    continue
                agrees = len(answers) == 1 if past_limit else line.get("agrees", False)
                if not agrees:
                    cells[alg][3] = " (WRONG)"
                    failures.append("alg %d disagrees on N=%d P=%d L-H=%s seed %d" % (alg, key[0], key[1], key[2], seed))
                cells[alg][2] = max(cells[alg][2], line["seconds"])
                if past_limit:
                    continue
                # The yardstick's clock cannot tell times below a microsecond apart.
                ratio = line["seconds"] / max(yard["seconds"], 1e-6)
                cells[alg][0] = max(cells[alg][0], ratio)
                cells[alg][1] = max(cells[alg][1], line["lifts"] / max(yard["lifts"], 1))
                worst[alg] = max(worst[alg], ratio)
        yard_cell = "%.4f" % yard_max + (" (%d past the limit)" % yard_past if yard_past else "")
        table.append("| %d | %d | %s | %d | %s | " % (key[0], key[1], key[2], len(seeds), yard_cell) + " | ".join(
            "%.1f / %.1f / %.3f%s" % (cells[a][0], cells[a][1], cells[a][2], cells[a][3]) for a in algs) + " |")
    summary = ["", "Largest time ratio over the sweep: " + ", ".join("alg %d %.1f" % (a, worst[a]) for a in algs) + "."]
    if note:
        summary.append(note)
    summary += notes + failures
    text = "\n".join(table + summary) + "\n"
    with open(os.path.join(out_dir, "results.md"), "w") as out:
        out.write(text)
    print(text)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
