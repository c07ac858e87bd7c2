#include "xlsxworkbook.h"

#include "common/failure.h"
#include "numberformat.h"
#include "sheetgrid.h"
#include "xmlscanner.h"
#include "ziparchive.h"

#include <QXmlStreamReader>

#include <limits>

namespace lintaro {

namespace {

bool isTrue(QStringView value)
{
    return isNamed(value, "1") || isNamed(value, "true");
}

[[noreturn]] void damaged(const QString &part, const QXmlStreamReader &xml)
{
    unreadablePart(part, xml.errorString());
}

// Relationship id -> part name, resolved against the folder of `part`.
QHash<QString, QString> relationships(
    const ZipArchive &archive, const QString &part, QHash<QString, QString> *byType = nullptr)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QString() : part.left(slash + 1);
    const QString relsPart
        = folder + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
    QHash<QString, QString> targets;
    if (!archive.contains(relsPart))
        return targets;
    QXmlStreamReader xml(archive.read(relsPart));
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && isNamed(xml.name(), "Relationship")) {
            if (attribute(xml, QLatin1StringView("TargetMode")) == u"External")
                continue;
            QString target = attribute(xml, QLatin1StringView("Target")).toString();
            target = target.startsWith(u'/') ? target.mid(1) : folder + target;
            // Resolve "../" the way a path does.
            QStringList pieces;
            for (const QString &piece : target.split(u'/')) {
                if (piece == QStringLiteral("..")) {
                    if (!pieces.isEmpty())
                        pieces.removeLast();
                } else if (piece != QStringLiteral(".") && !piece.isEmpty())
                    pieces.append(piece);
            }
            target = pieces.join(u'/');
            targets.insert(attribute(xml, QLatin1StringView("Id")).toString(), target);
            if (byType) {
                const QStringView type = attribute(xml, QLatin1StringView("Type"));
                byType->insert(type.mid(type.lastIndexOf(u'/') + 1).toString(), target);
            }
        }
    }
    if (xml.hasError())
        damaged(relsPart, xml);
    return targets;
}

// An index or a style number, as QStringView::toInt() reads it.
int toInt(QStringView text, bool *ok = nullptr)
{
    bool fits = false;
    const qint64 value = toInteger(text, &fits);
    fits = fits && value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
    if (ok)
        *ok = fits;
    return fits ? int(value) : 0;
}

// "AB12" -> column 27, row 11; false for anything else.
bool parseReference(QStringView ref, int &column, int &row)
{
    qsizetype i = 0;
    qint64 c = 0;
    while (i < ref.size() && ref[i].isLetter() && ref[i].unicode() < 128) {
        c = c * 26 + ((ref[i].unicode() & ~0x20) - 'A' + 1); // upper case
        if (c > SheetGrid::kMaxColumns)
            return false;
        ++i;
    }
    qint64 r = 0;
    const qsizetype digitsFrom = i;
    while (i < ref.size() && ref[i].isDigit()) {
        r = r * 10 + (ref[i].unicode() - '0');
        if (r > SheetGrid::kMaxRows)
            return false;
        ++i;
    }
    if (c == 0 || i == digitsFrom || i != ref.size() || r == 0)
        return false;
    column = int(c - 1);
    row = int(r - 1);
    return true;
}

