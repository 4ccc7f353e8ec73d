#!/usr/bin/env python3
# Runs each workload of workloads/ through the script runner and its Python twin, checks that both
# print the same, and reports CPU time (whole process, and with each interpreter's start-up left
# out: the median CPU time of running an empty script subtracted) and peak memory (maximum
# resident set) beside each other. The ratio without start-up is also taken pair by pair (each
# run of the script against the Python run right after it), and its lowest and highest show how
# far the machine's noise moved it.
#
#   bench/script/compare.py build/release/tools/scriptrun [--runs 5] [workload ...]
import argparse
import os
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
WORKLOADS = os.path.join(HERE, "workloads")


def measure(command):
    """Runs the command under /usr/bin/time; returns (output, CPU seconds, peak kilobytes). The
    CPU time is what wait4 reports for /usr/bin/time with the command it waited for (to the
    microsecond; time's "%U %S" give hundredths of a second, a twentieth of the shortest
    workloads, and time itself takes about a millisecond, the same for both and taken out with
    the start-up); the peak is the command's own maximum resident set, from time's "%M"."""
    with tempfile.NamedTemporaryFile(mode="r") as peak, tempfile.TemporaryFile() as out:
        timed = ["/usr/bin/time", "-f", "%M", "-o", peak.name] + command
        child = subprocess.Popen(timed, stdout=out, stderr=subprocess.DEVNULL, cwd=WORKLOADS)
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)
        if child.returncode != 0:
            sys.exit("%s exited with %d" % (" ".join(command), child.returncode))
        out.seek(0)
        return out.read(), usage.ru_utime + usage.ru_stime, int(peak.read().split()[-1])


def series(commands, runs):
    """Runs the commands alternately, runs times each after a warm-up; the CPU times of every
    run, the medians per command and the peaks."""
    for command in commands:
        measure(command)
    cpu = [[] for _ in commands]
    peak = [0 for _ in commands]
    outputs = [None for _ in commands]
    for _ in range(runs):
        for k, command in enumerate(commands):
            output, seconds, kilobytes = measure(command)
            outputs[k] = output
            cpu[k].append(seconds)
            peak[k] = max(peak[k], kilobytes)
    return outputs, [statistics.median(c) for c in cpu], peak, cpu


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("runner", help="the script runner (tools/scriptrun of a release tree)")
    parser.add_argument("--runs", type=int, default=5)
    # The interpreter itself, not a launcher in front of it whose start-up would be counted.
    parser.add_argument("--python", default=sys.executable)
    parser.add_argument("workloads", nargs="*")
    # Options may come after the runner as well as before it.
    args = parser.parse_intermixed_args()
    runner = os.path.abspath(args.runner)
    names = args.workloads or sorted(
        f[:-4] for f in os.listdir(WORKLOADS)
        if f.endswith(".lua") and os.path.exists(os.path.join(WORKLOADS, f[:-4] + ".py")))

    with tempfile.TemporaryDirectory() as scratch:
        empty_lua = os.path.join(scratch, "empty.lua")
        empty_py = os.path.join(scratch, "empty.py")
        open(empty_lua, "w").close()
        open(empty_py, "w").close()
        _, (start_lua, start_py), _, _ = series([[runner, empty_lua], [args.python, empty_py]],
                                             args.runs)
    print("start-up CPU: script %.3f s, Python %.3f s (medians of %d runs)" %
          (start_lua, start_py, args.runs))
    print()
    print("| workload | script s | Python s | script / Python | without start-up "
          "| pairs: median (range) | script MB | Python MB |")
    print("|---|---|---|---|---|---|---|---|")
    mismatched = []
    for name in names:
        outputs, (lua, py), (peak_lua, peak_py), (runs_lua, runs_py) = series(
            [[runner, name + ".lua"], [args.python, name + ".py"]], args.runs)
        if outputs[0] != outputs[1]:
            mismatched.append(name)
        work_lua = max(lua - start_lua, 1e-3)
        work_py = max(py - start_py, 1e-3)
        pairs = [max(a - start_lua, 1e-3) / max(b - start_py, 1e-3)
                 for a, b in zip(runs_lua, runs_py)]
        print("| `%s` | %.2f | %.2f | %.2f | %.2f | %.2f (%.2f to %.2f) | %.1f | %.1f |" %
              (name, lua, py, lua / py, work_lua / work_py, statistics.median(pairs),
               min(pairs), max(pairs), peak_lua / 1024, peak_py / 1024))
        sys.stdout.flush()
    if mismatched:
        sys.exit("outputs differ: " + ", ".join(mismatched))


if __name__ == "__main__":
    main()
