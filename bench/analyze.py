#!/usr/bin/env python3
"""Turns the probe's event logs and the programs' result files into the benchmark's figures.

Screen-duration error: the interval the probe saw between two onsets minus the duration asked
for (the blank duration, or the fixation duration the program drew for that trial). Reaction-time
error: the rt the program wrote minus the delay at which the probe pressed the key after it saw
the stimulus. Start-up: process start to the title on screen, against the same decoder in a loop.
"""
import argparse
import csv
import glob
import math
import os
import statistics
import sys

# Targets for the idle runs; the busy runs are shown against them too, for comparison only.
TARGETS = {
    "dur_sd": 0.35,
    "dur_median_abs": 1.5,
    "dur_p99_abs": 2.0,
    "rt_sd": 0.45,
    "rt_mean_abs": 1.5,
    "startup_ratio": 1.3,
}


def percentile(values, q):
    """Linear interpolation between closest ranks (numpy's default)."""
    if not values:
        return math.nan
    s = sorted(values)
    pos = (len(s) - 1) * q / 100.0
    lo = math.floor(pos)
    hi = min(lo + 1, len(s) - 1)
    return s[lo] + (s[hi] - s[lo]) * (pos - lo)


def sd(values):
    return statistics.stdev(values) if len(values) > 1 else math.nan


def fixation_durations(fix_ms, count):
    """The fixation durations the worker draws: Random15 from state 1, one draw per trial."""
    state = 1
    out = []
    for _ in range(count):
        state = (state * 214013 + 2531011) & 0xFFFFFFFF
        r = (state >> 16) & 0x7FFF
        out.append(fix_ms[int(r * (1.0 / 32768) * len(fix_ms))])
    return out


