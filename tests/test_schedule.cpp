#include "common/failure.h"
#include "schedule/columnlayout.h"
#include "schedule/numberformat.h"
#include "schedule/scheduleimport.h"
#include "schedule/schedulemodel.h"
#include "schedule/workbook.h"
#include "schedule/xmlscanner.h"
#include "schedule/ziparchive.h"
#include "settings/settingsstore.h"
#include "settings/storedlist.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cstring>

using namespace lintaro;

namespace {

QStringList rowOf(const ScheduleTable &table, int row)
{
    QStringList cells;
    for (int c = 0; c < table.columnCount(); ++c)
        cells.append(table.cell(c, row));
    return cells;
}

// A settings file of its own for each test.
class StoredLayoutTest : public ::testing::Test
{
protected:
    QTemporaryDir m_dir;
    SettingsStore m_store{m_dir.filePath(QStringLiteral("settings.ini"))};

    ScheduleTable fiveColumns()
    {
        ScheduleTable table = parseSchedule(u"a;b;c;d;e\n");
        for (int c = 0; c < 5; ++c)
            table.setColumnWidth(c, 50 + c);
        return table;
    }
};

} // namespace

TEST(ScheduleImport, ColumnCountComesFromTheFirstLineAndOtherLinesAreCutOrPadded)
{
    const ScheduleTable table = parseSchedule(u"a;b;c\r\nx\r\np;q;r;s\r\n");
    ASSERT_EQ(table.columnCount(), 3);
    ASSERT_EQ(table.rowCount(), 4); // header row + three lines
    EXPECT_EQ(rowOf(table, 0), (QStringList{"", "", ""}));
    EXPECT_EQ(rowOf(table, 1), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(rowOf(table, 2), (QStringList{"x", "", ""}));
    EXPECT_EQ(rowOf(table, 3), (QStringList{"p", "q", "r"})); // the last column gets its own field only

    const ScheduleTable single = parseSchedule(u"no separators\nsecond;line");
    ASSERT_EQ(single.columnCount(), 1);
    EXPECT_EQ(single.cell(0, 2), QStringLiteral("second"));

    // A short line under a very wide first line holds only its own cells, so
    // memory follows the file, not width times lines; the rest read empty.
    ScheduleTable ragged = parseSchedule(QString(100000, u';') + QStringLiteral("\n") + QStringLiteral("R;x\n").repeated(5000));
    ASSERT_EQ(ragged.columnCount(), 100001);
    ASSERT_EQ(ragged.rowCount(), 5002);
    EXPECT_EQ(ragged.filledColumnCount(1), 0); // nothing but empty fields
    EXPECT_EQ(ragged.filledColumnCount(5001), 2);
    EXPECT_EQ(ragged.cell(1, 5001), QStringLiteral("x"));
    EXPECT_EQ(ragged.cell(100000, 5001), QString());
    autoSizeColumns(ragged, FixedAdvanceMeasure(6));
    EXPECT_EQ(ragged.columnWidth(1), 6 + 10);
    EXPECT_EQ(ragged.columnWidth(99999), 10);
    ragged.setCell(70000, 5001, QStringLiteral("edited")); // an edit past the line's end grows the row
    EXPECT_EQ(ragged.filledColumnCount(5001), 70001);
    EXPECT_EQ(ragged.cell(70000, 5001), QStringLiteral("edited"));
    EXPECT_EQ(ragged.cell(1, 5001), QStringLiteral("x"));
    EXPECT_EQ(ragged.cell(2, 5001), QString());
}

TEST(ScheduleImport, QuotedFieldsHoldSemicolonsAndLineBreaksAndNoQuoteReachesACell)
{
    struct Case
    {
        const char16_t *text;
        QList<QStringList> rows;
        int multiLine;
    };
    const QList<Case> cases = {
        {u"\"Новости; утро\";10:30\n\"\"Ролик\"\" ;x\n", {{"Новости; утро", "10:30"}, {"Ролик ", "x"}}, 0},
        {u"\"ИП Соколов А.В.; ООО \"\"Лига\"\"\";K1\r\nb;K1", {{"ИП Соколов А.В.; ООО Лига", "K1"}, {"b", "K1"}}, 0},
        // The text after the closing quote belongs to the field; a quote inside a field is ordinary.
        {u"\"Лето\" (Клип55);a\"b;c\n", {{"Лето (Клип55)", "ab", "c"}}, 0},
        // A line break inside quotes is one blank and the record spans lines.
        {u"\"Фильм\r\nреж. Л. Гайдай\";K2\r\n\"x\ny\"\nz;K3\n",
         {{"Фильм реж. Л. Гайдай", "K2"}, {"x y", ""}, {"z", "K3"}},
         2},
        // Spanning lines without closing before ';' or a line end: the quote is ordinary.
        {u"\"a;b\nc\"d;e\n", {{"a", "b"}, {"cd", "e"}}, 0},
        {u"\"never closed;x\ny;z", {{"never closed", "x"}, {"y", "z"}}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        const ScheduleTable table = parseSchedule(c.text);
        ASSERT_EQ(table.dataRowCount(), c.rows.size());
        ASSERT_EQ(table.columnCount(), c.rows.front().size());
        for (int r = 0; r < c.rows.size(); ++r)
            EXPECT_EQ(rowOf(table, r + 1), c.rows[r]);
        EXPECT_EQ(table.multiLineRecords(), c.multiLine);
    }
}

TEST(ScheduleImport, LinesAndEmptyRows)
{
    EXPECT_EQ(parseSchedule(u"a;b\n\nc;d").rowCount(), 4);
    EXPECT_EQ(rowOf(parseSchedule(u"a;b\n\nc;d"), 2), (QStringList{"", ""}));
    const ScheduleTable lineBreakOnly = parseSchedule(u"\r\n");
    EXPECT_EQ(lineBreakOnly.columnCount(), 1);
    EXPECT_EQ(lineBreakOnly.rowCount(), 2);
    EXPECT_TRUE(parseSchedule(u"").isEmpty());
}

TEST(ScheduleImport, FilesAreUtf8WhenMarkedOrWhollyValidAndWindows1251Otherwise)
{
    QTemporaryDir dir;
    const QString day = dir.filePath(QStringLiteral("day.csv"));
    const QString line = QStringLiteral("Новости (Rolik1);К1");
    struct Case
    {
        const char *what;
        QByteArray bytes;
        QString firstCell;
    };
    const QList<Case> cases = {
        {"Windows-1251", test::cp1251(line + "\r\n"), "Новости (Rolik1)"},
        {"UTF-8 behind a byte-order mark", "\xEF\xBB\xBF" + line.toUtf8(), "Новости (Rolik1)"},
        {"UTF-8 without a mark", line.toUtf8() + "\r\nЁж;К2\r\n", "Новости (Rolik1)"},
        {"UTF-8 up to a NUL, whatever follows it", line.toUtf8() + QByteArray("\0\xFF", 2), "Новости (Rolik1)"},
        // "Рё" is D0 B8 in Windows-1251, a valid UTF-8 "и"; the rest is not.
        {"Windows-1251 partly valid as UTF-8", test::cp1251(QStringLiteral("Рёлик;К1")), "Рёлик"},
        {"UTF-8 cut inside its last letter", "\xD0\x81;\xD0", "РЃ"}, // "Ё" and half a letter
        {"an overlong form is no UTF-8", QByteArray("\xC0\xBB;x"), "А»"},
        {"plain ASCII", "(Rolik1);K1", "(Rolik1)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        test::writeFile(day, c.bytes);
        EXPECT_EQ(readScheduleFile(day).cell(0, 1), c.firstCell);
    }

    const QString binary = dir.filePath(QStringLiteral("binary.csv"));
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise.append(char((i * 7919) % 255 + 1)); // no NUL: every byte is read
    test::writeFile(binary, noise);
    const ScheduleTable table = readScheduleFile(binary);
    EXPECT_GT(table.rowCount(), 1);

    EXPECT_THROW(readScheduleFile(dir.filePath(QStringLiteral("missing.csv"))), Failure);
    EXPECT_THROW(readScheduleFile(dir.path()), Failure);
}

TEST(ScheduleImport, AutomaticWidthsMeasureDataCellsOfAllButTheLastColumn)
{
    ScheduleTable table = parseSchedule(u"abc;;z\nabcdef;;zzzzzzzzzz\n");
    table.setCaption(1, kSeparatorCaption); // the header row is not measured
    autoSizeColumns(table, FixedAdvanceMeasure(6));
    EXPECT_EQ(table.columnWidth(0), 6 * 6 + 10);
    EXPECT_EQ(table.columnWidth(1), 10); // all cells empty
}

TEST(ScheduleTable, EditingACellKeepsItsNeighbours)
{
    ScheduleTable table = parseSchedule(u"a;bb;c\n");
    table.setCell(1, 1, QStringLiteral("longer text"));
    EXPECT_EQ(rowOf(table, 1), (QStringList{"a", "longer text", "c"}));
    table.setCell(0, 1, QString());
    EXPECT_EQ(rowOf(table, 1), (QStringList{"", "longer text", "c"}));
}

TEST(StoredList, EmptyPiecesAreDroppedAndIntegersAreStrict)
{
    EXPECT_EQ(splitStoredList(QStringLiteral("1;;0")), (QStringList{"1", "0"}));
    EXPECT_EQ(splitStoredList(QStringLiteral(";120;64;")), (QStringList{"120", "64"}));
    EXPECT_TRUE(splitStoredList(QString()).isEmpty());

    EXPECT_EQ(toStrictInt(QStringLiteral("120")), 120);
    EXPECT_EQ(toStrictInt(QStringLiteral("-1")), -1);
    EXPECT_EQ(toStrictInt(QStringLiteral("+7")), 7);
    EXPECT_EQ(toStrictInt(QStringLiteral("-2147483648")), -2147483648LL);
    for (const char *bad : {"", "-", "abc", "12a", " 1", "1 ", "1.5", "2147483648", "99999999999999999999"}) {
        try {
            toStrictInt(QString::fromLatin1(bad));
            ADD_FAILURE() << "accepted " << bad;
        } catch (const Failure &failure) {
            EXPECT_EQ(failure.message(), QStringLiteral("'%1' is not a valid integer value").arg(bad));
        }
    }
}

TEST_F(StoredLayoutTest, NothingStoredKeepsTheMeasuredLayout)
{
    ScheduleTable table = fiveColumns();
    applyStoredLayout(table, m_store);
    EXPECT_EQ(table.sourceColumn(), -1);
    EXPECT_EQ(table.columnWidth(3), 53);
    EXPECT_TRUE(table.separatorColumns().isEmpty());
}

TEST_F(StoredLayoutTest, StoredValuesApplyByColumnPosition)
{
    m_store.write(QStringLiteral("ColWidths"), QStringLiteral("120;64;"));
    m_store.write(QStringLiteral("Brakes"), QStringLiteral("0;1"));
    m_store.write(QStringLiteral("Source"), QStringLiteral("3"));
    ScheduleTable table = fiveColumns();
    applyStoredLayout(table, m_store);
    EXPECT_EQ(table.columnWidth(0), 120);
    EXPECT_EQ(table.columnWidth(1), 64);
    EXPECT_EQ(table.columnWidth(2), 52); // beyond the stored list: measured
    EXPECT_EQ(table.separatorColumns(), QList<int>{1});
    EXPECT_EQ(table.sourceColumn(), 3);
    EXPECT_EQ(table.caption(3), kSourceCaption);
}

TEST_F(StoredLayoutTest, SourceWinsOverASeparatorAndOutOfRangeSourceIsNone)
{
    m_store.write(QStringLiteral("Brakes"), QStringLiteral("1;0;0"));
    m_store.write(QStringLiteral("Source"), QStringLiteral("0"));
    ScheduleTable table = fiveColumns();
    applyStoredLayout(table, m_store);
    EXPECT_EQ(table.caption(0), kSourceCaption);
    EXPECT_TRUE(table.separatorColumns().isEmpty());

    for (const char *source : {"7", "5", "-3"}) {
        m_store.write(QStringLiteral("Source"), QString::fromLatin1(source));
        ScheduleTable other = fiveColumns();
        applyStoredLayout(other, m_store);
        EXPECT_EQ(other.sourceColumn(), -1) << source;
    }
}

TEST_F(StoredLayoutTest, DamagedWidthsAreClampedAndNonNumbersStopTheOpen)
{
    m_store.write(QStringLiteral("ColWidths"), QStringLiteral("-40;99999;2147483647"));
    ScheduleTable table = fiveColumns();
    applyStoredLayout(table, m_store);
    EXPECT_EQ(table.columnWidth(0), 0);
    EXPECT_EQ(table.columnWidth(1), kMaxStoredWidth);
    EXPECT_EQ(table.columnWidth(2), kMaxStoredWidth);

    m_store.write(QStringLiteral("Brakes"), QStringLiteral("0;x"));
    m_store.write(QStringLiteral("Source"), QStringLiteral("1"));
    ScheduleTable broken = fiveColumns();
    try {
        applyStoredLayout(broken, m_store);
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.message(), QStringLiteral("'x' is not a valid integer value"));
    }
    EXPECT_EQ(broken.sourceColumn(), -1); // stopped before Source was read
}

TEST_F(StoredLayoutTest, StoringWritesWidthsFlagsAndSource)
{
    ScheduleTable table = parseSchedule(u"a;b;c;d;e;f\n");
    for (int c = 0; c < 6; ++c)
        table.setColumnWidth(c, 10 * (c + 1));
    table.setCaption(4, kSeparatorCaption);
    table.setCaption(2, kSourceCaption);
    table.setSourceColumn(2);
    storeLayout(table, m_store);
    EXPECT_EQ(m_store.read(QStringLiteral("ColWidths")), QStringLiteral("10;20;30;40;50;60"));
    EXPECT_EQ(m_store.read(QStringLiteral("Brakes")), QStringLiteral("0;0;0;0;1;0"));
    EXPECT_EQ(m_store.read(QStringLiteral("Source")), QStringLiteral("2"));
}

TEST(SettingsStore, TextsComeBackUnchangedAndAbsenceReadsEmpty)
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
    EXPECT_EQ(store.read(QStringLiteral("LastCSV")), QString());
    const QStringList values = {QStringLiteral("C:\\Эфир\\День 1.csv"), QStringLiteral("  a, b; c = d # e  "),
                                QStringLiteral("120;64;300"), QString()};
    for (const QString &value : values) {
        store.write(QStringLiteral("LastCSV"), value);
        EXPECT_EQ(SettingsStore(dir.filePath(QStringLiteral("s.ini"))).read(QStringLiteral("LastCSV")), value);
    }
}

TEST(SettingsStore, FailuresNameTheValue)
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("file"));
    test::writeFile(blocker, "x");
    SettingsStore unwritable(test::uncreatablePath(blocker, QStringLiteral("s.ini")));
    try {
        unwritable.write(QStringLiteral("LastPSQ"), QStringLiteral("x"));
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.message(), QStringLiteral("Failed to set data for 'LastPSQ'"));
    }

    // A damaged line read on opening does not make a good write look failed.
    const QString damaged = dir.filePath(QStringLiteral("damaged.ini"));
    test::writeFile(damaged, "[General]\nLastCSV=a\njunk line\n");
    SettingsStore(damaged).write(QStringLiteral("Source"), QStringLiteral("2"));
    EXPECT_EQ(SettingsStore(damaged).read(QStringLiteral("Source")), QStringLiteral("2"));

    // A value another program stored as a list is not text.
    const QString path = dir.filePath(QStringLiteral("list.ini"));
    test::writeFile(path, "[General]\nAudio=a, b\n");
    try {
        SettingsStore(path).read(QStringLiteral("Audio"));
        FAIL() << "no failure";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.message(), QStringLiteral("Invalid data type for 'Audio'"));
    }
}

