#!/usr/bin/env bash
# Writes the real .xls workbooks the repair is tested on, with four independent writers:
# LibreOffice (from flat ODS), Gnumeric's ssconvert (from .gnumeric XML), Python's xlwt and Perl's
# Spreadsheet::WriteExcel (the last two for the small books only, to keep the committed files small;
# tests/readers/big_fixture.py writes a large xlwt book at test time).
# Content is seeded and dates are pinned: with the same writer versions, every run gives the
# same bytes.
# Usage: [WRITERS="lo gn xl we"] scripts/make_fixtures.sh [output folder]   (default: tests/fixtures)
# WRITERS picks the writers to run (and to install); by default all four.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OUT="${1:-$ROOT/tests/fixtures}"
PY=/usr/bin/python3
WRITERS="${WRITERS:-lo gn xl we}"
has() { [[ " $WRITERS " == *" $1 "* ]]; }

need=()
has lo && ! command -v soffice >/dev/null 2>&1 && need+=(libreoffice-calc-nogui)
has gn && ! command -v ssconvert >/dev/null 2>&1 && need+=(gnumeric)
has xl && ! /usr/bin/python3 -c 'import xlwt' 2>/dev/null && need+=(python3-xlwt)
has we && ! perl -MSpreadsheet::WriteExcel -e 1 2>/dev/null && need+=(libspreadsheet-writeexcel-perl)
[ -x "$PY" ] || need+=(python3)
if [ ${#need[@]} -gt 0 ]; then
  echo "make_fixtures: installing ${need[*]}" >&2
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq >/dev/null
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

mkdir -p "$OUT"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# Sources for both writers, from one seeded description of the cells.
"$PY" - "$WORK" <<'EOF'
import random, sys
from xml.sax.saxutils import escape

work = sys.argv[1]
WORDS = ["alpha", "beta", "gamma", "delta", "Zürich", "façade", "Ωmega", "naïve",
         "東京", "invoice", "total", "north", "south", "east", "west", "Q1", "Q2"]

def col_name(c):
    s = ""
    c += 1
    while c:
        c, r = divmod(c - 1, 26)
        s = chr(65 + r) + s
    return s

def sheet(rnd, rows, cols, formulas):
    """Cells as {(row, col): ('n', float) | ('s', str) | ('f', formula, value)}."""
    cells = {}
    for r in range(rows):
        for c in range(cols):
            k = rnd.random()
            if k < 0.55:
                cells[(r, c)] = ("n", float(rnd.randint(-100000, 100000)))
            elif k < 0.8:
                cells[(r, c)] = ("n", round(rnd.uniform(-1e6, 1e6), 3))
            else:
                cells[(r, c)] = ("s", rnd.choice(WORDS) + " " + str(rnd.randint(0, 999)))
    if formulas:
        # A column total and a product under the table; values computed here as well.
        nums = [cells[(r, 0)][1] for r in range(rows) if cells[(r, 0)][0] == "n"]
        cells[(rows, 0)] = ("f", "SUM(A1:A%d)" % rows, sum(nums))
        a, b = cells[(0, 0)], cells[(1, 0)]
        if a[0] == "n" and b[0] == "n":
            cells[(rows, 1)] = ("f", "A1*A2", a[1] * b[1])
    return cells

def books():
    rnd = random.Random(20240611)
    yield "1cell", [("Sheet1", {(0, 0): ("n", 42.0)})]
    # About 1,000 cells over three sheets.
    yield "3sheets", [("Prices", sheet(rnd, 20, 20, True)),
                      ("Notes", sheet(rnd, 30, 10, True)),
                      ("Zeta", sheet(rnd, 25, 12, False))]
    # About 50,000 cells over two sheets.
    yield "50k", [("Data", sheet(rnd, 2500, 10, True)),
                  ("More", sheet(rnd, 1250, 20, True))]

def num(v):
    return repr(v) if v != int(v) else str(int(v))

def odf_ref(formula):
    # SUM(A1:A20) -> SUM([.A1:.A20]); A1*A2 -> [.A1]*[.A2]
    import re
    f = re.sub(r"([A-Z]+[0-9]+):([A-Z]+[0-9]+)", r"[.\1:.\2]", formula)
    f = re.sub(r"(?<![.\[A-Z])([A-Z]+[0-9]+)(?![0-9])", r"[.\1]", f)
    return "of:=" + f

def write_fods(path, sheets):
    o = ['<?xml version="1.0" encoding="UTF-8"?>',
         '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"'
         ' xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"'
         ' xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"'
         ' xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"'
         ' office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">',
         '<office:body><office:spreadsheet>']
    for name, cells in sheets:
        o.append('<table:table table:name="%s">' % escape(name))
        rows = max(r for r, _ in cells) + 1
        cols = max(c for _, c in cells) + 1
        for r in range(rows):
            o.append("<table:table-row>")
            for c in range(cols):
                v = cells.get((r, c))
                if v is None:
                    o.append("<table:table-cell/>")
                elif v[0] == "n":
                    o.append('<table:table-cell office:value-type="float" office:value="%s"><text:p>%s</text:p></table:table-cell>'
                             % (num(v[1]), num(v[1])))
                elif v[0] == "s":
                    o.append('<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>'
                             % escape(v[1]))
                else:
                    o.append('<table:table-cell table:formula="%s" office:value-type="float" office:value="%s"><text:p>%s</text:p></table:table-cell>'
                             % (escape(odf_ref(v[1])), num(v[2]), num(v[2])))
            o.append("</table:table-row>")
        o.append("</table:table>")
    o.append("</office:spreadsheet></office:body></office:document>")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(o))

def write_gnumeric(path, sheets):
    # A fixed creation date: otherwise ssconvert stamps the time of the run.
    o = ['<?xml version="1.0" encoding="UTF-8"?>',
         '<gnm:Workbook xmlns:gnm="http://www.gnumeric.org/v10.dtd"'
         ' xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"'
         ' xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0"'
         ' xmlns:dc="http://purl.org/dc/elements/1.1/">',
         '<office:document-meta office:version="1.2"><office:meta>'
         '<meta:creation-date>2024-06-11T00:00:00Z</meta:creation-date>'
         '<dc:date>2024-06-11T00:00:00Z</dc:date></office:meta></office:document-meta>',
         "<gnm:SheetNameIndex>"]
    o += ["<gnm:SheetName>%s</gnm:SheetName>" % escape(n) for n, _ in sheets]
    o += ["</gnm:SheetNameIndex>", "<gnm:Sheets>"]
    for name, cells in sheets:
        rows = max(r for r, _ in cells) + 1
        cols = max(c for _, c in cells) + 1
        o += ["<gnm:Sheet>", "<gnm:Name>%s</gnm:Name>" % escape(name),
              "<gnm:MaxCol>%d</gnm:MaxCol>" % (cols - 1), "<gnm:MaxRow>%d</gnm:MaxRow>" % (rows - 1),
              "<gnm:Cells>"]
        for (r, c), v in sorted(cells.items()):
            if v[0] == "n":
                o.append('<gnm:Cell Row="%d" Col="%d" ValueType="40">%s</gnm:Cell>' % (r, c, repr(v[1])))
            elif v[0] == "s":
                o.append('<gnm:Cell Row="%d" Col="%d" ValueType="60">%s</gnm:Cell>' % (r, c, escape(v[1])))
            else:
                o.append('<gnm:Cell Row="%d" Col="%d">=%s</gnm:Cell>' % (r, c, escape(v[1])))
        o += ["</gnm:Cells>", "</gnm:Sheet>"]
    o += ["</gnm:Sheets>", "</gnm:Workbook>"]
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(o))

