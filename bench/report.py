#!/usr/bin/env python3
"""Turns MathBench's JSON output, and in the default state the callgrind counts, into the
performance table (Markdown, on standard output) and a bar chart (SVG). Times are medians of CPU
time per operation; every ratio compares medians from the same run, in the same host state."""

import argparse
import json
from html import escape

OPERATIONS = [
    ("MatrixProduct", "Matrix4::Multiply(Matrix4), independent", 0.9, 1.0),
    ("MatrixProductChain", "Matrix4::Multiply(Matrix4), dependent chain", 1.05, None),
    ("TransformVector4", "Matrix4::Multiply(Vector4f)", 1.1, None),
    ("TransformVector3", "Matrix4::Multiply(Vector3f)", 1.1, None),
    ("DotProduct3", "Vector3f::DotProduct", 1.1, None),
    ("Add3", "Vector3f::Add", 1.1, None),
    ("ToRadians", "ToRadians", 1.1, None),
    ("HostLoop", "host loop out[i] = M.Multiply(in[i]), per point", 1.1, None),
]
# Outside the default state every operation has one limit against the best .so peer, or none.
STATE_LIMITS = {"ftz-daz": 1.2, "avx512-masked": 1.2, "upward": None}
SHARED = ["glm.so", "Eigen.so"]
INLINED = ["glm-inline", "Eigen-inline"]
CONTENDERS = ["OrvelLib"] + SHARED + INLINED + ["floor"]
COLOURS = {"OrvelLib": "#d62728", "glm.so": "#1f77b4", "Eigen.so": "#2ca02c",
           "glm-inline": "#9ecae1", "Eigen-inline": "#a1d99b", "floor": "#7f7f7f"}


def medians(path):
    """name -> median CPU nanoseconds per operation."""
    with open(path) as f:
        data = json.load(f)
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
    result = {}
    for run in data["benchmarks"]:
        if run.get("aggregate_name") != "median":
            continue
        ops = run.get("ops", 1.0)
        result[run["run_name"]] = run["cpu_time"] * scale[run["time_unit"]] / ops
    return result, data["context"]


def best(times, operation, contenders):
    name = min(contenders, key=lambda c: times[f"{operation}/{c}"])
    return name, times[f"{operation}/{name}"]


def table(times, counts, state):
    """counts: instructions per operation, or None outside the default state."""
    header = ["Operation"] + CONTENDERS + ["vs best .so", "vs best inlined"]
    if counts:
        header.append("instructions: OrvelLib / best .so / floor")
    header.append("target")
    lines = ["| " + " | ".join(header) + " |", "|---" * len(header) + "|"]
    for key, label, shared_limit, inline_limit in OPERATIONS:
        if state != "default":
            shared_limit, inline_limit = STATE_LIMITS[state], None
        cells = [f"{times[f'{key}/{c}']:.2f}" for c in CONTENDERS]
        shared_name, shared_time = best(times, key, SHARED)
        inline_name, inline_time = best(times, key, INLINED)
        orvel = times[f"{key}/OrvelLib"]
        # Judged as printed: two decimals are all this machine resolves.
        ratio_shared = round(orvel / shared_time, 2)
        ratio_inline = round(orvel / inline_time, 2)
        cells += [f"{ratio_shared:.2f} ({shared_name})", f"{ratio_inline:.2f} ({inline_name})"]
        if counts:
            # Whole instructions: the tenths are the benchmark loop's share, the same for everyone.
            ir = [round(counts[f"{key}/{c}"]) for c in ("OrvelLib", shared_name, "floor")]
            cells.append(f"{ir[0]} / {ir[1]} / {ir[2]}")
        if shared_limit is None:
            verdict = "none"
        else:
            met = ratio_shared <= shared_limit
            if inline_limit is not None:
                met = met and ratio_inline <= inline_limit
            verdict = f"{shared_limit:g}: {'met' if met else 'missed'}"
        cells.append(verdict)
        lines.append("| " + " | ".join([label] + cells) + " |")
    copy = times.get("HostLoop/OrvelLib-exported-copy")
    if copy is not None and counts:
        lines += [
            "",
            "| Host loop, per point | ns | instructions |",
            "|---|---|---|",
            f"| copy assignment inlined (as shipped) | {times['HostLoop/OrvelLib']:.2f} "
            f"| {round(counts['HostLoop/OrvelLib'])} |",
            f"| copy assignment as a library call | {copy:.2f} "
            f"| {round(counts['HostLoop/OrvelLib-exported-copy'])} |",
        ]
    return "\n".join(lines)