TEST(ScheduleModel, PassesTheModelTesterAndEditsOnlyInEditMode)
{
    ScheduleModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setTable(parseSchedule(u"a;b\nc;d\n"));
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString());
    EXPECT_FALSE(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));
    EXPECT_FALSE(model.setData(model.index(0, 0), QStringLiteral("x"), Qt::EditRole));

    model.setEditable(true);
    EXPECT_TRUE(model.setData(model.index(1, 1), QStringLiteral("x"), Qt::EditRole));
    EXPECT_EQ(model.table().cell(1, 2), QStringLiteral("x"));
    model.setCaption(1, kSeparatorCaption);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), kSeparatorCaption);
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(ScheduleImport, AHugeLineWithoutALineEndIsOneRow)
{
    QString line;
    line.reserve(20 * 1024 * 1024);
    for (int i = 0; i < 2 * 1024 * 1024; ++i)
        line += QStringLiteral("field\"x\";");
    const ScheduleTable table = parseSchedule(line);
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.columnCount(), 2 * 1024 * 1024 + 1);
    EXPECT_EQ(table.cell(12345, 1), QStringLiteral("fieldx"));
    EXPECT_EQ(table.cell(table.columnCount() - 1, 1), QString());
}

namespace {

QString workbookPath(const char *name)
{
    return qEnvironmentVariable("LINTARO_TEST_DATA") + QStringLiteral("/../../fuzz/corpus/workbook/")
        + QString::fromLatin1(name);
}

} // namespace