// Characters XML cannot carry are written as _xHHHH_ (a CR as _x000D_).
QString unescaped(const QString &text)
{
    if (!text.contains(QStringLiteral("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_') {
            bool ok = false;
            const ushort code = text.mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

void appendElementText(
    QXmlStreamReader &xml, QString &out, QXmlStreamReader::ReadElementTextBehaviour behaviour)
{
    out += xml.readElementText(behaviour);
}

void appendElementText(XmlScanner &xml, QString &out, XmlScanner::ReadElementTextBehaviour behaviour)
{
    xml.appendElementText(out, behaviour);
}

// The text of a string item (<si>, <is>), appended to `out`: every <t> of
// it, runs included, phonetic hints left out.
template <class Xml> void appendStringItem(Xml &xml, QString &out)
{
    const qsizetype start = out.size();
    int depth = 1;
    bool phonetic = false;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            if (isNamed(xml.name(), "rPh"))
                phonetic = true;
            else if (isNamed(xml.name(), "t") && !phonetic) {
                appendElementText(xml, out, Xml::IncludeChildElements);
                --depth; // read up to its end
            }
        } else if (xml.isEndElement()) {
            --depth;
            if (isNamed(xml.name(), "rPh"))
                phonetic = false;
        }
    }
    if (QStringView(out).sliced(start).contains(u"_x")) {
        const QString item = unescaped(out.mid(start));
        out.truncate(start);
        out += item;
    }
}

} // namespace

XlsxWorkbook::XlsxWorkbook(QByteArray bytes, std::shared_ptr<ZipArchive> archive)
    : m_bytes(std::move(bytes))
    , m_archive(std::move(archive))
{
    QHash<QString, QString> rootTypes;
    relationships(*m_archive, QString(), &rootTypes);
    QString workbookPart
        = rootTypes.value(QStringLiteral("officeDocument"), QStringLiteral("xl/workbook.xml"));
    if (!m_archive->contains(workbookPart))
        throw Failure(QStringLiteral(
            "Файл не является расписанием: это архив, но не книга Excel (.xlsx) или Calc (.ods)"));

    QHash<QString, QString> types;
    const QHash<QString, QString> targets = relationships(*m_archive, workbookPart, &types);
    QXmlStreamReader xml(m_archive->read(workbookPart));
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (isNamed(xml.name(), "fileVersion") || isNamed(xml.name(), "workbookPr")) {
            if (isNamed(xml.name(), "workbookPr"))
                m_date1904 = isTrue(attribute(xml, QLatin1StringView("date1904")));
        } else if (isNamed(xml.name(), "sheet")) {
            const QString target = targets.value(attribute(xml, QLatin1StringView("id")).toString());
            if (target.isEmpty())
                continue; // a chart sheet or a dangling entry holds no cells
            const QStringView state = attribute(xml, QLatin1StringView("state"));
            m_sheets.append({ attribute(xml, QLatin1StringView("name")).toString(),
                state.isEmpty() || state == u"visible" });
            m_sheetParts.append(target);
        }
    }
    if (xml.hasError())
        damaged(workbookPart, xml);
    if (m_sheets.isEmpty())
        throw Failure(QStringLiteral("В книге нет ни одного листа"));

    const QString shared = types.value(QStringLiteral("sharedStrings"));
    if (!shared.isEmpty() && m_archive->contains(shared))
        readSharedStrings(shared);
    const QString styles = types.value(QStringLiteral("styles"));
    if (!styles.isEmpty() && m_archive->contains(styles))
        readStyles(styles);
}

template <class Xml> void XlsxWorkbook::sharedStrings(Xml &xml)
{
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && isNamed(xml.name(), "si")) {
            appendStringItem(xml, m_sharedText);
            m_sharedEnds.push_back(m_sharedText.size());
        }
    }
}

void XlsxWorkbook::readSharedStrings(const QString &part)
{
    readXmlPart(*m_archive, part, [this](auto &xml) {
        m_sharedText.clear();
        m_sharedEnds.clear();
        sharedStrings(xml);
    });
}

void XlsxWorkbook::readStyles(const QString &part)
{
    QHash<int, QString> codes;
    std::vector<int> formatIds;
    QXmlStreamReader xml(m_archive->read(part));
    bool inCellFormats = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (isNamed(xml.name(), "numFmt")) {
                codes.insert(toInt(attribute(xml, QLatin1StringView("numFmtId"))),
                    attribute(xml, QLatin1StringView("formatCode")).toString());
            } else if (isNamed(xml.name(), "cellXfs")) {
                inCellFormats = true;
            } else if (isNamed(xml.name(), "xf") && inCellFormats) {
                formatIds.push_back(toInt(attribute(xml, QLatin1StringView("numFmtId"))));
            }
        } else if (xml.isEndElement() && isNamed(xml.name(), "cellXfs")) {
            inCellFormats = false;
        }
    }
    if (xml.hasError())
        damaged(part, xml);
    m_styleFormats.reserve(formatIds.size());
    for (int id : formatIds)
        m_styleFormats.emplace_back(codes.contains(id) ? codes.value(id) : numberformat::builtinCode(id));
}

