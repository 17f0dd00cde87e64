#!/usr/bin/python3
"""Proves check_repairs.py fails the faults it is there to catch, and passes sound repairs.

Sound repairs come from repair_model.py; each test then plants one fault the program could make.
Runs with unittest or pytest; run directly it ends with "selfcheck: N passed, M failed".
"""
import io
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import biff  # noqa: E402
import cfb  # noqa: E402
import check_repairs  # noqa: E402
import damage  # noqa: E402
import repair_model  # noqa: E402
import salvage_check  # noqa: E402
import salvage_damage  # noqa: E402

# Small fixtures from both writers keep the runs quick.
FIXTURES = ["lo_1cell.xls", "lo_3sheets.xls", "gn_3sheets.xls"]


class Base:
    root = None

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="selfcheck_")
        fx = os.path.join(cls.root, "fixtures")
        os.makedirs(fx)
        for n in FIXTURES:
            shutil.copy(os.path.join(damage.DEFAULT_FIXTURES, n), fx)
        cls.fixtures = fx
        cls.base_variants = os.path.join(cls.root, "variants")
        cls.variants = damage.make_variants(fx, cls.base_variants)
        cls.base_out = os.path.join(cls.root, "out")
        cls.base_manifest = os.path.join(cls.root, "manifest.tsv")
        repair_model.repair_folder(cls.variants, cls.base_variants, cls.base_out, cls.base_manifest, fx)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def setUp(self):
        self.case = tempfile.mkdtemp(dir=self.root)
        self.vdir = os.path.join(self.case, "variants")
        self.odir = os.path.join(self.case, "out")
        self.manifest = os.path.join(self.case, "manifest.tsv")
        shutil.copytree(self.base_variants, self.vdir)
        shutil.copytree(self.base_out, self.odir)
        shutil.copy(self.base_manifest, self.manifest)

    def rows(self):
        with open(self.manifest, encoding="utf-8") as f:
            return [line.rstrip("\n").split("\t") for line in f if line.strip()]

    def set_row(self, src, status, out):
        rows = [r if r[0] != src else [src, status, out] for r in self.rows()]
        with open(self.manifest, "w", encoding="utf-8") as f:
            f.writelines("\t".join(r) + "\n" for r in rows)

    def check(self):
        buf = io.StringIO()
        ok = check_repairs.run(self.vdir, self.odir, self.manifest, self.fixtures, out=buf)
        return ok, buf.getvalue().splitlines()

    def assertFails(self, needle):
        ok, lines = self.check()
        self.assertFalse(ok, "\n".join(lines))
        bad = [l for l in lines if l.startswith("FAIL") and needle in l]
        self.assertTrue(bad, "no failure naming %s in:\n%s" % (needle, "\n".join(lines)))
        self.assertRegex(lines[-1], r"^\d+ passed, [1-9]\d* failed$")
        return bad

    def out_path(self, src):
        return os.path.join(self.odir, "REP_" + src)

    def rewrite(self, path, fn):
        with open(path, "rb") as f:
            data = f.read()
        with open(path, "wb") as f:
            f.write(fn(data))


class SoundRepairs(Base, unittest.TestCase):
    def test_model_repairs_pass(self):
        ok, lines = self.check()
        self.assertTrue(ok, "\n".join(lines))
        self.assertEqual(lines[-1], "%d passed, 0 failed" % len(self.variants))

    def test_model_repairs_some_and_fails_some(self):
        # Both outcomes are exercised, or the other tests prove little.
        statuses = {r[1] for r in self.rows()}
        self.assertEqual(statuses, {"Repaired", "Failed", "Partly recovered"})

    def test_failed_row_may_name_an_absent_output(self):
        self.set_row("lo_1cell__truncated.xls", "Failed", "REP_lo_1cell__truncated.xls")
        ok, lines = self.check()
        self.assertTrue(ok, "\n".join(lines))

    def test_description_file_failed_is_accepted(self):
        with open(self.manifest, "a", encoding="utf-8") as f:
            f.write("variants.json\tFailed\t\n")
        ok, lines = self.check()
        self.assertTrue(ok, "\n".join(lines))
        self.assertEqual(lines[-1], "%d passed, 0 failed" % (len(self.variants) + 1))

    def test_numbered_output_name_is_accepted(self):
        src = "lo_3sheets__zero32.xls"
        os.rename(self.out_path(src), os.path.join(self.odir, "REP_(1)" + src))
        self.set_row(src, "Repaired", "REP_(1)" + src)
        ok, lines = self.check()
        self.assertTrue(ok, "\n".join(lines))

    def test_cli_exit_codes(self):
        cmd = [sys.executable, os.path.join(HERE, "check_repairs.py"), "--variants", self.vdir,
               "--output", self.odir, "--manifest", self.manifest, "--fixtures", self.fixtures]
        good = subprocess.run(cmd, capture_output=True, text=True)
        self.assertEqual(good.returncode, 0, good.stdout + good.stderr)
        self.assertEqual(good.stdout.splitlines()[-1], "%d passed, 0 failed" % len(self.variants))
        os.remove(self.out_path("gn_3sheets.xls"))
        bad = subprocess.run(cmd, capture_output=True, text=True)
        self.assertEqual(bad.returncode, 1, bad.stdout + bad.stderr)
        self.assertEqual(bad.stdout.splitlines()[-1], "%d passed, 1 failed" % (len(self.variants) - 1))