// The scanner over the whole bytes, or fed `piece` bytes at a time as an
// unpacking part feeds it.
XmlScanner scannerOver(const QByteArray &bytes, qsizetype piece)
{
    if (piece == 0)
        return XmlScanner(QByteArrayView(bytes));
    return XmlScanner([bytes, piece, at = qsizetype(0)](char *to, qsizetype max) mutable {
        const qsizetype n = std::min({ piece, max, bytes.size() - at });
        std::copy_n(bytes.constData() + at, n, to);
        at += n;
        return n;
    });
}

// Walks both readers element by element: the same names, the same text in
// between, every attribute QXmlStreamReader sees with the same value. Empty
// when they agree.
QString scannerDisagreement(const QByteArray &xmlBytes, qsizetype piece = 0)
{
    QXmlStreamReader xml(xmlBytes);
    XmlScanner fast = scannerOver(xmlBytes, piece);
    while (true) {
        QString text, fastText;
        while (!xml.atEnd() && (xml.readNext(), !xml.isStartElement() && !xml.isEndElement())) {
            if (xml.isCharacters())
                text += xml.text();
        }
        while (!fast.atEnd() && (fast.readNext(), !fast.isStartElement() && !fast.isEndElement())) {
            if (fast.isCharacters())
                fastText += fast.text();
        }
        if (fast.hasError())
            return QStringLiteral("scanner gave up");
        if (xml.hasError() || xml.atEnd() || fast.atEnd())
            return xml.atEnd() && fast.atEnd() && !xml.hasError() ? QString() : QStringLiteral("ends differ");
        if (text != fastText || xml.name() != fast.name() || xml.isStartElement() != fast.isStartElement())
            return xml.name().toString() + u' ' + text + QStringLiteral(" / ") + fast.name().toString() + u' '
                + fastText;
        for (const QXmlStreamAttribute &a : xml.attributes()) {
            if (fast.attribute(QLatin1StringView(a.name().toLatin1())) != a.value())
                return a.name().toString();
        }
    }
}

