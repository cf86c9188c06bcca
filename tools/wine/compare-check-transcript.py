#!/usr/bin/env python3
"""Compares what SetupCheck.exe says the program would do with what the real
program did in the same scenario (its expectations): the exit code, the boxes
(caption, text, style, the button pressed; of the shell's own box only its
style and button), the engine's command lines, and
the files it writes: each file of expect_files that the machine did not hold
before (those the engine may have changed are left out), with its size
unless its times are masked, and below an expect_tree folder those alone.

    compare-check-transcript.py <scenario dir> <transcript.json>

Prints each difference; exit status 0 when there is none, 1 otherwise.
"""
import json
import pathlib
import sys

BUTTONS = {1: "OK", 2: "Cancel", 3: "Abort", 4: "Retry", 5: "Ignore", 6: "Yes", 7: "No",
           10: "TryAgain", 11: "Continue"}


def conf_values(conf, key):
    return [line[len(key) + 1:].rstrip("\r") for line in conf.read_text(encoding="utf-8").splitlines()
            if line.startswith(key + "=")]


def conf_value(conf, key, default):
    values = conf_values(conf, key)
    return values[0] if values else default


def windows_path(relative):
    return "C:\\" + str(relative).replace("/", "\\")


def file_differences(scenario, run):
    """The files the program wrote in the scenario against those the transcript lists."""
    conf = scenario / "scenario.conf"
    masked = {path.lower() for path in conf_values(conf, "mask_times")}
    expected_root, before_root = scenario / "expect_files" / "C", scenario / "before_files" / "C"
    written = {file["path"].lower(): file for file in run["files_written"]}
    differences = []
    expected = sorted(path.relative_to(expected_root) for path in expected_root.rglob("*") if path.is_file()) \
        if expected_root.is_dir() else []
    for relative in expected:
        path = windows_path(relative)
        if (before_root / relative).exists():
            continue
        listed = written.get(path.lower())
        if listed is None:
            differences.append(f"no {path} written, the program wrote it")
        elif path.lower() not in masked and listed["size"] != (expected_root / relative).stat().st_size:
            differences.append(f"{path} of {listed['size']} bytes, the program's has "
                               f"{(expected_root / relative).stat().st_size}")
    for tree in conf_values(conf, "expect_tree"):
        prefix = tree.lower().rstrip("\\") + "\\"
        want = {windows_path(relative).lower() for relative in expected if windows_path(relative).lower().startswith(prefix)}
        got = {path for path in written if path.startswith(prefix)}
        if got != want:
            differences.append(f"files below {tree} {sorted(got)}, the program's were {sorted(want)}")
    return differences


def main():
    scenario, transcript_file = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    try:
        run = json.loads(transcript_file.read_text(encoding="utf-8"))
    except (OSError, ValueError) as error:
        print(f"FAIL: no transcript from SetupCheck.exe ({error})")
        return 1
    differences = []

    want_exit = int(conf_value(scenario / "scenario.conf", "exit_code", "0"), 0)
    if run["exit_code"] != want_exit:
        differences.append(f"exit code {run['exit_code']}, the program's was {want_exit}")

    boxes_file = scenario / "expect_boxes.jsonl"
    want_boxes = [json.loads(line) for line in boxes_file.read_text(encoding="utf-8").splitlines()] \
        if boxes_file.exists() else []
    got_boxes = [{"caption": box["caption"], "text": box["text"], "style": box["style"],
                  "pressed": BUTTONS.get(box["answer"], str(box["answer"]))} for box in run["boxes"]]
    want_boxes = [{"caption": box["caption"], "text": box["text"], "style": int(box.get("style", "-1"), 16),
                   "pressed": box["pressed"]} for box in want_boxes]
    # The shell's own box: the check reports Windows' caption and text, which
    # Wine's shell words otherwise; only what both show is compared.
    for got, want, box in zip(got_boxes, want_boxes, run["boxes"]):
        if box.get("shown_by_shell"):
            got["caption"], got["text"] = want["caption"], want["text"]
    if got_boxes != want_boxes:
        differences.append(f"boxes {json.dumps(got_boxes)}, the program's were {json.dumps(want_boxes)}")

    engine_file = scenario / "expect_engine_command_line.txt"
    want_engine = engine_file.read_text(encoding="utf-8").splitlines() if engine_file.exists() else []
    # The engine starts the check held back; one that could not start never ran.
    got_engine = [process["command_line"] for process in run["processes"]
                  if process["kind"] == "create" and process["held_back"]]
    if got_engine != want_engine:
        differences.append(f"engine command lines {got_engine}, the program's were {want_engine}")

    differences += file_differences(scenario, run)

    for difference in differences:
        print(f"FAIL: SetupCheck.exe reports {difference}")
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
