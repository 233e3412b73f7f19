#!/usr/bin/python3
"""Times hsum and rtab against baselines that do only the unavoidable work.

Each time row runs the program and its baseline alternately, REPS times,
and reports the median of the per-pair ratios of processor time, so that
a noisy machine moves both sides alike.  Instruction rows count with callgrind, which is
repeatable.  Usage: run.py BUILD_DIR [RESULTS_FILE]
"""
import os
import pty
import re
import shutil
import statistics
import subprocess
import sys

REPS = int(os.environ.get("BENCH_REPS", "7"))
build = os.path.abspath(sys.argv[1])
results = sys.argv[2] if len(sys.argv) > 2 else os.path.join(build, "bench-results.dat")
HSUM = f"{build}/hsum/hsum"
RTAB = f"{build}/rtab/rtab"
BASE = f"{build}/bench"
EIGHT = "1 1 0 2 0.5 0 3 0.33 0 4 0.25 0 5 0.2 0 6 0.16 0 7 0.14 0 8 0.12 0".split()
rows = []


def cpu_seconds(proc):
    """User and system time of a finished child and of the children it
    waited for.  Processor time, unlike the clock, leaves out the waits of a
    shared machine, which otherwise move a ratio by several per cent."""
    _, status, usage = os.wait4(proc.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"bench: {proc.args} failed")
    return usage.ru_utime + usage.ru_stime


def timed(argv, sink="null"):
    """Processor seconds for one run with standard output on /dev/null, a
    pipe read by cat, or a pseudo-terminal drained by this process."""
    if sink == "null":
        with open(os.devnull, "wb") as null:
            return cpu_seconds(subprocess.Popen(argv, stdout=null))
    if sink == "pipe":
        cmd = " ".join(argv) + " | cat > /dev/null"
        return cpu_seconds(subprocess.Popen(["sh", "-c", cmd]))
    master, slave = pty.openpty()
    proc = subprocess.Popen(argv, stdout=slave)
    os.close(slave)
    while True:
        try:
            if not os.read(master, 1 << 16):
                break
        except OSError:
            break
    os.close(master)
    return cpu_seconds(proc)


def ratio_row(name, program, baseline, target, sink="null"):
    ratios, ptimes, btimes = [], [], []
    for _ in range(REPS):
        p = timed(program, sink)
        b = timed(baseline, sink)
        ptimes.append(p)
        btimes.append(b)
        ratios.append(p / b)
    r = statistics.median(ratios)
    detail = f"{statistics.median(ptimes):.3f} s vs {statistics.median(btimes):.3f} s"
    rows.append((name, f"{r:.3f}", target, r <= target if target else None, detail))


def instructions(argv):
    out = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] + argv,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True)
    return int(re.search(r"Collected : (\d+)", out.stderr).group(1))


def instruction_row(name, program, baseline, target):
    if shutil.which("valgrind") is None:
        rows.append((name, "skipped", target, None, "valgrind missing"))
        return
    r = instructions(program) / instructions(baseline)
    rows.append((name, f"{r:.3f}", target, r <= target, "callgrind instructions"))


def peak_rss(argv):
    with open(os.devnull, "wb") as null:
        proc = subprocess.Popen(argv, stdout=null)
        _, _, usage = os.wait4(proc.pid, 0)
    return usage.ru_maxrss * 1024


def memory_row(name, argv, length):
    limit = 4 * length + 4 * 1024 * 1024
    used = peak_rss(argv)
    rows.append((name, f"{used / 2**20:.1f} MiB", f"{limit / 2**20:.1f} MiB", used <= limit, "peak resident"))