import json
small = {}
for tag, sheets in books():
    write_fods("%s/lo_%s.fods" % (work, tag), sheets)
    write_gnumeric("%s/gn_%s.gnumeric" % (work, tag), sheets)
    if tag != "50k":
        small[tag] = [[name, [[r, c] + list(v) for (r, c), v in sorted(cells.items())]] for name, cells in sheets]
# The library writers take the cells as they are: [row, col, "n", value] | [row, col, "s", text]
# | [row, col, "f", formula, value].
with open("%s/books.json" % work, "w", encoding="utf-8") as f:
    json.dump(small, f)
EOF

# xlwt: formulas keep no computed value, as xlwt writes them.
has xl && "$PY" - "$WORK" "$OUT" <<'EOF'
import json, sys, xlwt
work, out = sys.argv[1], sys.argv[2]
for tag, sheets in json.load(open("%s/books.json" % work, encoding="utf-8")).items():
    book = xlwt.Workbook(encoding="utf-8")
    for name, cells in sheets:
        sheet = book.add_sheet(name)
        for cell in cells:
            r, c, kind = cell[:3]
            sheet.write(r, c, xlwt.Formula(cell[3]) if kind == "f" else cell[3])
    book.save("%s/xl_%s.xls" % (out, tag))
EOF

has we && perl - "$WORK" "$OUT" <<'EOF'
use strict;
use warnings;
use JSON::PP;
use Spreadsheet::WriteExcel;
my ($work, $out) = @ARGV;
open(my $in, "<:raw", "$work/books.json") or die "books.json: $!";
my $books = decode_json(do { local $/; <$in> });
for my $tag (sort keys %$books) {
    my $book = Spreadsheet::WriteExcel->new("$out/we_$tag.xls") or die "we_$tag.xls: $!";
    for my $s (@{$books->{$tag}}) {
        my ($name, $cells) = @$s;
        my $sheet = $book->add_worksheet($name);
        for my $cell (@$cells) {
            my ($r, $c, $kind, $v, $value) = @$cell;
            if ($kind eq "n") { $sheet->write_number($r, $c, $v) }
            elsif ($kind eq "s") { $sheet->write_string($r, $c, $v) }
            else { $sheet->write_formula($r, $c, "=$v", $value) }
        }
    }
    $book->close();
}
EOF

