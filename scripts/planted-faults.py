#!/usr/bin/env python3
"""Plants the faults of tests/planted/faults.json one at a time and checks
that each makes a test fail.

For each fault: its edits are applied to the source (each replaces one text
that must occur exactly once), the fault's preset is built, and its tests
run (the whole host suite, or the fault's "tests" regex of the win32
preset's tests under Wine). A fault is caught when the build succeeds and a
test fails. The sources are put back after each fault, whatever happened.

Usage: scripts/planted-faults.py [--preset host|win32] [--only TEXT]
The presets must have been configured (cmake --preset P). Prints one line
per fault and exits 1 when a fault was not caught or could not be planted.
"""
import argparse
import json
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent


def run(command, log):
    with open(log, "a") as out:
        out.write("$ " + " ".join(command) + "\n")
        out.flush()
        return subprocess.run(command, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT).returncode


def build_and_test(preset, tests, log):
    """'build failed', 'tests failed' or 'tests passed'."""
    if run(["cmake", "--build", "--preset", preset], log) != 0:
        return "build failed"
    command = ["ctest", "--preset", preset, "--stop-on-failure"]
    if tests:
        command += ["-R", tests]
    return "tests passed" if run(command, log) == 0 else "tests failed"


def planted(edits):
    """The files' texts with the edits applied; raises when a text is not there exactly once."""
    texts = {}
    for path, find, replace in edits:
        text = texts.get(path) or (ROOT / path).read_text()
        count = text.count(find)
        if count != 1:
            raise ValueError(f"{path}: the text to replace occurs {count} times: {find!r}")
        texts[path] = text.replace(find, replace)
    return texts


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preset", choices=["host", "win32"])
    parser.add_argument("--only", default="", help="only the faults whose name holds this text")
    args = parser.parse_args()
    faults = [f for f in json.loads((ROOT / "tests/planted/faults.json").read_text())["faults"]
              if (not args.preset or f["preset"] == args.preset) and args.only in f["name"]]
    files = sorted({edit[0] for fault in faults for edit in fault["edits"]})
    if subprocess.run(["git", "diff", "--quiet", "--", *files], cwd=ROOT).returncode != 0:
        sys.exit("planted-faults: the files to plant in have uncommitted changes; commit or stash them first")
    log = ROOT / "build" / "planted-faults.log"
    log.write_text("")
    print(f"planted faults: {len(faults)}; the builds and test runs are in {log}")

    for preset in sorted({f["preset"] for f in faults}):
        regexes = [f.get("tests") for f in faults if f["preset"] == preset]
        tests = None if None in regexes else "|".join(sorted(set(regexes)))
        if build_and_test(preset, tests, log) != "tests passed":
            sys.exit(f"planted-faults: the {preset} tests fail without a planted fault; see {log}")

    missed = 0
    for fault in faults:
        originals = {path: (ROOT / path).read_text() for path, _, _ in fault["edits"]}
        try:
            for path, text in planted(fault["edits"]).items():
                (ROOT / path).write_text(text)
            outcome = build_and_test(fault["preset"], fault.get("tests"), log)
        except ValueError as error:
            outcome = f"not planted: {error}"
        finally:
            for path, text in originals.items():
                (ROOT / path).write_text(text)
        caught = outcome == "tests failed"
        missed += not caught
        print(f"{'caught' if caught else 'MISSED'}  {fault['preset']:5}  {fault['name']}"
              + ("" if caught else f"  ({outcome})"), flush=True)

    for preset in sorted({f["preset"] for f in faults}):
        run(["cmake", "--build", "--preset", preset], log)  # the build matches the sources again
    print(f"planted faults: {len(faults) - missed} of {len(faults)} caught")
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