class CaughtFaults(Base, unittest.TestCase):
    def test_directory_overwritten_with_zeros(self):
        # LibreOffice keeps its directory in the last sector.
        self.rewrite(self.out_path("lo_3sheets__zero32.xls"), lambda d: d[:-512] + bytes(512))
        self.assertFails("lo_3sheets__zero32.xls")

    def test_fat_overwritten_with_zeros(self):
        # Gnumeric keeps a FAT sector last; olefile alone still opens this one.
        self.rewrite(self.out_path("gn_3sheets__zero32.xls"), lambda d: d[:-512] + bytes(512))
        self.assertFails("gn_3sheets__zero32.xls")

    def test_failed_but_output_left(self):
        src = "lo_1cell__truncated.xls"
        shutil.copy(self.out_path("lo_3sheets__zero32.xls"), os.path.join(self.odir, "REP_(2)" + src))
        self.assertFails(src)

    def test_failed_naming_an_output_that_exists(self):
        src = "lo_1cell__truncated.xls"
        self.set_row(src, "Failed", "REP_lo_1cell.xls")
        self.assertFails(src)

    def test_description_file_repaired(self):
        with open(self.manifest, "a", encoding="utf-8") as f:
            f.write("variants.json\tRepaired\tREP_variants.json\n")
        shutil.copy(self.out_path("lo_1cell.xls"), self.out_path("variants.json"))
        self.assertFails("variants.json")

    def test_repaired_claimed_for_text_file(self):
        src = "html_table.xls"
        shutil.copy(self.out_path("lo_1cell.xls"), self.out_path(src))
        self.set_row(src, "Repaired", "REP_" + src)
        self.assertFails(src)

    def test_repaired_claimed_for_tail_garbage(self):
        # The program's repair of a garbage FAT, with our tail block on it.
        src = "gn_3sheets__tailgarbage.xls"
        with open(os.path.join(self.vdir, src), "rb") as f:
            data = f.read()
        with open(self.out_path(src), "wb") as f:
            f.write(damage.HEADER_PATCH + data[32:-512] + repair_model.TAIL_BLOCK)
        self.set_row(src, "Repaired", "REP_" + src)
        bad = self.assertFails(src)
        self.assertIn("FATSECT", bad[0])

    def test_header_not_patched(self):
        src = "gn_3sheets__spaces32.xls"
        shutil.copy(os.path.join(self.vdir, src), self.out_path(src))
        self.assertFails(src)

    def test_other_workbook_in_output(self):
        src = "lo_3sheets__garbage32.xls"
        shutil.copy(self.out_path("gn_3sheets.xls"), self.out_path(src))
        self.assertFails(src)

    def test_one_cell_changed(self):
        src = "lo_1cell__zero32.xls"
        # 42.0 as a double: the only number in the workbook.
        needle = bytes.fromhex("0000000000004540")
        with open(self.out_path(src), "rb") as f:
            data = f.read()
        if needle in data:
            self.rewrite(self.out_path(src), lambda d: d.replace(needle, bytes.fromhex("0000000000804540"), 1))
        else:  # stored as RK: 42 << 2 | 2
            rk = (42 << 2 | 2).to_bytes(4, "little")
            self.assertIn(rk, data)
            self.rewrite(self.out_path(src), lambda d: d.replace(rk, (43 << 2 | 2).to_bytes(4, "little"), 1))
        self.assertFails(src)

    def test_cell_comparison_itself(self):
        want = check_repairs.cells(os.path.join(self.fixtures, "lo_3sheets.xls"))
        check_repairs.compare_cells(want, want)
        name, nr, nc, rows = want[1]
        changed = [list(r) for r in rows]
        t, v = changed[3][2]
        changed[3][2] = (t, v + 1 if isinstance(v, float) else v + "x")
        got = list(want)
        got[1] = (name, nr, nc, changed)
        with self.assertRaises(check_repairs.Fault):
            check_repairs.compare_cells(got, want)
        got[1] = ("Other", nr, nc, rows)
        with self.assertRaises(check_repairs.Fault):
            check_repairs.compare_cells(got, want)

    def test_expected_repair_reported_failed(self):
        src = "lo_3sheets__spaces32.xls"
        os.remove(self.out_path(src))
        self.set_row(src, "Failed", "")
        self.assertFails(src)

    def test_output_missing(self):
        os.remove(self.out_path("lo_1cell__freetail.xls"))
        self.assertFails("lo_1cell__freetail.xls")

    def test_missing_manifest_line(self):
        src = "size_550_zero.xls"
        rows = [r for r in self.rows() if r[0] != src]
        with open(self.manifest, "w", encoding="utf-8") as f:
            f.writelines("\t".join(r) + "\n" for r in rows)
        self.assertFails(src)

    def test_source_changed_in_place(self):
        src = "lo_3sheets__zero32.xls"
        self.rewrite(os.path.join(self.vdir, src), lambda d: damage.HEADER_PATCH + d[32:])
        self.assertFails(src)

    def test_working_copy_left_behind(self):
        shutil.copy(self.out_path("lo_1cell.xls"), os.path.join(self.odir, "~tessel1.tmp"))
        self.assertFails("~tessel1.tmp")

    def test_partial_copy_with_one_cell_changed(self):
        src = "lo_3sheets__truncated.xls"
        values = [r for r in self.rows() if r[0] == src]
        self.assertEqual(values[0][1], "Partly recovered")
        # A number of the first sheet, one higher.
        with open(self.out_path(src), "rb") as f:
            data = f.read()
        at = data.find(bytes.fromhex("03020e00"))  # a NUMBER record
        self.assertGreater(at, 0)
        self.rewrite(self.out_path(src), lambda d: d[:at + 17] + bytes([d[at + 17] ^ 0x40]) + d[at + 18:])
        self.assertFails(src)

    def test_partial_copy_with_a_cell_the_original_lacks(self):
        # Another workbook's cell, in a sheet the original does not have.
        src = "lo_3sheets__truncated.xls"
        shutil.copy(os.path.join(self.fixtures, "lo_1cell.xls"), self.out_path(src))
        self.assertFails(src)

    def test_partial_expected_but_failed(self):
        src = "gn_3sheets__tailgarbage.xls"
        os.remove(self.out_path(src))
        self.set_row(src, "Failed", "")
        self.assertFails(src)

    def test_partial_reported_for_what_could_be_repaired(self):
        src = "lo_3sheets__zero32.xls"
        self.set_row(src, "Partly recovered", "REP_" + src)
        self.assertFails(src)

    def test_two_sources_one_output(self):
        self.set_row("lo_3sheets__garbage32.xls", "Repaired", "REP_lo_3sheets__zero32.xls")
        self.assertFails("lo_3sheets__garbage32.xls")
        self.assertFails("claim the same output")