TEST(WorkbookImport, FastScannerReadsEveryPartAsQXmlStreamReaderDoes)
{
    // The real workbooks: every XML part is read by the scanner, none left to the slow path.
    for (const char *file : { "planning.xlsx", "calc.xlsx", "single.xlsx", "calc.ods", "rich.xlsx", "rich.ods" }) {
        const QByteArray bytes = test::readFile(workbookPath(file));
        const ZipArchive archive(bytes);
        ASSERT_GT(archive.names().size(), 3);
        for (const QString &part : archive.names()) {
            if (!part.endsWith(QStringLiteral(".xml")) && !part.endsWith(QStringLiteral(".rels")))
                continue;
            for (const qsizetype piece : { 0, 3 }) {
                EXPECT_EQ(scannerDisagreement(archive.read(part), piece), QString())
                    << file << ' ' << qPrintable(part) << ' ' << piece;
            }
        }
    }
    // What sheets may hold, and what only QXmlStreamReader reads exactly (the scanner gives up).
    const struct
    {
        const char *xml;
        bool scanned;
    } cases[] = {
        { "\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?><a xmlns:x='u' x:r='A1' t = \"s\"><!-- c "
          "--><v>1</v><e/>"
          "<t xml:space='preserve'> &amp;&lt;&gt;&quot;&apos;&#1071;&#x1F600;<![CDATA[<b>&amp;]]> "
          "ё\n</t></a>",
            true },
        { "<x:a xmlns:x='u'><x:b>т</x:b></x:a>", true },
        { "<?xml version='1.0' encoding='windows-1251'?><a/>", false },
        { "<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>", false },
        { "<a>&nbsp;</a>", false },
        { "<a>&#0;</a>", false },
        { "<a>&#x0x41;</a>", false },
        { "<a>&#65 ;</a>", false },
        { "<a>\r\n</a>", false },
        { "<a v='1\n2'/>", false },
        { "<a><b></a></b>", false },
        { "<a>", false },
        { "<a x='1'y='2'/>", false },
        { "<a/><b/>", false },
        { "<a><?xml version='1.0'?></a>", false },
        { "", false },
        { "<?xml-stylesheet href='a'?><a>x</a>", true },
        { "<a><![CDATA[\xEF\xBB\xBFx]]>\xEF\xBB\xBF</a>", true }, // a byte-order mark is text there
        { "<a>\xC3</a>", false },
        { "<a>]]></a>", false },
    };
    // Whole, and a byte or a few at a time: a token cut anywhere reads the same.
    for (const auto &c : cases) {
        for (const qsizetype piece : { 0, 1, 7 }) {
            SCOPED_TRACE(std::string(c.xml) + " in pieces of " + std::to_string(piece));
            const QByteArray xml(c.xml); // the scanner reads it in place
            XmlScanner fast = scannerOver(xml, piece);
            while (!fast.atEnd())
                fast.readNext();
            EXPECT_EQ(!fast.hasError(), c.scanned);
            if (c.scanned) {
                EXPECT_EQ(scannerDisagreement(c.xml, piece), QString());
            }
        }
    }
}

