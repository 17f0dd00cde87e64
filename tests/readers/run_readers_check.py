#!/usr/bin/python3
"""Repairs the damaged variants with the real program and judges the outputs with olefile and xlrd.

Usage: run_readers_check.py [--exe build/tests/repair_tests.exe] [--keep DIR] [--fixtures DIR]

Writes a large workbook beside the committed fixtures (big_fixture.py) and, into one folder, the
variants of the header repair (damage.py) and of the salvage (salvage_damage.py), runs
MainWindowTest.RepairsAFolderForTheReaders under Wine with TESSEL_READERS_SOURCE/OUTPUT/MANIFEST
set, then check_repairs.py and salvage_check.py on what it left.
Ends with "N passed, M failed"; exits 1 on any failure.
"""
import argparse
import getpass
import io
import multiprocessing
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)

import big_fixture  # noqa: E402
import check_repairs  # noqa: E402
import damage  # noqa: E402
import salvage_check  # noqa: E402
import salvage_damage  # noqa: E402

TEST = "MainWindowTest.RepairsAFolderForTheReaders"


def wine_prefix():
    """The prefix wine-run.sh uses: the test lane's own when CTest gave this run one."""
    if os.environ.get("WINEPREFIX"):
        return os.environ["WINEPREFIX"]
    lane = os.environ.get("CTEST_RESOURCE_GROUP_0_LANE", "")  # "id:2,slots:1"
    lane_id = lane[3:].split(",")[0] if lane.startswith("id:") else "1"
    name = "wineprefix-test" if lane_id in ("", "1") else "wineprefix-test-" + lane_id
    return os.path.join(ROOT, "build", name)


def windows_path(path):
    """The path as the program sees it: C: is the prefix's drive_c, everything else Z:."""
    path = os.path.abspath(path)
    drive_c = os.path.join(wine_prefix(), "drive_c")
    if path.startswith(drive_c + os.sep):
        return "C:" + path[len(drive_c):].replace("/", "\\")
    return "Z:" + path.replace("/", "\\")


def captured(function, args, kwargs):
    """function(*args, **kwargs, out=...) with what it writes kept: (its result, the text)."""
    text = io.StringIO()
    result = function(*args, out=text, **kwargs)
    return result, text.getvalue()


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--exe", default=os.path.join(ROOT, "build", "tests", "repair_tests.exe"))
    ap.add_argument("--keep", help="folder for the variants, outputs and manifest (kept afterwards)")
    ap.add_argument("--fixtures", default=damage.DEFAULT_FIXTURES)
    ap.add_argument("--timeout", type=int, default=1500)
    a = ap.parse_args(argv)
    if not os.path.isfile(a.exe):
        print("no test program %s: build first" % a.exe)
        print("0 passed, 1 failed")
        return 1
    # In the program's own temporary folder (the user's Temp on the prefix's C: drive), where
    # Wine's folder browser finds a folder by its path; it did not for new folders elsewhere.
    temp = os.path.join(wine_prefix(), "drive_c", "users", getpass.getuser(), "Temp")
    os.makedirs(temp, exist_ok=True)
    work = a.keep or tempfile.mkdtemp(prefix="tessel_readers_", dir=temp)
    helper = None
    try:
        # The committed fixtures and one too large to commit.
        fdir = os.path.join(work, "fixtures")
        shutil.rmtree(fdir, ignore_errors=True)
        os.makedirs(fdir)
        for name, _ in damage.load_fixtures(a.fixtures):
            shutil.copy(os.path.join(a.fixtures, name), fdir)
        big_fixture.write(os.path.join(fdir, big_fixture.NAME))
        vdir = os.path.join(work, "variants")
        odir = os.path.join(work, "output")
        manifest = os.path.join(work, "manifest.tsv")
        for p in (vdir, odir):
            shutil.rmtree(p, ignore_errors=True)
        if os.path.exists(manifest):
            os.remove(manifest)
        # The two sets of variants (their own seeds, their own file names) and later the two checks
        # are independent and each takes one core for seconds: one of each in a second process.
        helper = multiprocessing.get_context("fork").Pool(1)
        header_variants = helper.apply_async(damage.make_variants, (fdir, vdir), {"large": (big_fixture.NAME,)})
        salvaged = salvage_damage.make_variants(fdir, vdir, large=(big_fixture.NAME,))
        header_variants.get()
        os.makedirs(odir)
        env = dict(os.environ)
        env.setdefault("TESSEL_TEST_PREFIX", "1")
        env.update(TESSEL_READERS_SOURCE=windows_path(vdir), TESSEL_READERS_OUTPUT=windows_path(odir),
                   TESSEL_READERS_MANIFEST=windows_path(manifest))
        cmd = [os.path.join(ROOT, "scripts", "wine-run.sh"), a.exe, "--gtest_filter=" + TEST]
        try:
            run = subprocess.run(cmd, cwd=os.path.join(ROOT, "build", "bin"), env=env,
                                 capture_output=True, text=True, errors="replace", timeout=a.timeout)
        except subprocess.TimeoutExpired:
            print("the repair run took over %d s" % a.timeout)
            print("0 passed, 1 failed")
            return 1
        if run.returncode != 0 or not os.path.isfile(manifest) or "[  SKIPPED ]" in run.stdout:
            sys.stdout.write(run.stdout[-4000:])
            print("the repair run failed (exit %d) or wrote no manifest" % run.returncode)
            print("0 passed, 1 failed")
            return 1
        header_check = helper.apply_async(captured, (check_repairs.run, (vdir, odir, manifest, fdir),
                                                     {"others": [v["file"] for v in salvaged]}))
        salvage_ok, salvage_text = captured(salvage_check.run, (vdir, odir, manifest, fdir), {})
        header_ok, header_text = header_check.get()
        print("-- the header repair")
        sys.stdout.write(header_text)
        print("-- the salvage")
        sys.stdout.write(salvage_text)
        return 0 if header_ok and salvage_ok else 1
    finally:
        if helper:
            helper.terminate()
        if not a.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
