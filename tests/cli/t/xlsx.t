# Excel workbooks: the example project as a workbook has the cells of its
# CSV (read back by tests/cli/xlsx-cells.py, which knows nothing of the
# program); appending keeps the old rows; a workbook that cannot be carried
# over is refused and left as it was.

cells="$ROOT/tests/cli/xlsx-cells.py"
# same_cells NAME WORKBOOK CSV: both hold the same cells.
same_cells() {
    if out=$(python3 "$cells" "$2" "$3" 2>&1); then
        ok "$1: same cells as the CSV"
    else
        not_ok "$1: $out"
    fi
}

cp "$ROOT/examples/inquiries.KFY" "$ROOT/examples/inquiries.mbox" .
kcli --encoding utf-8 inquiries.KFY same.csv
expect_rc "CSV of the run" 0

kcli inquiries.KFY out.xlsx
expect_rc "workbook" 0
expect_only_summary "workbook"
same_cells "workbook" out.xlsx same.csv
if python3 - out.xlsx <<'PY'; then ok "workbook: sheet named after the project"; else not_ok "workbook: sheet name"; fi
import sys, zipfile
sys.exit(0 if b'name="inquiries"' in zipfile.ZipFile(sys.argv[1]).read("xl/workbook.xml") else 1)
PY

# --format for standard output and for other names; --format csv wins over the name.
kcli --format xlsx inquiries.KFY - >/dev/null
expect_rc "workbook to standard output" 0
cp stdout piped.bin
same_cells "workbook to standard output" piped.bin same.csv
kcli --format XLSX inquiries.KFY table.dat
same_cells "--format xlsx, other name" table.dat same.csv
kcli --format csv --encoding utf-8 inquiries.KFY text.xlsx
same_bytes "--format csv beats the name" text.xlsx same.csv
kcli --format ods inquiries.KFY x.ods
expect_rc "--format ods" 2
expect_err "--format ods" "--format には csv か xlsx"

# SAVEFILENAME may name a workbook (any case).
sed 's/^SAVEFILENAME=.*\r$/SAVEFILENAME=saved.XLSX\r/' inquiries.KFY >saved.KFY
kcli saved.KFY
expect_rc "SAVEFILENAME .XLSX" 0
same_cells "SAVEFILENAME .XLSX" saved.XLSX same.csv

# Appending twice, the first time to no file: the title row once, the old
# rows kept, the same as a CSV written and then appended to.
kcli --save-type 1 --no-backup inquiries.KFY log.xlsx
kcli --save-type 1 --no-backup inquiries.KFY log.xlsx
expect_rc "append" 0
kcli --save-type 0 --no-backup --encoding utf-8 inquiries.KFY log.csv
kcli --save-type 1 --no-backup --encoding utf-8 inquiries.KFY log.csv
same_cells "append" log.xlsx log.csv
kcli --save-type 1 --backup inquiries.KFY log.xlsx
if python3 "$cells" log.bak log.csv >/dev/null; then ok "append: backup is the old workbook"; else not_ok "append: backup"; fi

# A workbook with a formula: appending would lose it.
python3 - foreign.xlsx <<'PY'
import sys, zipfile
ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("xl/workbook.xml", '<workbook %s><sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>' % ns)
    z.writestr("xl/_rels/workbook.xml.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="%sworksheet" Target="worksheets/sheet1.xml"/></Relationships>' % rel)
    z.writestr("xl/worksheets/sheet1.xml", '<worksheet %s><sheetData><row r="1"><c r="A1"><f>1+1</f><v>2</v></c></row></sheetData></worksheet>' % ns)
PY
cp foreign.xlsx foreign.before
kcli --save-type 1 --no-backup inquiries.KFY foreign.xlsx
expect_rc "append to a workbook with a formula" 3
expect_err "append to a workbook with a formula" "数式があります"
same_bytes "append to a workbook with a formula: file kept" foreign.xlsx foreign.before

# LibreOffice, when installed, must read the same cells.
office=$(command -v soffice || command -v libreoffice || true)
if [ -n "$office" ]; then
    HOME=$PWD "$office" --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76' \
        --outdir lo out.xlsx >/dev/null 2>&1
    same_cells "LibreOffice" out.xlsx lo/out.csv
else
    skip "LibreOffice is not installed: no second reader of the workbook"
fi