TEST(WorkbookImport, NumbersInCellsReadAsQtReadsThem)
{
    for (const char *text : { "0", "0451", " 12 ", "+5", "-3", "1e3", "0.1", "0.25", "0.041666666666666664",
             "1.7976931348623157e308", "1e400", "4.9e-324", "1e-400", "abc", "", " ", "0x10", "1,5", "nan",
             "inf", "-inf", ".5", "5.", "1e", "--1", "+-1", "++1", "1e+5", "99999999999999999999",
             "123456789012345678", "1 2", "\u0663" }) {
        SCOPED_TRACE(text);
        const QString given = QString::fromUtf8(text);
        bool ok = false, qtOk = false;
        const double number = toNumber(given, &ok);
        const double qtNumber = given.toDouble(&qtOk);
        EXPECT_EQ(ok, qtOk);
        EXPECT_EQ(std::memcmp(&number, &qtNumber, sizeof number), 0) << number << " / " << qtNumber;
        const qint64 integer = toInteger(given, &ok);
        EXPECT_EQ(integer, given.toLongLong(&qtOk));
        EXPECT_EQ(ok, qtOk);
    }
}

// A stored (unpacked) ZIP of the parts, as the readers must take it too.
QByteArray storedZip(const QList<std::pair<QString, QByteArray>> &parts)
{
    QByteArray out, directory;
    auto put = [](QByteArray &to, quint64 value, int bytes) {
        for (int k = 0; k < bytes; ++k)
            to.append(char(k < 8 ? (value >> (8 * k)) & 0xFF : 0)); // zeros past the value's width
    };
    for (const auto &[name, data] : parts) {
        quint32 crc = 0xFFFFFFFF;
        for (const char c : data) {
            crc ^= uchar(c);
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
        }
        crc = ~crc;
        const QByteArray utf8 = name.toUtf8();
        const quint32 offset = quint32(out.size());
        for (QByteArray *to : { &out, &directory }) {
            put(*to, to == &out ? 0x04034b50 : 0x02014b50, 4);
            put(*to, 20, to == &out ? 2 : 4); // versions
            put(*to, 0, 8); // flags, method, time and date
            put(*to, crc, 4);
            put(*to, quint32(data.size()), 4);
            put(*to, quint32(data.size()), 4);
            put(*to, quint32(utf8.size()), 2);
            put(*to, 0, to == &out ? 2 : 12); // extra, comment, disk, attributes
            if (to == &directory)
                put(*to, offset, 4);
            *to += utf8;
        }
        out += data;
    }
    const quint32 directoryOffset = quint32(out.size());
    out += directory;
    put(out, 0x06054b50, 4);
    put(out, 0, 4);
    put(out, quint32(parts.size()), 2);
    put(out, quint32(parts.size()), 2);
    put(out, quint32(directory.size()), 4);
    put(out, directoryOffset, 4);
    put(out, 0, 2);
    return out;
}

