#!/usr/bin/env python3
"""Times the contenders of bench/run.sh, alternating them round by round, verifies every
installation against the payload's SHA256SUMS, and prints the table (Markdown).

  measure.py ROOT ROUNDS
ROOT is build-bench: it holds payloads/, setups/, win32/ and wineprefix/. Wine commands
run under the DISPLAY and WINEPREFIX of the environment.
"""
import hashlib
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.abspath(sys.argv[1])
ROUNDS = int(sys.argv[2])
PREFIX = os.environ["WINEPREFIX"]
OUT_WIN = "C:\\benchout"
OUT = os.path.join(PREFIX, "drive_c", "benchout")


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def contenders(payload):
    setups = os.path.join(ROOT, "setups")
    src = os.path.join(ROOT, "payloads", payload)
    return [
        ("tarn setup", ["wine", f"{setups}/tarn-{payload}.exe", "/S"], "tarn"),
        ("NSIS zlib", ["wine", f"{setups}/nsis-zlib-{payload}.exe", "/S", f"/D={OUT_WIN}\\nsis-zlib"], "nsis-zlib"),
        ("NSIS LZMA solid", ["wine", f"{setups}/nsis-lzma-{payload}.exe", "/S", f"/D={OUT_WIN}\\nsis-lzma"],
         "nsis-lzma"),
        ("CopyFileA (Wine)", ["wine", f"{ROOT}/win32/bench/copy_payload.exe", winpath(src), f"{OUT_WIN}\\copy"],
         "copy"),
        ("cp -r (native)", ["cp", "-r", src, os.path.join(OUT, "cp")], "cp"),
    ]


def verify(payload, target):
    src = os.path.join(ROOT, "payloads", payload)
    with open(os.path.join(src, "SHA256SUMS")) as f:
        for line in f:
            digest, name = line.rstrip("\n").split("  ", 1)
            h = hashlib.sha256()
            with open(os.path.join(target, name), "rb") as g:
                for block in iter(lambda: g.read(1 << 20), b""):
                    h.update(block)
            if h.hexdigest() != digest:
                raise SystemExit(f"{target}/{name}: checksum differs")


def run_timed(command):
    """Wall time in seconds and the peak resident size (KiB) of the process."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    return elapsed, process.returncode, usage.ru_maxrss


def fresh(target):
    shutil.rmtree(target, ignore_errors=True)
    subprocess.run(["sync"])


def measure_payload(payload):
    entries = contenders(payload)
    times = {name: [] for name, _, _ in entries}
    for _ in range(ROUNDS):
        for name, command, dest in entries:
            target = os.path.join(OUT, dest)
            fresh(target)
            elapsed, _, _ = run_timed(command)  # the installed files decide, not the exit code
            verify(payload, target)
            times[name].append(elapsed)
    return times


def peak_memory(payload):
    target = os.path.join(OUT, "tarn")
    peaks = []
    for _ in range(3):
        fresh(target)
        _, _, rss = run_timed(["wine", os.path.join(ROOT, "setups", f"tarn-{payload}.exe"), "/S"])
        verify(payload, target)
        peaks.append(rss)
    fresh(target)
    return statistics.median(peaks) / 1024.0


def main():
    os.makedirs(OUT, exist_ok=True)
    sizes = {}
    for payload in ("a", "b", "c"):
        src = os.path.join(ROOT, "payloads", payload)
        files = [os.path.join(d, f) for d, _, fs in os.walk(src) for f in fs if f != "SHA256SUMS"]
        sizes[payload] = (len(files), sum(os.path.getsize(f) for f in files))
    results = {p: measure_payload(p) for p in ("a", "b", "c")}
    print(f"Medians of {ROUNDS} alternating rounds, seconds (min - max); each run into a fresh directory, "
          "verified by SHA-256 afterwards.\n")
    titles = {"a": "(a) %d files, %.1f MB", "b": "(b) %d file, %.1f MB", "c": "(c) %d files, %.1f KB"}
    header = "| contender | " + " | ".join(
        titles[p] % (sizes[p][0], sizes[p][1] / (1e3 if p == "c" else 1e6)) for p in results) + " |"
    print(header)
    print("|---" * (len(results) + 1) + "|")
    names = list(results["a"].keys())
    medians = {p: {n: statistics.median(results[p][n]) for n in names} for p in results}
    for n in names:
        cells = []
        for p in results:
            t = results[p][n]
            cells.append(f"{medians[p][n]:.3f} ({min(t):.3f} - {max(t):.3f})")
        print(f"| {n} | " + " | ".join(cells) + " |")
    print()
    a, b, c = medians["a"], medians["b"], medians["c"]
    mb = sizes["b"][1] / 1e6
    print("Ratios (medians):\n")
    print(f"- (a) tarn / CopyFileA = {a['tarn setup'] / a['CopyFileA (Wine)']:.2f} (goal <= 1.3); "
          f"tarn / NSIS zlib = {a['tarn setup'] / a['NSIS zlib']:.2f} (goal < 1)")
    print(f"- (b) throughput tarn {mb / b['tarn setup']:.0f} MB/s, NSIS zlib {mb / b['NSIS zlib']:.0f} MB/s: "
          f"ratio {b['NSIS zlib'] / b['tarn setup']:.2f} (goal >= 1.5)")
    print(f"- (c) tarn / NSIS zlib = {c['tarn setup'] / c['NSIS zlib']:.2f} (goal < 0.5)")
    if os.path.exists(os.path.join(ROOT, "setups", "tarn-huge.exe")):
        small = peak_memory("c")
        big = peak_memory("b")
        huge = peak_memory("huge")
        print(f"\nPeak resident memory of the setup process (Wine included), median of 3: payload (c) {small:.1f} MB, "
              f"payload (b) {big:.1f} MB, 1 GiB file {huge:.1f} MB: the 1 GiB file takes {huge - small:+.1f} MB "
              "over (c) (goal: within 16 MB)")


if __name__ == "__main__":
    main()