template <class Xml> void XlsxWorkbook::sheetCells(Xml &xml, SheetGrid &grid) const
{
    QString value;
    int row = -1;
    int column = -1;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto name = xml.name();
        if (isNamed(name, "row")) {
            const QStringView r = attribute(xml, QLatin1StringView("r"));
            bool ok = false;
            const int given = toInt(r, &ok);
            row = ok && given >= 1 ? given - 1 : row + 1;
            column = -1;
            if (isTrue(attribute(xml, QLatin1StringView("hidden"))))
                grid.setRowsHidden(row, 1);
        } else if (isNamed(name, "c")) {
            int c = column + 1;
            int r = row;
            const QStringView ref = attribute(xml, QLatin1StringView("r"));
            if (!ref.isEmpty() && !parseReference(ref, c, r))
                continue;
            column = c;
            // Kept as a kind: the attribute's text lasts only to the next token.
            enum { Number, Shared, Inline, Text, Boolean, Date } kind = Number;
            const QStringView type = attribute(xml, QLatin1StringView("t"));
            if (isNamed(type, "s"))
                kind = Shared;
            else if (isNamed(type, "inlineStr"))
                kind = Inline;
            else if (isNamed(type, "str") || isNamed(type, "e"))
                kind = Text;
            else if (isNamed(type, "b"))
                kind = Boolean;
            else if (isNamed(type, "d"))
                kind = Date;
            const int style = toInt(attribute(xml, QLatin1StringView("s")));
            value.truncate(0); // its room is kept from cell to cell
            QString inlineText;
            bool hasValue = false;
            bool hasFormula = false;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isEndElement() && isNamed(xml.name(), "c"))
                    break;
                if (!xml.isStartElement())
                    continue;
                if (isNamed(xml.name(), "v")) {
                    value.truncate(0);
                    appendElementText(xml, value, Xml::SkipChildElements);
                    hasValue = !value.isEmpty(); // some writers leave an empty result

                } else if (isNamed(xml.name(), "f")) {
                    hasFormula = true;
                    xml.skipCurrentElement();
                } else if (isNamed(xml.name(), "is")) {
                    inlineText.clear();
                    appendStringItem(xml, inlineText);
                    hasValue = true;
                }
            }
            QString text;
            if (!hasValue) {
                if (hasFormula)
                    grid.countFormulaWithoutValue();
            } else if (kind == Shared) {
                bool ok = false;
                const int at = toInt(value, &ok);
                if (ok && at >= 0 && size_t(at) < m_sharedEnds.size()) {
                    const qsizetype from = at == 0 ? 0 : m_sharedEnds[size_t(at) - 1];
                    grid.setCell(
                        c, r, QStringView(m_sharedText).sliced(from, m_sharedEnds[size_t(at)] - from));
                    continue;
                }
            } else if (kind == Inline) {
                text = inlineText;
            } else if (kind == Text) {
                text = value;
            } else if (kind == Boolean) {
                text = value.trimmed() == u"1" ? QStringLiteral("ИСТИНА") : QStringLiteral("ЛОЖЬ");
            } else {
                bool ok = false;
                const double number = toNumber(value, &ok);
                if (kind == Date || !ok) {
                    text = value; // an ISO date or a stray text, shown as stored
                } else {
                    static const numberformat::Format general;
                    const numberformat::Format &shown = style >= 0 && size_t(style) < m_styleFormats.size()
                        ? m_styleFormats[size_t(style)]
                        : general;
                    text = shown.apply(number, m_date1904);
                }
            }
            grid.setCell(c, r, text);
        } else if (isNamed(name, "mergeCell")) {
            const QStringView ref = attribute(xml, QLatin1StringView("ref"));
            const qsizetype colon = ref.indexOf(u':');
            int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
            if (colon > 0 && parseReference(ref.left(colon), c1, r1)
                && parseReference(ref.mid(colon + 1), c2, r2))
                grid.addMerge(c1, r1, c2, r2);
        }
    }
}

ScheduleTable XlsxWorkbook::readSheet(int index) const
{
    ScheduleTable table;
    readXmlPart(*m_archive, m_sheetParts.value(index), [&](auto &xml) {
        SheetGrid grid;
        sheetCells(xml, grid);
        if (!xml.hasError())
            table = grid.toTable();
    });
    return table;
}

} // namespace lintaro