TEST(WorkbookImport, CellsLongerThanTheScannersBufferReadWhole)
{
    // Half a megabyte of text in one cell: the token outgrows the buffer the
    // unpacking part is scanned in. Inline, shared and .ods text alike.
    const QByteArray longText = QString(150000, QChar(u'Я')).toUtf8() + "&amp;" + QByteArray(200000, 'x');
    const QString shown = QString(150000, QChar(u'Я')) + u'&' + QString(200000, u'x');
    const QByteArray rel = "<Relationship Id=\"r%1\" Type=\"http://schemas.openxmlformats.org/"
                           "officeDocument/2006/relationships/%2\" Target=\"%3\"/>";
    auto relationship = [&](const char *id, const char *type, const char *target) {
        return QString::fromLatin1(rel).arg(id, type, target).toLatin1();
    };
    const QByteArray xlsx = storedZip({
        { "_rels/.rels",
            "<Relationships xmlns='http://schemas.openxmlformats.org/package/2006/relationships'>"
                + relationship("1", "officeDocument", "xl/workbook.xml") + "</Relationships>" },
        { "xl/workbook.xml",
            "<workbook xmlns:r='http://schemas.openxmlformats.org/officeDocument/2006/relationships'>"
            "<sheets><sheet name='Эфир' r:id='r1'/></sheets></workbook>" },
        { "xl/_rels/workbook.xml.rels",
            "<Relationships xmlns='http://schemas.openxmlformats.org/package/2006/relationships'>"
                + relationship("1", "worksheet", "worksheets/sheet1.xml")
                + relationship("2", "sharedStrings", "sharedStrings.xml") + "</Relationships>" },
        { "xl/sharedStrings.xml", "<sst><si><t>" + longText + "</t></si></sst>" },
        { "xl/worksheets/sheet1.xml",
            "<worksheet><sheetData><row r='1'><c r='A1' t='inlineStr'><is><t>" + longText
                + "</t></is></c><c r='B1' t='s'><v>0</v></c></row></sheetData></worksheet>" },
    });
    const QByteArray ods = storedZip({
        { "mimetype", "application/vnd.oasis.opendocument.spreadsheet" },
        { "content.xml",
            "<office:document-content xmlns:office='o' xmlns:table='t' xmlns:text='x'><office:body>"
            "<office:spreadsheet><table:table table:name='Эфир'><table:table-row><table:table-cell><text:p>"
                + longText + "</text:p></table:table-cell></table:table-row></table:table>"
                             "</office:spreadsheet></office:body></office:document-content>" },
    });
    for (const auto &[bytes, part, columns] : { std::tuple { xlsx, "xl/worksheets/sheet1.xml", 2 },
             std::tuple { ods, "content.xml", 1 } }) {
        SCOPED_TRACE(part);
        const std::unique_ptr<Workbook> book = Workbook::open(bytes);
        ASSERT_TRUE(book);
        const ScheduleTable table = book->readSheet(0);
        ASSERT_EQ(table.columnCount(), columns);
        for (int c = 0; c < columns; ++c)
            EXPECT_EQ(table.cell(c, 1), shown);
        // Read by the fast scanner, not left to QXmlStreamReader.
        const ZipArchive archive(bytes);
        XmlScanner fast = scannerOf(archive, QString::fromLatin1(part));
        while (!fast.atEnd())
            fast.readNext();
        EXPECT_FALSE(fast.hasError());
    }
}

TEST(WorkbookImport, PartsLeftToQXmlStreamReaderReadTheSame)
{
    // An element of a non-ASCII name at the very end changes no cell, but the
    // fast scanner gives up there, after all the cells.
    for (const char *file : { "planning.xlsx", "calc.ods" }) {
        SCOPED_TRACE(file);
        const QByteArray bytes = test::readFile(workbookPath(file));
        const ZipArchive archive(bytes);
        QList<std::pair<QString, QByteArray>> parts;
        for (const QString &part : archive.names()) {
            QByteArray data = archive.read(part);
            if (part.endsWith(QStringLiteral(".xml")))
                data.insert(data.lastIndexOf("</"), "<ё/>");
            parts.append({ part, data });
        }
        const std::unique_ptr<Workbook> fast = Workbook::open(bytes);
        const std::unique_ptr<Workbook> slow = Workbook::open(storedZip(parts));
        ASSERT_TRUE(fast && slow);
        EXPECT_EQ(slow->visibleSheetNames(), fast->visibleSheetNames());
        for (int sheet = 0; sheet < fast->sheets().size(); ++sheet) {
            const ScheduleTable a = fast->readSheet(sheet);
            const ScheduleTable b = slow->readSheet(sheet);
            ASSERT_EQ(b.rowCount(), a.rowCount());
            ASSERT_EQ(b.columnCount(), a.columnCount());
            for (int r = 0; r < a.rowCount(); ++r) {
                EXPECT_EQ(b.isRowHidden(r), a.isRowHidden(r)) << r;
                for (int c = 0; c < a.columnCount(); ++c) {
                    EXPECT_EQ(b.cell(c, r), a.cell(c, r)) << c << ' ' << r;
                    EXPECT_EQ(b.isMergedCell(c, r), a.isMergedCell(c, r)) << c << ' ' << r;
                }
            }
        }
    }
}