def read_events(path):
    start = None
    pixels = []  # (onset ns, colour)
    keys = {}  # trial -> (press ns, onset ns)
    represses = {}  # trial -> presses repeated because the first changed nothing
    exit_info = None
    with open(path) as f:
        for line in f:
            parts = line.split()
            if not parts:
                continue
            if parts[0] == "start":
                start = int(parts[1])
            elif parts[0] == "pix":
                at, prev = int(parts[1]), int(parts[2])
                pixels.append(((at + prev) // 2, parts[3], at - prev))
            elif parts[0] == "key":
                keys[int(parts[3])] = (int(parts[1]), int(parts[2]))
            elif parts[0] == "repress":
                represses[int(parts[3])] = represses.get(int(parts[3]), 0) + 1
            elif parts[0] == "exit":
                exit_info = (int(parts[1]), int(parts[2]), parts[3])
    return start, pixels, keys, exit_info, represses


def read_results(directory):
    files = sorted(glob.glob(os.path.join(directory, "result*.csv")))
    if not files:
        return None
    rows = []
    with open(files[-1], newline="") as f:
        lines = f.read().split("\r\n")
    for line in lines[1:]:
        if not line:
            continue
        fields = line.split(",")
        rows.append((int(fields[0]), int(fields[2]), int(fields[3])))
    return rows


def analyse_run(directory, colours, blank_ms, fix_ms, trials):
    problems = []
    events = os.path.join(directory, "events.txt")
    if not os.path.exists(events):
        return None, [], ["no event log (the probe did not run)"], []
    start, pixels, keys, exit_info, represses = read_events(events)
    warnings = []
    if -1 in represses:
        warnings.append("the start key was pressed again (the first press came before the program listened)")
    if exit_info is None or exit_info[2] != "exited" or exit_info[1] != 0:
        problems.append("program end: %s" % (exit_info,))
    names = {}
    for name, value in colours:
        names.setdefault(value.lower(), name)
    # Onsets in screen order, from the first blank on (the title and the black before it are done).
    onsets = []
    seen_title = False
    for onset, colour, gap in pixels:
        name = names.get(colour, "?" + colour)
        if name == "title":
            seen_title = True
            continue
        if not seen_title:
            continue
        onsets.append((onset, name, gap))
    rows = []
    blank_errs, fix_errs, rt_errs = [], [], []
    fix_req = fixation_durations(fix_ms, trials)
    results = read_results(directory)
    if results is None:
        problems.append("no result file")
        results = []
    i = 0
    k = 0
    while i < trials:
        triple = onsets[k:k + 3]
        if len(triple) < 3 or [t[1] for t in triple] != ["blank", "fix", "stim"]:
            problems.append("trial %d: screens %s" % (i + 1, [t[1] for t in triple]))
            break
        (b, _, _), (fx, _, _), (s, _, _) = triple
        nxt = onsets[k + 3][0] if k + 3 < len(onsets) else None
        blank_err = (fx - b) / 1e6 - blank_ms
        fix_err = (s - fx) / 1e6 - fix_req[i]
        blank_errs.append(blank_err)
        fix_errs.append(fix_err)
        row = {"trial": i + 1, "blank_ms": (fx - b) / 1e6, "blank_err_ms": blank_err, "fix_asked_ms": fix_req[i],
               "fix_ms": (s - fx) / 1e6, "fix_err_ms": fix_err}
        if i in keys:
            press, key_onset = keys[i]
            delay = (press - key_onset) / 1e6
            row["delay_ms"] = delay
            # The probe answers the onset it saw; that is this trial's stimulus.
            if key_onset != s:
                problems.append("trial %d: key answers another onset" % (i + 1))
            if i in represses:
                # The program missed the press (a stall before it listened); its rt is not comparable.
                warnings.append("trial %d: key pressed again, rt left out" % (i + 1))
            if i < len(results):
                n, answer, rt = results[i]
                row["rt_ms"] = rt
                row["answer"] = answer
                if i not in represses:
                    row["rt_err_ms"] = rt - delay
                    rt_errs.append(rt - delay)
                if n != i + 1 or answer != i % 2:
                    problems.append("trial %d: result line %s" % (i + 1, results[i]))
        else:
            problems.append("trial %d: no key pressed" % (i + 1))
        if nxt is not None and nxt < s:
            problems.append("trial %d: onsets out of order" % (i + 1))
        rows.append(row)
        i += 1
        k += 3
    if i != trials:
        problems.append("%d of %d trials seen" % (i, trials))
    if len(results) != trials:
        problems.append("%d result lines for %d trials" % (len(results), trials))
    durs = blank_errs + fix_errs
    abs_durs = [abs(e) for e in durs]
    summary = {
        "trials": i,
        "dur_n": len(durs),
        "dur_median": statistics.median(durs) if durs else math.nan,
        "dur_sd": sd(durs),
        "dur_p99_abs": percentile(abs_durs, 99),
        "dur_max_abs": max(abs_durs) if abs_durs else math.nan,
        "blank_median": statistics.median(blank_errs) if blank_errs else math.nan,
        "fix_median": statistics.median(fix_errs) if fix_errs else math.nan,
        "rt_n": len(rt_errs),
        "rt_mean": statistics.fmean(rt_errs) if rt_errs else math.nan,
        "rt_sd": sd(rt_errs),
        "rt_p99_abs": percentile([abs(e) for e in rt_errs], 99),
        "rt_max_abs": max((abs(e) for e in rt_errs), default=math.nan),
        "max_poll_gap_us": max((g for _, _, g in onsets), default=0) / 1e3,
    }
    summary["lost_keys"] = sum(1 for t in represses if t >= 0)
    return summary, rows, problems, warnings


FIGURES = ["dur_median", "dur_sd", "dur_p99_abs", "dur_max_abs", "blank_median", "fix_median", "rt_mean", "rt_sd",
           "rt_p99_abs", "rt_max_abs"]


def mark(ok):
    return " " if ok else "*"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--blank-ms", type=float, required=True)
    ap.add_argument("--fix-ms", required=True)
    ap.add_argument("--colours", required=True)
    ap.add_argument("--machine", default="")
    ap.add_argument("--trials", type=int, required=True)
    args = ap.parse_args()
    fix_ms = [int(v) for v in args.fix_ms.split()]
    colours = [tuple(p.split("=")) for p in args.colours.split(",")]
    title_colour = dict(colours)["title"].lower()
    os.makedirs(args.out, exist_ok=True)
    ok = True

    per_run = []
    index = os.path.join(args.runs, "index.txt")
    if os.path.exists(index):
        with open(index) as f:
            for line in f:
                prog, load, rep, directory = line.split()
                summary, rows, problems, warnings = analyse_run(directory, colours, args.blank_ms, fix_ms,
                                                                args.trials)
                for p in problems:
                    print("  %s %s run %s: %s" % (prog, load, rep, p), file=sys.stderr)
                for p in warnings:
                    print("  %s %s run %s: warning: %s" % (prog, load, rep, p), file=sys.stderr)
                if problems:
                    ok = False
                if summary is None:
                    continue
                per_run.append((prog, load, int(rep), summary, len(problems)))
                name = os.path.join(args.out, "trials-%s-%s-%s.csv" % (prog, load, rep))
                keys = ["trial", "blank_ms", "blank_err_ms", "fix_asked_ms", "fix_ms", "fix_err_ms", "delay_ms",
                        "rt_ms", "answer", "rt_err_ms"]
                with open(name, "w", newline="") as f:
                    w = csv.DictWriter(f, fieldnames=keys)
                    w.writeheader()
                    for row in rows:
                        w.writerow({k: (("%.3f" % v) if isinstance(v, float) else v) for k, v in row.items()})

    # One line per program and load: the median over repeats of each figure.
    groups = {}
    for prog, load, rep, summary, nprob in per_run:
        groups.setdefault((prog, load), []).append((summary, nprob))
    table = []
    for (prog, load), items in groups.items():
        med = {f: statistics.median([s[f] for s, _ in items]) for f in FIGURES}
        med["trials"] = sum(s["trials"] for s, _ in items)
        med["runs"] = len(items)
        med["problems"] = sum(n for _, n in items)
        table.append((prog, load, med))

    with open(os.path.join(args.out, "timing.csv"), "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(["program", "load", "run", "trials"] + [x + "_ms" for x in FIGURES] + ["max_poll_gap_us",
                                                                                          "lost_keys", "problems"])
        for prog, load, rep, s, nprob in per_run:
            w.writerow([prog, load, rep, s["trials"]] + ["%.3f" % s[x] for x in FIGURES] +
                       ["%.0f" % s["max_poll_gap_us"], s["lost_keys"], nprob])
        for prog, load, med in table:
            w.writerow([prog, load, "median", med["trials"]] + ["%.3f" % med[x] for x in FIGURES] + ["", "", med["problems"]])

    if table:
        print()
        print("Screen durations (photodiode interval - requested), ms; reaction times (recorded - injected), ms")
        print("%-8s %-5s %6s | %7s %6s %7s %7s | %7s %6s %7s %7s" %
              ("program", "load", "trials", "dur med", "SD", "p99|e|", "max|e|", "rt mean", "SD", "p99|e|", "max|e|"))
        for prog, load, m in table:
            idle = load == "idle"
            t = TARGETS
            print("%-8s %-5s %6d | %+7.2f%s %5.2f%s %6.2f%s %7.2f | %+7.2f%s %5.2f%s %6.2f %7.2f" % (
                prog, load, m["trials"],
                m["dur_median"], mark(not idle or abs(m["dur_median"]) <= t["dur_median_abs"]),
                m["dur_sd"], mark(not idle or m["dur_sd"] <= t["dur_sd"]),
                m["dur_p99_abs"], mark(not idle or m["dur_p99_abs"] <= t["dur_p99_abs"]),
                m["dur_max_abs"],
                m["rt_mean"], mark(not idle or abs(m["rt_mean"]) <= t["rt_mean_abs"]),
                m["rt_sd"], mark(not idle or m["rt_sd"] <= t["rt_sd"]),
                m["rt_p99_abs"], m["rt_max_abs"]))
        print("  (* misses its target on an idle run; blank/fixation medians: %s)" % ", ".join(
            "%s %s %+.2f/%+.2f" % (p, l, m["blank_median"], m["fix_median"]) for p, l, m in table))

    # Start-up: process start to the title on screen, and the decode loop of the same files.
    starts = {}
    for path in sorted(glob.glob(os.path.join(args.runs, "startup-*.txt"))):
        prog, rep = os.path.basename(path)[len("startup-"):-len(".txt")].rsplit("-", 1)
        start, pixels, _, _, _ = read_events(path)
        title = next((onset for onset, colour, _ in pixels if colour == title_colour), None)
        starts.setdefault(prog, {})[int(rep)] = (title - start) / 1e6 if title is not None else math.nan
    decodes = {}
    decode_file = os.path.join(args.runs, "decode.txt")
    if os.path.exists(decode_file):
        with open(decode_file) as f:
            for line in f:
                p = line.split()
                wall = int(p[3]) / 1e3
                loop = float(p[5]) if len(p) > 5 and p[4] == "decode_ms" else math.nan
                decodes.setdefault(p[1], {})[int(p[2])] = (wall, loop)
    if starts:
        with open(os.path.join(args.out, "startup.csv"), "w", newline="") as f:
            w = csv.writer(f)
            w.writerow(["program", "run", "title_ms", "decode_process_ms", "decode_loop_ms", "ratio"])
            print()
            print("Start-up: process start to title on screen, against the decoder alone in a loop (ms)")
            print("%-8s %10s %14s %12s %7s" % ("program", "to title", "decode process", "decode loop", "ratio"))
            for prog in starts:
                reps = sorted(starts[prog])
                rows = []
                for r in reps:
                    wall, loop = decodes.get(prog, {}).get(r, (math.nan, math.nan))
                    rows.append((starts[prog][r], wall, loop))
                    w.writerow([prog, r, "%.1f" % starts[prog][r], "%.1f" % wall, "%.1f" % loop,
                                "%.3f" % (starts[prog][r] / wall)])
                t = statistics.median(x[0] for x in rows)
                d = statistics.median(x[1] for x in rows)
                lp = statistics.median(x[2] for x in rows)
                ratio = t / d
                w.writerow([prog, "median", "%.1f" % t, "%.1f" % d, "%.1f" % lp, "%.3f" % ratio])
                print("%-8s %10.0f %14.0f %12.0f %6.2f%s" % (prog, t, d, lp, ratio,
                                                              mark(ratio <= TARGETS["startup_ratio"])))
            print("  (ratio: to title / decode process; * above %.1f)" % TARGETS["startup_ratio"])
            if any(math.isnan(v) for p in starts for v in starts[p].values()):
                ok = False
    if args.machine:
        print("machine: " + args.machine)
    print("CSV: %s" % args.out)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