def numpy_row():
    code = ("import numpy, sys; n = 16777216; i = numpy.arange(n, dtype=numpy.float32); "
            "step = numpy.float32(2 * numpy.pi / n); "
            "t = numpy.sin((i * step).astype(numpy.float64)).astype(numpy.float32); "
            "sys.stdout.buffer.write(t.tobytes())")
    have = lambda: subprocess.run(["/usr/bin/python3", "-c", "import numpy"],
                                  stderr=subprocess.DEVNULL).returncode == 0
    if not have() and os.geteuid() == 0 and shutil.which("apt-get"):
        subprocess.run(["apt-get", "install", "-y", "-qq", "python3-numpy"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not have():
        rows.append(("numpy, same hsum table", "skipped", None, None, "python3-numpy missing"))
        return
    ratio_row("numpy / hsum, -L16777216 1 1 0", ["/usr/bin/python3", "-c", code],
              [HSUM, "-L16777216", "1", "1", "0"], None)


def emitsample_rows(program, how):
    """emitsample alone, and fileno alone on the same stream."""
    if not os.path.exists(f"{BASE}/{program}"):
        rows.append((f"emitsample alone, {how}", "skipped", 1.5, None, "built only with GCC"))
        return None
    emits, lookups = [], []
    for _ in range(3):
        emit, lookup = subprocess.run([f"{BASE}/{program}", "28"], capture_output=True, text=True,
                                      check=True).stdout.split()
        emits.append(float(emit))
        lookups.append(float(lookup))
    ns = statistics.median(emits)
    rows.append((f"emitsample alone, {how}", f"{ns:.2f} ns", 1.5, ns <= 1.5, "2^28 samples, /dev/null"))
    return statistics.median(lookups)


ratio_row("hsum raw, -L16777216 1 1 0", [HSUM, "-L16777216", "1", "1", "0"],
          [f"{BASE}/baseline_hsum", "16777216", "1", "1", "0"], 1.12)
ratio_row("hsum raw, 8 triplets, -L4194304", [HSUM, "-L4194304"] + EIGHT,
          [f"{BASE}/baseline_hsum", "4194304"] + EIGHT, 1.03)
ratio_row("rtab raw, -L67108864", [RTAB, "-L67108864"], [f"{BASE}/baseline_rtab", "67108864"], 1.25)
ratio_row("hsum into a pipe, -L16777216 1 1 0", [HSUM, "-L16777216", "1", "1", "0"],
          [f"{BASE}/baseline_hsum", "16777216", "1", "1", "0"], None, "pipe")
ratio_row("rtab into a pipe, -L67108864", [RTAB, "-L67108864"], [f"{BASE}/baseline_rtab", "67108864"], None,
          "pipe")
ratio_row("hsum text on a terminal, -L1048576", [HSUM, "-L1048576", "1", "1", "0"],
          [f"{BASE}/baseline_text", "1048576", "1", "1", "0"], 1.05, "pty")

lookup = emitsample_rows("emitsample_bench", "called")
emitsample_rows("emitsample_bench_lto", "inlined")
rows.append(("fileno alone, 2^28 calls", f"{lookup:.2f} ns", None, None, "the look-up inside each emitsample"))
memory_row("hsum memory, -L16777216", [HSUM, "-L16777216", "1", "1", "0"], 16777216)
memory_row("rtab memory, -L16777216", [RTAB, "-L16777216"], 16777216)
instruction_row("hsum instructions, -L262144 1 1 0", [HSUM, "-L262144", "1", "1", "0"],
                [f"{BASE}/baseline_hsum", "262144", "1", "1", "0"], 1.20)
instruction_row("hsum instructions, 8 triplets, -L65536", [HSUM, "-L65536"] + EIGHT,
                [f"{BASE}/baseline_hsum", "65536"] + EIGHT, 1.04)
instruction_row("rtab instructions, -L1048576", [RTAB, "-L1048576"], [f"{BASE}/baseline_rtab", "1048576"], 1.35)
numpy_row()

width = max(len(r[0]) for r in rows)
print(f"{'row':<{width}}  {'result':>10}  {'target':>10}  holds  detail")
with open(results, "w") as data:
    for i, (name, value, target, holds, detail) in enumerate(rows):
        verdict = "-" if holds is None else ("yes" if holds else "NO")
        print(f"{name:<{width}}  {value:>10}  {str(target or '-'):>10}  {verdict:>5}  {detail}")
        number = value.split()[0]
        if re.fullmatch(r"[0-9.]+", number) and "MiB" not in value and "ns" not in value:
            data.write(f'{i} "{name}" {number} {target or 0}\n')
print(f"ratios written to {results}")