// The corrupted copies of a real workbook the refusals are tried on.
QByteArray patched(QByteArray bytes, const char *part, int offset, quint32 value)
{
    // The central directory entry of `part`: its fields sit at fixed offsets.
    const QByteArray name(part);
    for (qsizetype at = bytes.indexOf("PK\x01\x02"); at >= 0; at = bytes.indexOf("PK\x01\x02", at + 4)) {
        if (bytes.mid(at + 46, name.size()) == name) {
            for (int k = 0; k < 4; ++k)
                bytes[at + offset + k] = char((value >> (8 * k)) & 0xFF);
            return bytes;
        }
    }
    ADD_FAILURE() << "no entry " << part;
    return bytes;
}

TEST(WorkbookImport, FilesOfRealProducersReadAsTheSheetShowsThem)
{
    struct Case
    {
        const char *file;
        QString sum; // a formula: openpyxl stores no result, Calc does
        int withoutValue;
        QString decimal;
    };
    const QList<Case> cases = {
        { "planning.xlsx", "", 5, "1\u00A0234,50" }, { "calc.xlsx", "902", 0, "1\u00A0234,50" },
        { "calc.ods", "902", 0, "1,234.50" }, // its own text, as Calc in English showed it
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        std::unique_ptr<Workbook> book = Workbook::open(test::readFile(workbookPath(c.file)));
        ASSERT_TRUE(book);
        EXPECT_EQ(
            book->visibleSheetNames(), (QStringList { "Эфир", "Заметки" })); // the hidden one is left out
        const ScheduleTable table = book->readSheet(0);
        ASSERT_EQ(table.rowCount(), 9); // to the date in H8, the hidden column F in place
        ASSERT_EQ(table.columnCount(), 8);
        EXPECT_EQ(rowOf(table, 2),
            (QStringList { "06:00", "Новости (N1)", "K1", "0451", "0:10:30", c.sum, "", "" }));
        EXPECT_EQ(table.cell(1, 4), QStringLiteral("ИП Соколов А.В.; ООО Лига"));
        EXPECT_EQ(table.cell(1, 6), QStringLiteral("Фильм реж. Л. Гайдай"));
        EXPECT_EQ(table.cell(3, 6), c.decimal);
        EXPECT_EQ(table.cell(7, 8), QStringLiteral("09.12.2026"));
        EXPECT_EQ(table.cell(6, 7), QStringLiteral("два  пробела"));
        // The merged cassette cell counts for every row it covers, marked below its first.
        EXPECT_EQ(table.cell(2, 4), QStringLiteral("K1"));
        EXPECT_FALSE(table.isMergedCell(2, 2));
        EXPECT_TRUE(table.isMergedCell(2, 3));
        EXPECT_TRUE(table.isMergedCell(2, 4));
        EXPECT_FALSE(table.isMergedCell(2, 5));
        EXPECT_TRUE(table.isRowHidden(5));
        EXPECT_FALSE(table.isRowHidden(4));
        EXPECT_EQ(table.formulasWithoutValue(), c.withoutValue);
    }
    // One visible sheet, dates counted from 1904.
    const ScheduleTable single = readScheduleFile(workbookPath("single.xlsx"));
    EXPECT_EQ(rowOf(single, 3), (QStringList { "", "(Rolik1)", "K1", "09.12.2026" }));
    // Styled runs as Calc writes them, joined: runs of a shared string, spans of a paragraph.
    for (const char *file : { "rich.xlsx", "rich.ods" })
        EXPECT_EQ(rowOf(readScheduleFile(workbookPath(file)), 1),
            (QStringList { "Новости (N1)", "Погода; утро (R2)" }))
            << file;
    EXPECT_EQ(openedStatusText(QStringLiteral("p.xlsx"),
                  Workbook::open(test::readFile(workbookPath("planning.xlsx")))->readSheet(0)),
        QStringLiteral("p.xlsx — формул без значения: 5"));
}