class SalvageFaults(unittest.TestCase):
    """salvage_check.py over a perfect salvage (the originals), then with one fault planted."""

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="selfcheck_salvage_")
        cls.fixtures = os.path.join(cls.root, "fixtures")
        os.makedirs(cls.fixtures)
        for n in FIXTURES:
            shutil.copy(os.path.join(damage.DEFAULT_FIXTURES, n), cls.fixtures)
        cls.vdir = os.path.join(cls.root, "variants")
        cls.variants = salvage_damage.make_variants(cls.fixtures, cls.vdir)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def setUp(self):
        self.odir = tempfile.mkdtemp(dir=self.root)
        self.manifest = os.path.join(self.odir, "manifest.tsv")
        with open(self.manifest, "w", encoding="utf-8") as m:
            for v in self.variants:
                book = biff.Workbook(os.path.join(self.fixtures, v["original"]))
                if book.survived(v["damaged"]):
                    shutil.copy(os.path.join(self.fixtures, v["original"]), os.path.join(self.odir, "REP_" + v["file"]))
                    m.write("%s\tPartly recovered\tREP_%s\t\n" % (v["file"], v["file"]))
                else:
                    m.write("%s\tFailed\t\t\n" % v["file"])

    def check(self):
        buf = io.StringIO()
        ok = salvage_check.run(self.vdir, self.odir, self.manifest, self.fixtures, out=buf)
        return ok, buf.getvalue().splitlines()

    def test_a_perfect_salvage_passes_every_kind(self):
        ok, lines = self.check()
        self.assertTrue(ok, "\n".join(lines))
        kinds = [l for l in lines if "(100.0%), wrong 0" in l]
        self.assertEqual(len(kinds), len(salvage_damage.KINDS), "\n".join(lines))

    def test_a_changed_cell_fails(self):
        src = "lo_3sheets__zero2.xls"
        path = os.path.join(self.odir, "REP_" + src)
        with open(path, "rb") as f:
            data = f.read()
        at = data.find(bytes.fromhex("03020e00"))
        with open(path, "wb") as f:
            f.write(data[:at + 17] + bytes([data[at + 17] ^ 0x40]) + data[at + 18:])
        ok, lines = self.check()
        self.assertFalse(ok)
        self.assertTrue([l for l in lines if l.startswith("FAIL " + src) and "differ" in l], "\n".join(lines))

    def test_a_kind_under_the_goal_fails(self):
        rows = []
        with open(self.manifest, encoding="utf-8") as f:
            for line in f:
                src = line.split("\t")[0]
                if "__page" in src and src.startswith("lo_3sheets"):
                    if os.path.exists(os.path.join(self.odir, "REP_" + src)):
                        os.remove(os.path.join(self.odir, "REP_" + src))
                    line = "%s\tFailed\t\t\n" % src
                rows.append(line)
        with open(self.manifest, "w", encoding="utf-8") as f:
            f.writelines(rows)
        ok, lines = self.check()
        self.assertFalse(ok)
        self.assertTrue([l for l in lines if l.startswith("FAIL page") and "under 95%" in l], "\n".join(lines))

    def test_a_malformed_copy_fails(self):
        src = "gn_3sheets__cut50.xls"
        path = os.path.join(self.odir, "REP_" + src)
        with open(path, "rb") as f:
            data = f.read()
        with open(path, "wb") as f:
            f.write(data[:-512] + bytes(512))
        ok, lines = self.check()
        self.assertFalse(ok)
        self.assertTrue([l for l in lines if l.startswith("FAIL " + src)], "\n".join(lines))

    def test_cells_back_counts_as_one_lookup_per_cell(self):
        n, s = 2, 1  # xlrd's number and text kinds
        want = {("a", 0, 0): (n, 1.0), ("a", 0, 1): (s, "x"), ("a", 1, 0): (n, 2.0), ("b", 0, 0): (s, "y")}
        cases = [
            ("all back", {("a", 0, 0), ("a", 0, 1)}, dict(want)),
            ("one missing", {("a", 0, 0), ("a", 1, 0)}, {("a", 0, 0): (n, 1.0)}),
            ("one changed", {("a", 0, 0), ("a", 0, 1)}, {("a", 0, 0): (n, 1.0), ("a", 0, 1): (s, "z")}),
            ("kind changed", {("a", 0, 0)}, {("a", 0, 0): (s, 1.0)}),
            ("neither has it", {("c", 5, 5), ("a", 0, 0)}, {("a", 0, 0): (n, 1.0)}),
            ("only the copy has it", {("c", 5, 5)}, {("c", 5, 5): (n, 3.0)}),
            ("nothing came back", set(want), {}),
        ]
        for name, alive, got in cases:
            with self.subTest(name):
                wrong = [(k, v, want.get(k)) for k, v in got.items() if want.get(k) != v]
                one_by_one = sum(1 for cell in alive if got.get(cell) == want.get(cell))
                self.assertEqual(salvage_check.cells_back(alive, got, want, wrong), one_by_one)


class Structure(unittest.TestCase):
    def test_fixtures_are_well_formed(self):
        for n in FIXTURES:
            with open(os.path.join(damage.DEFAULT_FIXTURES, n), "rb") as f:
                cfb.check(f.read())

    def test_broken_chains_are_malformed(self):
        with open(os.path.join(damage.DEFAULT_FIXTURES, "gn_3sheets.xls"), "rb") as f:
            data = f.read()
        for block in (bytes(512), b"\xff" * 512):
            with self.assertRaises(cfb.Malformed):
                cfb.check(data[:-512] + block)
        with self.assertRaises(cfb.Malformed):
            cfb.check(data[:30] + b"\x0c\x00" + data[32:])  # 4096-byte sectors claimed


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=1).result
    bad = len(result.failures) + len(result.errors)
    print("selfcheck: %d passed, %d failed" % (result.testsRun - bad - len(result.skipped), bad))
    sys.exit(1 if bad else 0)