FILE_READERS = ["ReadFromFile", "PosixRead", "IfstreamStringstream", "IfstreamReadIntoString"]
# Size in bytes, label, limit against POSIX, limit against the ifstream + stringstream idiom.
FILE_SIZES = [(4 << 10, "4 KiB", 1.3, None), (1 << 20, "1 MiB", 1.1, 0.3),
              (256 << 20, "256 MiB", 1.1, 0.3)]


def file_table(path):
    """ReadFromFileBench: medians of wall-clock time, which includes the page faults of a fresh
    buffer, in microseconds."""
    with open(path) as f:
        data = json.load(f)
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}
    times = {run["run_name"]: run["real_time"] * scale[run["time_unit"]]
             for run in data["benchmarks"] if run.get("aggregate_name") == "median"}
    lines = ["| File | " + " | ".join(FILE_READERS) + " | vs POSIX | vs ifstream + stringstream "
             "| target |", "|---" * (len(FILE_READERS) + 4) + "|"]
    for size, label, posix_limit, idiom_limit in FILE_SIZES:
        row = {reader: times[f"{reader}/{size}"] for reader in FILE_READERS}
        vs_posix = round(row["ReadFromFile"] / row["PosixRead"], 2)
        vs_idiom = round(row["ReadFromFile"] / row["IfstreamStringstream"], 2)
        met = vs_posix <= posix_limit and (idiom_limit is None or vs_idiom <= idiom_limit)
        lines.append(f"| {label} | " + " | ".join(f"{row[r]:.1f}" for r in FILE_READERS) +
                     f" | {vs_posix:.2f} | {vs_idiom:.2f} | {'met' if met else 'missed'} |")
    return "\n".join(lines)


def chart(times, path):
    """Grouped horizontal bars, one group per operation, nanoseconds per operation."""
    bar, gap, left, width, top = 11, 14, 330, 520, 40
    largest = max(times[f"{k}/{c}"] for k, *_ in OPERATIONS for c in CONTENDERS)
    scale = width / largest
    height = top + len(OPERATIONS) * (len(CONTENDERS) * bar + gap) + 40
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{left + width + 80}" '
           f'height="{height}" font-family="sans-serif" font-size="11">',
           f'<rect width="100%" height="100%" fill="white"/>',
           f'<text x="10" y="20" font-size="14">Median CPU time per operation (ns), '
           f'lower is better</text>']
    y = top
    for key, label, *_ in OPERATIONS:
        group = len(CONTENDERS) * bar
        out.append(f'<text x="{left - 8}" y="{y + group / 2 + 4}" text-anchor="end">'
                   f'{escape(label)}</text>')
        for c in CONTENDERS:
            value = times[f"{key}/{c}"]
            out.append(f'<rect x="{left}" y="{y}" width="{value * scale:.1f}" '
                       f'height="{bar - 2}" fill="{COLOURS[c]}"/>')
            out.append(f'<text x="{left + value * scale + 4:.1f}" y="{y + bar - 3}" '
                       f'font-size="9">{value:.2f}</text>')
            y += bar
        y += gap
    x = 10
    for c in CONTENDERS:
        out.append(f'<rect x="{x}" y="{height - 22}" width="10" height="10" '
                   f'fill="{COLOURS[c]}"/>')
        out.append(f'<text x="{x + 14}" y="{height - 13}">{escape(c)}</text>')
        x += 110
    out.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


def cpu():
    """The CPU's model name and family, from /proc/cpuinfo where there is one."""
    fields = {}
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                key, _, value = line.partition(":")
                fields.setdefault(key.strip(), value.strip())
    except OSError:
        return "an unknown CPU"
    return f"{fields.get('model name', 'unknown')}, family {fields.get('cpu family', '?')}"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("benchmarks", help="MathBench --benchmark_out JSON")
    parser.add_argument("--instructions", help="bench/callgrind.sh output (default state)")
    parser.add_argument("--svg", help="write the bar chart here")
    parser.add_argument("--files", help="ReadFromFileBench --benchmark_out JSON")
    args = parser.parse_args()
    times, context = medians(args.benchmarks)
    counts = None
    if args.instructions:
        with open(args.instructions) as f:
            counts = json.load(f)
    state = context.get("host_state", "default")
    if state == "default" and "AVX512F" in context.get("glibc_tunables", ""):
        state = "avx512-masked"
    print(f"Run of {context['date']} on {cpu()}, {context['num_cpus']} CPUs at "
          f"{context['mhz_per_cpu']} MHz; host state {state}; OrvelLib's matrix kernels: "
          f"{context.get('matrix_kernels', 'not reported')}; times are medians of CPU time in ns "
          "per operation.\n")
    print(table(times, counts, state))
    if args.files:
        print("\nReadFromFile, median wall-clock microseconds per file:\n")
        print(file_table(args.files))
    if args.svg:
        chart(times, args.svg)


if __name__ == "__main__":
    main()
