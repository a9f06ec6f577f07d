#!/usr/bin/env python3
"""Runs the kernel benchmarks and prints their tables as ratios to the
baselines measured in the same run (CPU time, median of the repetitions).

    python3 bench/kernel_tables.py build/kernels_bench [--repetitions N]
"""
import json
import subprocess
import sys


def run(binary, repetitions):
    out = subprocess.run(
        [binary, "--benchmark_format=json", f"--benchmark_repetitions={repetitions}",
         "--benchmark_report_aggregates_only=true"],
        check=True, capture_output=True, text=True).stdout
    times = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            name = b["run_name"].replace("/iterations:1", "")
            times[name] = b["cpu_time"]  # milliseconds
    return times


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else "build/kernels_bench"
    repetitions = int(sys.argv[sys.argv.index("--repetitions") + 1]) if "--repetitions" in sys.argv else 5
    t = run(binary, repetitions)

    print("### Transforms (ms; ratios to the memory floor of the same size)\n")
    print("| size | level | floor | forward | forward / floor | inverse | inverse / floor |")
    print("|---|---|---|---|---|---|---|")
    for size in (2048, 4096):
        floor = t[f"memory_floor/{size}"]
        for level in range(5):
            f, i = t[f"forward/{size}/{level}"], t[f"inverse/{size}/{level}"]
            print(f"| {size} | {level} | {floor:.1f} | {f:.1f} | {f / floor:.2f} | {i:.1f} | {i / floor:.2f} |")

    print("\n### Transforms against the straightforward design (ms)\n")
    print("| kernel | size | level | straightforward | fast | speed-up |")
    print("|---|---|---|---|---|---|")
    for kernel in ("forward", "inverse"):
        for level in (0, 3):
            s, f = t[f"{kernel}_straightforward/2048/{level}"], t[f"{kernel}/2048/{level}"]
            print(f"| {kernel} | 2048 | {level} | {s:.0f} | {f:.1f} | {s / f:.1f} |")

    print("\n### Statistics on 2048 x 2048 (ms)\n")
    print("| kernel | baseline | baseline (ms) | kernel (ms) | ratio |")
    print("|---|---|---|---|---|")
    rows = [("threshold_mask", "copy_floor", "memory floor: read one image, write one")]
    rows.append(("selected_magnitudes", "list_floor", "memory floor: read two images, write the list"))
    for h in (1, 2, 3):
        rows.append((f"selected_neighbourhood_energy/{h}",
                     f"selected_neighbourhood_energy_straightforward/{h}", "straightforward design"))
        rows.append((f"significance_probability/{h}",
                     f"significance_probability_straightforward/{h}", "straightforward design"))
    for kernel, base, label in rows:
        k, b = t[kernel], t[base]
        ratio = f"{k / b:.2f} x floor" if "floor" in base else f"{b / k:.1f} x faster"
        print(f"| {kernel} | {label} | {b:.1f} | {k:.1f} | {ratio} |")


if __name__ == "__main__":
    main()
