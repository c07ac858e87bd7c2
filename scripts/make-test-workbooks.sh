#!/usr/bin/env bash
# Makes the test workbooks with the real producers: openpyxl writes the .xlsx a
# planning department keeps (formulas without stored results), LibreOffice
# Calc saves it again as .ods and .xlsx (with results) and as a legacy .xls.
# Needs python3-openpyxl and libreoffice-calc-nogui (only to make them again;
# the tests read the committed files). They land in the fuzz corpus, which the
# tests replay and read.
set -euo pipefail
here=$(cd "$(dirname "$0")/../fuzz/corpus" && pwd)/workbook
mkdir -p "$here"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$here" <<'PY'
import datetime, sys
from openpyxl import Workbook
from openpyxl.utils.datetime import CALENDAR_MAC_1904

out = sys.argv[1]
book = Workbook()
air = book.active
air.title = "Эфир"
rows = [
    ("Время", "Передача", "Кассета", "Код", "Длит.", "Сумма"),
    (datetime.time(6, 0), "Новости (N1)", "K1", 451, datetime.time(0, 10, 30), "=D2*2"),
    (datetime.time(6, 10), "Погода; утро (R2)", None, 7, datetime.time(0, 1, 0), "=D3*2"),
    (datetime.time(6, 11), 'ИП Соколов А.В.; ООО "Лига"', None, 12, datetime.time(0, 0, 30), "=D4*2"),
    (datetime.time(6, 12), "Снятая реклама (R9)", "K2", 9, datetime.time(0, 0, 20), "=D5*2"),
    (datetime.time(6, 13), "Фильм\nреж. Л. Гайдай", "K2", 1234.5, datetime.time(1, 30, 0), "=D6*2"),
]
for row in rows:
    air.append(row)
for r in range(2, 7):
    air.cell(r, 1).number_format = "hh:mm"
    air.cell(r, 4).number_format = "0000"
    air.cell(r, 5).number_format = "[h]:mm:ss"
air.cell(6, 4).number_format = "#,##0.00"
air.merge_cells("C2:C4")
air.row_dimensions[5].hidden = True
air.column_dimensions["F"].hidden = True
air["G7"] = "два  пробела"
air["H8"] = datetime.date(2026, 12, 9)
air["H8"].number_format = "DD.MM.YYYY"

notes = book.create_sheet("Заметки")
notes["A1"] = "только текст"
hidden = book.create_sheet("Служебный")
hidden["A1"] = "скрыто"
hidden.sheet_state = "hidden"
book.save(out + "/planning.xlsx")

single = Workbook()
single.epoch = CALENDAR_MAC_1904
single.active.title = "День"
single.active["D3"] = datetime.date(2026, 12, 9)
single.active["D3"].number_format = "DD.MM.YYYY"
single.active["B3"] = "(Rolik1)"
single.active["C3"] = "K1"
single.save(out + "/single.xlsx")
PY

cd "$work"
cp "$here/planning.xlsx" planning.xlsx
soffice --headless --norestore --convert-to ods planning.xlsx >/dev/null
soffice --headless --norestore --convert-to xls planning.ods >/dev/null
mkdir calc && soffice --headless --norestore --convert-to xlsx --outdir calc planning.ods >/dev/null
# Rich text, which openpyxl does not write: Calc saves a cell of styled runs
# as <r> runs of a shared string, and as <text:span> in a paragraph.
cat > rich.fods <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
  xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
  xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
  xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
  xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
  office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:automatic-styles>
  <style:style style:name="T1" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
  <style:style style:name="T2" style:family="text"><style:text-properties fo:font-style="italic"/></style:style>
 </office:automatic-styles>
 <office:body><office:spreadsheet><table:table table:name="Эфир"><table:table-row>
  <table:table-cell office:value-type="string"><text:p>Новости <text:span text:style-name="T1">(N1)</text:span></text:p></table:table-cell>
  <table:table-cell office:value-type="string"><text:p><text:span text:style-name="T2">Погода</text:span>; утро <text:span text:style-name="T1">(R2)</text:span></text:p></table:table-cell>
 </table:table-row></table:table></office:spreadsheet></office:body>
</office:document>
XML
soffice --headless --norestore --convert-to xlsx rich.fods >/dev/null
soffice --headless --norestore --convert-to ods rich.fods >/dev/null
cp rich.xlsx rich.ods "$here/"
cp planning.ods "$here/calc.ods"
cp calc/planning.xlsx "$here/calc.xlsx"
cp planning.xls "$here/legacy.xls"
