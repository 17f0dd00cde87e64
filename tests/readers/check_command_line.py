#!/usr/bin/python3
"""Repairs the samples with the program's command line and judges what it left with independent readers.

Usage: check_command_line.py

Runs CalveraTessel.exe /repair <samples folder> /out <folder> /report <file> /quiet under Wine,
reads the report back with Python's csv module, and checks every repaired copy with olefile and
xlrd against the undamaged original's cells. Ends with "N passed, M failed"; exits 1 on any failure.
"""
import csv
import getpass
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)

import check_repairs  # noqa: E402
from run_readers_check import wine_prefix, windows_path  # noqa: E402

# Each sample and the original it was damaged from.
SAMPLES = {
    "Budget 2026.xls": "lo_3sheets.xls",
    "Sales by region.xls": "gn_3sheets.xls",
    "Inventory.xls": "lo_1cell.xls",
    "Price list.xls": "gn_1cell.xls",
}
# A sample cut short: what survives comes back, and the report says what did not.
PARTIAL_NAME = "Old archive.xls"
PARTIAL_LOST = "Notes, Zeta"
# Text saved under a workbook's name: nothing to repair.
JUNK_NAME = "Scanned notes.xls"


def main():
    temp = os.path.join(wine_prefix(), "drive_c", "users", getpass.getuser(), "Temp")
    os.makedirs(temp, exist_ok=True)
    work = tempfile.mkdtemp(prefix="tessel_cli_", dir=temp)
    passed, failed = 0, 0

    def judge(ok, what):
        nonlocal passed, failed
        print(("ok: " if ok else "FAIL: ") + what)
        if ok:
            passed += 1
        else:
            failed += 1

    try:
        src = os.path.join(work, "books")
        os.makedirs(os.path.join(src, "older"))
        for i, name in enumerate(sorted(SAMPLES)):
            # One in a sub-folder: the folder argument takes the tree.
            shutil.copy(os.path.join(ROOT, "samples", name), os.path.join(src, "older" if i == 0 else "", name))
        shutil.copy(os.path.join(ROOT, "samples", PARTIAL_NAME), os.path.join(src, PARTIAL_NAME))
        with open(os.path.join(src, JUNK_NAME), "w") as f:
            f.write("Minutes of the meeting, scanned.\n" * 40)
        out = os.path.join(work, "out")
        report = os.path.join(work, "report.csv")
        env = dict(os.environ)
        env.setdefault("TESSEL_TEST_PREFIX", "1")
        cmd = [os.path.join(ROOT, "scripts", "wine-run.sh"), os.path.join(ROOT, "build", "bin", "CalveraTessel.exe"),
               "/repair", windows_path(src), "/out", windows_path(out), "/report", windows_path(report), "/quiet"]
        run = subprocess.run(cmd, cwd=os.path.join(ROOT, "build", "bin"), env=env, capture_output=True, text=True,
                             errors="replace", timeout=300)
        sys.stdout.write(run.stdout)
        judge(run.returncode == 1, "exit code %d (1: one workbook cannot be repaired, one only in part)"
              % run.returncode)
        judge("4 repaired, 1 partly recovered, 1 failed." in run.stdout, "the summary line")
        with open(report, "rb") as f:
            judge(f.read(3) == b"\xef\xbb\xbf", "the report starts with a byte-order mark")
        with open(report, newline="", encoding="utf-8-sig") as f:
            rows = list(csv.reader(f))
        judge(rows[0] == ["Source", "Repaired copy", "Status", "What was lost"], "the report's header")
        by_name = {row[0].rsplit("\\", 1)[-1]: row for row in rows[1:]}
        judge(sorted(by_name) == sorted(list(SAMPLES) + [PARTIAL_NAME, JUNK_NAME]),
              "one line per workbook: %s" % sorted(by_name))
        partial_copy = os.path.join(out, "REP_" + PARTIAL_NAME)
        partial_row = by_name.get(PARTIAL_NAME, [])
        judge(partial_row == [windows_path(os.path.join(src, PARTIAL_NAME)), windows_path(partial_copy),
                              "Partly recovered", PARTIAL_LOST],
              "%s: partly recovered, what was lost named (%s)" % (PARTIAL_NAME, partial_row))
        try:
            check_repairs.check_structure(partial_copy)
            judge(True, "%s: olefile reads the partial copy" % PARTIAL_NAME)
        except (check_repairs.Fault, OSError) as e:
            judge(False, "%s: %s" % (PARTIAL_NAME, e))
        judge(by_name.get(JUNK_NAME, [])[1:] == ["", "Failed", ""], "%s: no copy, Failed" % JUNK_NAME)
        for name, original in sorted(SAMPLES.items()):
            row = by_name.get(name)
            if not row:
                continue
            judge(row[2] == "Repaired" and row[1] == windows_path(os.path.join(out, "REP_" + name)),
                  "%s: Repaired into %s" % (name, row[1]))
            copy = os.path.join(out, "REP_" + name)
            try:
                check_repairs.check_structure(copy)
                check_repairs.compare_cells(check_repairs.cells(copy),
                                            check_repairs.cells(os.path.join(ROOT, "tests", "fixtures", original)))
                judge(True, "%s: olefile and xlrd read the copy with the original's cells" % name)
            except (check_repairs.Fault, OSError) as e:
                judge(False, "%s: %s" % (name, e))
        judge(sorted(os.listdir(out)) == sorted(["REP_" + n for n in SAMPLES] + ["REP_" + PARTIAL_NAME]),
              "nothing else in /out")
    except (OSError, IndexError, subprocess.TimeoutExpired) as e:
        judge(False, "the run: %s" % e)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