TEST(WorkbookImport, NumberFormatsAsARussianExcelShowsThem)
{
    struct Case
    {
        double value;
        QString code;
        QString shown;
        bool date1904 = false;
    };
    const QList<Case> cases = {
        { 0.25, "hh:mm", "06:00" },
        { 0.25 + 1.0 / 86400 * 5, "hh:mm:ss", "06:00:05" },
        { 1.5, "[h]:mm:ss", "36:00:00" },
        { 0.75, "h:mm AM/PM", "6:00 PM" },
        { 0.999999, "hh:mm", "00:00" }, // rounds to the next day
        { 451, "0000", "0451" },
        { 46000, "ДД.ММ.ГГГГ", "09.12.2025" },
        { 46000, numberformat::builtinCode(14), "09.12.2025" },
        { 46000.5, numberformat::builtinCode(22), "09.12.2025 12:00" },
        { 46000, "d mmmm yyyy, dddd", "9 Декабрь 2025, вторник" },
        { 60, "dd.mm.yyyy", "29.02.1900" }, // the day Excel counts though it never was
        { 0, "dd.mm.yyyy", "01.01.1904", true },
        { 1234567.891, "#,##0.00", "1\u00A0234\u00A0567,89" },
        { -1.25, "0.0", "-1,3" },
        { 1.005, "0.00", "1,01" },
        { -5, "0;(0)", "(5)" },
        { 0.5, "0%", "50%" },
        { 12.5, "0.00\" мин\"", "12,50 мин" },
        { 3.0, "@", "3" },
        { 3.14159265358979, "General", "3,14159265358979" },
        { 1e20, "General", "1E+20" },
        { 123456789012345678.0, "", "1,23457E+17" },
        { 0.1 + 0.2, "General", "0,3" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code.toStdString() + " " + std::to_string(c.value));
        EXPECT_EQ(numberformat::format(c.value, c.code, c.date1904), c.shown);
    }
}

TEST(WorkbookImport, RefusesWhatItCannotReadWithAClearMessage)
{
    const QByteArray xlsx = test::readFile(workbookPath("calc.xlsx"));
    QByteArray zip64 = xlsx;
    zip64.replace(zip64.lastIndexOf("PK\x05\x06") + 10, 2, "\xFF\xFF");
    QByteArray flipped = xlsx;
    flipped[200] = char(flipped[200] ^ 0x55);
    const QByteArray ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    auto wide = [](const char *name) {
        QByteArray out;
        for (const char *p = name; *p; ++p)
            out += QByteArray(1, *p) + '\0';
        return out + QByteArray(2, '\0');
    };
    struct Case
    {
        const char *what;
        QByteArray bytes;
        QString message;
    };
    const QList<Case> cases = {
        { "Excel 97-2003", test::readFile(workbookPath("legacy.xls")),
            "Файл Excel 97–2003 (.xls) не поддерживается: сохраните его как .xlsx, .ods или CSV" },
        { "an encrypted .xlsx", ole + QByteArray(100, '\0') + wide("EncryptedPackage"),
            "Книга защищена паролем" },
        { "ZIP64", zip64, "Книга в формате ZIP64 не поддерживается: сохраните ее заново как .xlsx или .ods" },
        { "truncated", xlsx.left(xlsx.size() - 30), "Книга повреждена: архив обрезан или это не архив" },
        { "a part over 512 MB", patched(xlsx, "xl/worksheets/sheet1.xml", 24, 600u << 20),
            "Часть книги xl/worksheets/sheet1.xml больше 512 МБ: это не расписание" },
        { "a size that lies", patched(xlsx, "xl/workbook.xml", 24, 100),
            "Книга повреждена: часть xl/workbook.xml не распаковывается или ее размер не тот" },
        { "a checksum that does not match", patched(xlsx, "xl/workbook.xml", 16, 1),
            "Книга повреждена: контрольная сумма части xl/workbook.xml не сходится" },
        // Parts read as they are scanned: the whole part is checked before a sheet is given.
        { "a sheet longer than its size", patched(xlsx, "xl/worksheets/sheet1.xml", 24, 100),
            "Книга повреждена: часть xl/worksheets/sheet1.xml не распаковывается или ее размер не тот" },
        { "a sheet shorter than its size", patched(xlsx, "xl/worksheets/sheet1.xml", 24, 10u << 20),
            "Книга повреждена: часть xl/worksheets/sheet1.xml не распаковывается или ее размер не тот" },
        { "a sheet's checksum", patched(xlsx, "xl/worksheets/sheet1.xml", 16, 1),
            "Книга повреждена: контрольная сумма части xl/worksheets/sheet1.xml не сходится" },
        { "an .ods content's checksum", patched(test::readFile(workbookPath("calc.ods")), "content.xml", 16, 1),
            "Книга повреждена: контрольная сумма части content.xml не сходится" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        try {
            std::unique_ptr<Workbook> book = Workbook::open(c.bytes);
            for (int i = 0; book && i < book->sheets().size(); ++i)
                book->readSheet(i);
            ADD_FAILURE() << "no refusal";
        } catch (const Failure &failure) {
            EXPECT_EQ(failure.message(), c.message);
        }
    }
    // A damaged byte inside a part is refused too, whatever the part.
    EXPECT_THROW(
        {
            std::unique_ptr<Workbook> book = Workbook::open(flipped);
            book->readSheet(0);
        },
        Failure);

    // The content decides, not the name.
    QTemporaryDir dir;
    const QString misnamed = dir.filePath(QStringLiteral("day.csv"));
    test::writeFile(misnamed, test::readFile(workbookPath("calc.ods")));
    EXPECT_EQ(readScheduleFile(misnamed).cell(1, 2), QStringLiteral("Новости (N1)"));
    const QString text = dir.filePath(QStringLiteral("day.xlsx"));
    test::writeFile(text, "a;b\r\n");
    EXPECT_EQ(readScheduleFile(text).cell(1, 1), QStringLiteral("b"));
}