# LibreOffice keeps its profile in the work folder, so it neither reads nor leaves a user profile.
for tag in 1cell 3sheets 50k; do
  has lo || continue
  soffice --headless --norestore "-env:UserInstallation=file://$WORK/profile" \
    --convert-to 'xls:MS Excel 97' --outdir "$WORK/lo" "$WORK/lo_$tag.fods" >/dev/null 2>&1
  [ -s "$WORK/lo/lo_$tag.xls" ] || { echo "make_fixtures: LibreOffice wrote no lo_$tag.xls" >&2; exit 1; }
  mv -f "$WORK/lo/lo_$tag.xls" "$OUT/lo_$tag.xls"
done
for tag in 1cell 3sheets 50k; do
  has gn || continue
  ssconvert --export-type=Gnumeric_Excel:excel_biff8 "$WORK/gn_$tag.gnumeric" "$WORK/gn_$tag.xls" >/dev/null 2>&1
  [ -s "$WORK/gn_$tag.xls" ] || { echo "make_fixtures: ssconvert wrote no gn_$tag.xls" >&2; exit 1; }
  mv -f "$WORK/gn_$tag.xls" "$OUT/gn_$tag.xls"
done

# Every writer must have produced what was asked for: a compound file read back with the right cells.
"$PY" - "$OUT" $WRITERS <<'EOF'
import sys, xlrd
out = sys.argv[1]
shape = {"1cell": [(1, 1)], "3sheets": [(21, 20), (31, 10), (25, 12)], "50k": [(2501, 10), (1251, 20)]}
for w in sys.argv[2:]:
    for tag, dims in shape.items():
        if w in ("xl", "we") and tag == "50k":
            continue
        p = "%s/%s_%s.xls" % (out, w, tag)
        with open(p, "rb") as f:
            if f.read(8) != bytes.fromhex("D0CF11E0A1B11AE1"):
                sys.exit("make_fixtures: %s is not a compound file" % p)
        b = xlrd.open_workbook(p)
        got = [(s.nrows, s.ncols) for s in b.sheets()]
        if got != dims:
            sys.exit("make_fixtures: %s has sheets %s, expected %s" % (p, got, dims))
EOF

for f in lo_1cell lo_3sheets lo_50k gn_1cell gn_3sheets gn_50k xl_1cell xl_3sheets we_1cell we_3sheets; do
  has "${f%%_*}" || continue
  printf 'wrote %s (%s bytes)\n' "$OUT/$f.xls" "$(stat -c %s "$OUT/$f.xls")"
done
