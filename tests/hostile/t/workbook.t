# Hostile workbooks appended to: a few megabytes of zip that unpack to
# gigabytes of cells, cells and rows beyond the limits, a document type with
# entities. Each is refused with exit 3 naming the cell and the limit,
# quickly and within bounded memory; the old workbook stays byte for byte,
# no temporary file is left and no parser text reaches standard error.
. "$KESTRIFY_HOSTILE"

need_tool "hostile workbooks" python3 || { finish; exit; }

form_mbox store.mbox 2
form_project p.KFY store.mbox

# book.py OUT KIND: a one-sheet workbook of the given shape.
cat >book.py <<'EOF'
import sys, zipfile
out, kind = sys.argv[1], sys.argv[2]
ns = ('xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
      'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"')
rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
prolog = ""
shared = ["名前", "x" * 130000, "y" * 32000]
def inline(ref, text):
    return f'<c r="{ref}" t="inlineStr"><is><t>{text}</t></is></c>'
def rows(z):
    if kind == "bomb":  # one 130,000-character string in 32 million cells
        cells = '<c t="s"><v>1</v></c>' * 16384
        for r in range(2000):
            z.write(f"<row>{cells}</row>".encode())
    elif kind == "wide row":  # 16,384 cells of 32,000 characters: 524 MB in one row
        z.write(('<row>' + '<c t="s"><v>2</v></c>' * 16384 + '</row>').encode())
    elif kind == "10 MB cell":
        z.write(f'<row r="1">{inline("A1", "名前")}</row><row r="2">{inline("C2", "z" * 10_000_001)}</row>'.encode())
    elif kind == "entities":
        z.write(b'<row r="1"><c r="A1" t="s"><v>0</v></c></row>')
    elif kind == "row 1048577":
        z.write(b'<row r="1048577"><c t="s"><v>0</v></c></row>')
    elif kind == "plain":
        z.write(f'<row r="1">{inline("A1", "Subject")}{inline("B1", "Name")}</row>'
                f'<row r="2">{inline("A2", "old subject")}{inline("B2", "old name")}</row>'.encode())
if kind == "entities":
    prolog = '<!DOCTYPE sst [<!ENTITY n "山田">]>'
    shared = ["&n;"]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("xl/workbook.xml", f'<workbook {ns}><sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>')
    z.writestr("xl/_rels/workbook.xml.rels",
               '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
               f'<Relationship Id="rId1" Type="{rel}worksheet" Target="worksheets/sheet1.xml"/>'
               f'<Relationship Id="rId2" Type="{rel}sharedStrings" Target="sharedStrings.xml"/>'
               '</Relationships>')
    z.writestr("xl/sharedStrings.xml",
               prolog + f'<sst {ns}>' + "".join(f"<si><t>{s}</t></si>" for s in shared) + "</sst>")
    with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as sheet:
        sheet.write(f"<worksheet {ns}><sheetData>".encode())
        rows(sheet)
        sheet.write(b"</sheetData></worksheet>")
EOF

mkdir tmp
# kind | what standard error names
while IFS='|' read -r kind says; do
    python3 book.py "$kind.xlsx" "$kind"
    cp "$kind.xlsx" keep.xlsx
    if [ -n "${KESTRIFY_SANITIZED:-}" ]; then
        TMPDIR=$PWD/tmp timeout 120 "$KESTRIFY_CLI" -q --save-type 1 p.KFY "$kind.xlsx" \
            >stdout 2>stderr
    else
        # The bomb once took 3 GB: a quarter of that is far more than enough.
        (ulimit -v 800000 && TMPDIR=$PWD/tmp timeout 60 "$KESTRIFY_CLI" -q --save-type 1 \
            p.KFY "$kind.xlsx" >stdout 2>stderr)
    fi
    rc=$?
    expect_rc "$kind" 3
    expect_err "$kind" "$says"
    expect_err "$kind" "追記できません"
    check "$kind: one message, no parser text" test "$(grep -c . stderr)" -le 4
    check "$kind: no parser text" test "$(grep -ci 'parser\|huge\|xmlSAX\|error :' stderr)" -eq 0
    same_file "$kind" "$kind.xlsx" keep.xlsx
    no_leftovers "$kind"
    check "$kind: nothing left in TMPDIR" test -z "$(ls -A tmp)"
done <<'EOF'
bomb|セル A1 の文字列が Excel のセルの上限 (32,767 文字)
wide row|1 行の文字列が 64 MiB を超えます
10 MB cell|セル C2 の文字列が Excel のセルの上限 (32,767 文字)
entities|文書型定義 (DTD)
row 1048577|1,048,576 行
EOF

# A plain workbook of another program still takes the new rows after its own.
python3 book.py plain.xlsx plain
kcli -q --save-type 1 p.KFY plain.xlsx
expect_rc "plain workbook" 0
check "plain workbook: old and new rows" test "$(python3 - <<'EOF'
import zipfile
text = zipfile.ZipFile("plain.xlsx").read("xl/worksheets/sheet1.xml").decode()
print(text.count("<row "), "old name" in text, "inquiry 2" in text)
EOF
)" = "4 True True"
