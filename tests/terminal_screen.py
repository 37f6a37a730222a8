#!/usr/bin/env python3
"""kelvane-split in a terminal, with stdout and stderr on the same screen.

Runs a conversion in a pseudo-terminal and replays what it wrote on a small
screen model (carriage return, line feed, erase to the end of the line): the
progress bar and the names of the day files must never share a line, at any
moment, and the bar must be gone at the end.
"""
import datetime
import os
import pty
import re
import subprocess
import sys
import tempfile

BAR = re.compile(r"^\[[#.]{40}\] +\d+%$")
NAME = re.compile(r"^\d{8}_\d{2}_\w+\.(xml|txt|gpx)$")
SUMMARY = re.compile(r"^kelvane-split: \d+ runs read")


def history(runs):
    today = datetime.date.today()
    lines = ['<?xml version="1.0" ?>', "<History>"]
    for i in range(runs):
        day = today - datetime.timedelta(days=runs - i)
        lines += ["<Run>", f"<StartTime>{day.isoformat()}T08:00:00Z</StartTime>", "</Run>"]
    lines.append("</History>")
    return ("\r\n".join(lines) + "\r\n").encode()


def run_in_terminal(program, arguments):
    controller, terminal = pty.openpty()
    process = subprocess.Popen([program] + arguments, stdin=terminal, stdout=terminal,
                               stderr=terminal, close_fds=True)
    os.close(terminal)
    chunks = []
    while True:
        try:
            chunk = os.read(controller, 65536)
        except OSError:  # the other end is closed
            break
        if not chunk:
            break
        chunks.append(chunk)
    os.close(controller)
    return process.wait(), b"".join(chunks).decode()


def replay(output):
    """The finished lines, checking the line being written after every character."""
    lines, line, column, at = [], [], 0, 0
    while at < len(output):
        c = output[at]
        if output.startswith("\x1b[K", at):
            del line[column:]
            at += 3
            continue
        at += 1
        if c == "\x1b":
            raise AssertionError(f"unexpected escape sequence at {at}: {output[at - 1:at + 8]!r}")
        if c == "\r":
            column = 0
        elif c == "\n":
            lines.append("".join(line))
            line, column = [], 0
        else:
            line[column:column + 1] = [c]
            column += 1
        shown = "".join(line)
        if "[" in shown and re.search(r"\d{8}_", shown):
            raise AssertionError(f"a name and the bar share a line: {shown!r}")
    return lines, "".join(line)


def main():
    program = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "walk.xml")
        with open(path, "wb") as f:
            f.write(history(300))
        status, output = run_in_terminal(program, ["--xml", "--gpx", "-C", folder, path])
        assert status == 0, f"exit status {status}: {output[-500:]!r}"
        lines, last = replay(output)
        assert last == "", f"the bar is left on the screen: {last!r}"
        names = [l for l in lines if NAME.match(l)]
        assert len(names) == 600, f"{len(names)} names seen, not 600"
        for l in lines:
            assert NAME.match(l) or SUMMARY.match(l) or l == "", f"an unclean line: {l!r}"
        assert "[" in output, "no progress bar was drawn"
    print("the screen reads cleanly:", len(lines), "lines")


if __name__ == "__main__":
    main()
