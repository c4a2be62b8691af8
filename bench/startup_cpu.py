#!/usr/bin/env python3
"""Start-up cost of the player beside a minimal Qt Widgets program (startup_baseline).

Runs the baseline (an empty window; and the same window with one line of text, which
adds starting the font system), and the player, one after the other, several times, each
in a process of its own, and prints the median CPU time (user + system) and the median
peak memory (resident set) of each, and the player's figures over each baseline's. All
save their window as BMP, which costs next to nothing: encoding a PNG of the player's
picture took longer than encoding the empty window's, and that is not start-up.

    bench/startup_cpu.py [--build DIR] [--runs K] [-- PLAYER COMMAND ...]

The player's command defaults to the player on the demo disc, silent, saving a screenshot
once it has polled (it then closes the normal way); both run on the offscreen platform
unless QT_QPA_PLATFORM says otherwise. "{dir}" in a command is a fresh temporary folder.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

DEFAULT_PLAYER = ["{build}/bin/qvplayer", "--drive", "demo", "--audio", "null",
                  "--library", "{build}/demo/demo.dbd", "--settings-dir", "{dir}",
                  "--screenshot", "{dir}/shot.bmp"]


def measure(command, build):
    """Runs command once; returns (CPU seconds, peak resident MiB, wall seconds)."""
    with tempfile.TemporaryDirectory(prefix="sonarch-startup-") as folder:
        argv = [part.replace("{build}", build).replace("{dir}", folder) for part in command]
        started = time.monotonic()
        with tempfile.TemporaryFile() as errors:
            process = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=errors)
            _, status, usage = os.wait4(process.pid, 0)
            wall = time.monotonic() - started
            process.returncode = os.waitstatus_to_exitcode(status)
            if process.returncode != 0:
                errors.seek(0)
                sys.stderr.write(errors.read().decode(errors="replace"))
                sys.exit(f"{argv[0]} ended with {process.returncode}")
        return usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024, wall


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", help="the build folder (default: build)")
    parser.add_argument("--runs", type=int, default=10, help="runs of each (default: 10)")
    parser.add_argument("player", nargs="*", help="the player's command line")
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
    baseline = "baseline (one window, then exit)"
    with_text = "baseline with one line of text"
    commands = {
        baseline: ["{build}/bin/startup_baseline", "--screenshot", "{dir}/shot.bmp"],
        with_text: ["{build}/bin/startup_baseline", "--text", "--screenshot", "{dir}/shot.bmp"],
        "player": options.player or DEFAULT_PLAYER,
    }
    figures = {name: [] for name in commands}
    for _ in range(options.runs):
        for name, command in commands.items():
            figures[name].append(measure(command, build))

    print(f"start-up, {options.runs} runs each, medians; "
          f"QT_QPA_PLATFORM={os.environ['QT_QPA_PLATFORM']}")
    print(f"{'':34} {'CPU s':>8} {'peak MiB':>9} {'wall s':>8}")
    medians = {}
    for name, runs in figures.items():
        cpu = statistics.median(r[0] for r in runs)
        memory = statistics.median(r[1] for r in runs)
        wall = statistics.median(r[2] for r in runs)
        medians[name] = (cpu, memory)
        print(f"{name:34} {cpu:8.3f} {memory:9.1f} {wall:8.2f}")
    player = medians["player"]
    for name in (baseline, with_text):
        base = medians[name]
        label = "player / " + name.split(" (")[0]
        print(f"{label:34} {player[0] / base[0]:8.2f} {player[1] / base[1]:9.2f}")
    print("player: " + " ".join(commands["player"]).replace("{build}", build))


if __name__ == "__main__":
    main()
