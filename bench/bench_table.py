#!/usr/bin/python3
"""Prints the results of the benchmark suites as one table: median, min and max of each figure
(and the 99th percentile where it is a target), beside the target when there is one.

    bench_table.py [--core CORE_JSON] [--app APP_JSON]

CORE_JSON is Google Benchmark's JSON output of bench/core_bench run with repetitions; APP_JSON
the output of bench/app_bench.py. A figure is only judged against its target by the numbers
measured; nothing here knows how loaded the machine was beyond the load average it prints.
"""

import argparse
import json
import os
import statistics
import sys


def percentile(values, p):
    ordered = sorted(values)
    rank = round(p / 100 * (len(ordered) - 1))
    return ordered[min(rank, len(ordered) - 1)]


def judge(value, limit):
    return "met" if value < limit else "MISSED"


def app_targets(name):
    """(the target as text, a check that reads the samples or None) for an app-level figure."""
    if name.startswith("keystroke to repaint"):
        size = name.split(", ")[1]
        if size == "100KB":
            return "p99 < 8 ms", lambda s: judge(percentile(s, 99), 8)
        if size == "1MB":
            return "p99 < 16 ms", lambda s: judge(percentile(s, 99), 16)
        if size.endswith("one-word"):
            return "p99 < 50 ms", lambda s: judge(percentile(s, 99), 50)
        if size.endswith("one-line"):
            limit = 8 if size.startswith("100KB") else 16
            return f"(p99 < {limit} ms)", None
        return "", None
    if name.startswith("long word"):
        if name.endswith("keys lost"):
            return "0 every run", lambda s: "met" if max(s) == 0 else "MISSED"
        return "max < 1000 ms", lambda s: judge(max(s), 1000)
    if name.startswith("panel open"):
        return "median <= 16 ms", lambda s: judge(statistics.median(s), 16.0001)
    if name == "idle wake-ups/s, panel hidden":
        return "0 every second", lambda s: "met" if max(s) == 0 else "MISSED"
    if name.startswith("cold start / baseline"):
        return "median <= 1.15", lambda s: judge(statistics.median(s), 1.15001)
    if name.startswith("resident memory - baseline"):
        return "median <= 3 MiB", lambda s: judge(statistics.median(s), 3.00001)
    if name.startswith("Escape to panel unmapped"):
        return "median <= 16 ms", lambda s: judge(statistics.median(s), 16.0001)
    return "", None


def unit_of(name):
    if name.startswith("cold start / baseline"):
        return "x"
    if name.startswith(("resident memory", "proportional memory", "private memory")):
        return "MiB"
    if name.startswith("idle"):
        return "/s"
    if name.endswith("keys lost"):
        return "keys"
    return "ms"


def fmt(value, unit):
    if unit == "/s":
        return f"{value:g}"
    if unit == "x":
        return f"{value:.3f}"
    if unit == "us":
        return f"{value:.1f}"
    return f"{value:.2f}" if value < 100 else f"{value:.0f}"


def rows_from_app(data):
    rows = []
    for name, samples in data["samples"].items():
        if not samples:
            continue
        target, check = app_targets(name)
        unit = unit_of(name)
        p99 = percentile(samples, 99) if name.startswith("keystroke") else None
        rows.append(("app" if not name.startswith("keystroke") else "panel", name, unit, samples, p99, target,
                     check(samples) if check else ""))
    return rows


def rows_from_core(data):
    runs = {}
    units = {}
    for bench in data.get("benchmarks", []):
        if bench.get("run_type") != "iteration":
            continue
        runs.setdefault(bench["run_name"], []).append(bench["real_time"])
        units[bench["run_name"]] = bench["time_unit"]
    return [("core", name, units[name], samples, None, "", "") for name, samples in runs.items()]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--core")
    parser.add_argument("--app")
    args = parser.parse_args()

    rows = []
    loads = []
    if args.app and os.path.exists(args.app):
        with open(args.app) as f:
            app = json.load(f)
        rows += rows_from_app(app)
        loads.append(("start of the app suites", app.get("load before")))
        loads.append(("end of the app suites", app.get("load")))
    if args.core and os.path.exists(args.core):
        with open(args.core) as f:
            core = json.load(f)
        rows += rows_from_core(core)
        context = core.get("context", {})
        loads.append(("end of the core suite", context.get("load_avg")))

    header = ("suite", "measurement", "n", "median", "min", "max", "p99", "unit", "target", "")
    table = [header]
    for suite, name, unit, samples, p99, target, verdict in rows:
        table.append((suite, name, str(len(samples)), fmt(statistics.median(samples), unit), fmt(min(samples), unit),
                      fmt(max(samples), unit), fmt(p99, unit) if p99 is not None else "", unit, target, verdict))
    widths = [max(len(row[i]) for row in table) for i in range(len(header))]
    right = {2, 3, 4, 5, 6}
    for i, row in enumerate(table):
        cells = [cell.rjust(widths[j]) if j in right else cell.ljust(widths[j]) for j, cell in enumerate(row)]
        print("  ".join(cells).rstrip())
        if i == 0:
            print("  ".join("-" * w for w in widths))
    for what, load in loads:
        if load:
            print(f"load average at the {what}: " + ", ".join(f"{v:.2f}" for v in load) +
                  f" ({os.cpu_count()} cores)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
