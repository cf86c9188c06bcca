#!/usr/bin/env python3
"""Compares what SetupCheck.exe says the program would do with what the real
program did in the same scenario (its expectations): the exit code, the boxes
(caption, text, style, the button pressed) and the engine's command lines.

    compare-check-transcript.py <scenario dir> <transcript.json>

Prints each difference; exit status 0 when there is none, 1 otherwise.
"""
import json
import pathlib
import sys

BUTTONS = {1: "OK", 2: "Cancel", 3: "Abort", 4: "Retry", 5: "Ignore", 6: "Yes", 7: "No",
           10: "TryAgain", 11: "Continue"}


def conf_value(conf, key, default):
    for line in conf.read_text(encoding="utf-8").splitlines():
        if line.startswith(key + "="):
            return line[len(key) + 1:].rstrip("\r")
    return default


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
    if got_boxes != want_boxes:
        differences.append(f"boxes {json.dumps(got_boxes)}, the program's were {json.dumps(want_boxes)}")

    engine_file = scenario / "expect_engine_command_line.txt"
    want_engine = engine_file.read_text(encoding="utf-8").splitlines() if engine_file.exists() else []
    got_engine = [process["command_line"] for process in run["processes"] if process["kind"] == "create"]
    if got_engine != want_engine:
        differences.append(f"engine command lines {got_engine}, the program's were {want_engine}")

    for difference in differences:
        print(f"FAIL: SetupCheck.exe reports {difference}")
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
