#include "xmlscanner.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace lintaro {

namespace {

// A byte's classes, looked up rather than compared: names and plain values
// are most of a sheet.
enum : uchar { kName = 1, kTextSpecial = 2, kValueSpecial = 4, kSpace = 8 };
struct ByteClasses
{
    uchar table[256] = {};
    constexpr ByteClasses()
    {
        for (int c = 0; c < 256; ++c) {
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
                || c == ':' || c == '-' || c == '.')
                table[c] |= kName;
            if (c == '&' || c == '>' || c >= 0x80)
                table[c] |= kTextSpecial; // '>' for a stray "]]>"
            if (c == '&' || c == '<' || c == '\n' || c == '\t' || c >= 0x80)
                table[c] |= kValueSpecial; // blanks in a value need normalising
            if (c == ' ' || c == '\n' || c == '\t')
                table[c] |= kSpace;
        }
    }
};
constexpr ByteClasses kClasses;

bool is(char c, uchar classes)
{
    return kClasses.table[uchar(c)] & classes;
}

// The end of the name from `at`, and where its local part begins (after the
// last ':').
qsizetype scanName(const char *data, qsizetype at, qsizetype size, qsizetype &localStart)
{
    localStart = at;
    for (; at < size && is(data[at], kName); ++at) {
        if (data[at] == ':')
            localStart = at + 1;
    }
    return at;
}

// Names are a few bytes long: a loop beats a call of memcmp.
bool sameBytes(const char *a, const char *b, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

bool isXmlChar(uint code)
{
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF)
        || (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// What the source gives at a time: small enough to stay in the cache between
// unpacking and scanning.
constexpr qsizetype kChunk = 128 * 1024;

} // namespace

XmlScanner::XmlScanner(QByteArrayView bytes)
    : m_data(bytes.data())
    , m_size(bytes.size())
{
    if (checkBytes(0, m_size))
        start();
    else
        fail();
}

XmlScanner::XmlScanner(Source source)
    : m_source(std::move(source))
    , m_eof(false)
{
    start();
}

// A raw CR or a control character would need the normalisation we leave to
// QXmlStreamReader. Eight bytes at a time: a word with no byte under 0x20
// needs no closer look.
bool XmlScanner::checkBytes(qsizetype from, qsizetype to)
{
    constexpr quint64 kOnes = 0x0101010101010101ULL;
    qsizetype i = from;
    for (; i + 8 <= to; i += 8) {
        quint64 word;
        std::memcpy(&word, m_data + i, 8);
        if (((word - kOnes * 0x20) & ~word & (kOnes * 0x80)) == 0)
            continue;
        for (qsizetype k = i; k < i + 8; ++k) {
            if (uchar(m_data[k]) < 0x20 && m_data[k] != '\n' && m_data[k] != '\t')
                return false;
        }
    }
    for (; i < to; ++i) {
        if (uchar(m_data[i]) < 0x20 && m_data[i] != '\n' && m_data[i] != '\t')
            return false;
    }
    return true;
}

// Past a byte-order mark and the declaration, which must name UTF-8 if it
// names an encoding; other encodings are left to QXmlStreamReader.
void XmlScanner::start()
{
    while (!m_eof && m_size < 3) {
        if (!more())
            return;
    }
    if (QByteArrayView(m_data, m_size).startsWith("\xEF\xBB\xBF"))
        m_at = 3;
    while (true) {
        const QByteArrayView rest(m_data + m_at, m_size - m_at);
        if (rest.size() < 6 && !m_eof) {
            if (!more())
                return;
            continue;
        }
        if (!rest.startsWith("<?xml") || (rest.size() > 5 && !is(rest[5], kSpace) && rest[5] != '?'))
            return;
        const qsizetype end = rest.indexOf("?>");
        if (end < 0) {
            if (m_eof)
                return fail();
            if (!more())
                return;
            continue;
        }
        const QByteArray prolog = rest.first(end).toByteArray().toLower();
        if (prolog.contains("encoding") && !prolog.contains("utf-8"))
            return fail();
        m_at += end + 2;
        return;
    }
}

// Keeps the token under way, drops what is scanned and reads on; the buffer
// grows only for a token longer than what is left of it.
bool XmlScanner::more()
{
    if (m_eof)
        return false;
    const qsizetype kept = m_size - m_at;
    if (m_at > 0) {
        std::memmove(m_buffer.data(), m_buffer.constData() + m_at, size_t(kept));
        m_at = 0;
    }
    if (m_buffer.size() - kept < kChunk / 2)
        m_buffer.resize(std::max(m_buffer.size() * 2, kept + kChunk));
    const qsizetype got = m_source(m_buffer.data() + kept, m_buffer.size() - kept);
    m_data = m_buffer.constData();
    m_size = kept + std::max<qsizetype>(got, 0);
    if (got <= 0) {
        m_eof = true;
        return true;
    }
    if (!checkBytes(kept, m_size)) {
        fail();
        return false;
    }
    return true;
}

void XmlScanner::fail()
{
    m_failed = true;
    m_token = Token::None;
    m_name = {};
}

QStringView XmlScanner::attribute(QLatin1StringView name) const
{
    for (int i = 0; i < m_attributeCount; ++i) {
        const Attribute &a = m_attributes[size_t(i)];
        if (a.name.size() == name.size() && sameBytes(a.name.data(), name.data(), name.size())) {
            if (!a.decoded) {
                a.value = QLatin1StringView(a.raw); // keeps the string's room
                a.decoded = true;
            }
            return a.value;
        }
    }
    return {};
}

// A byte-order mark inside the text is a character of it, as for
// QXmlStreamReader; QString::fromUtf8 would drop one at the start.
bool XmlScanner::appendUtf8(QByteArrayView bytes, QString &out) const
{
    if (!bytes.isValidUtf8())
        return false;
    const qsizetype before = out.size();
    out.resize(before + bytes.size());
    const QChar *end = m_utf8.appendToBuffer(out.data() + before, bytes);
    out.truncate(end - out.constData());
    return true;
}

bool XmlScanner::decode(QByteArrayView bytes, QString &out, bool attribute) const
{
    const char *data = bytes.data();
    const qsizetype size = bytes.size();
    const uchar special = attribute ? kValueSpecial : kTextSpecial;
    qsizetype first = 0;
    while (first < size && !is(data[first], special))
        ++first;
    if (first == size) {
        out += QLatin1StringView(data, size);
        return true;
    }
    for (qsizetype i = first; i < size; ++i) {
        const char c = data[i];
        if (attribute ? (c == '<' || c == '\n' || c == '\t')
                      : c == '>' && i >= 2 && data[i - 1] == ']' && data[i - 2] == ']')
            return false;
    }
    qsizetype i = 0;
    while (i < size) {
        const void *found = std::memchr(data + i, '&', size_t(size - i));
        const qsizetype amp = found ? static_cast<const char *>(found) - data : size;
        if (!appendUtf8(QByteArrayView(data + i, amp - i), out))
            return false;
        if (amp == size)
            break;
        qsizetype semicolon = amp + 1;
        while (semicolon < size && semicolon - amp < 12 && data[semicolon] != ';')
            ++semicolon;
        if (semicolon >= size || data[semicolon] != ';')
            return false;
        const QByteArrayView entity(data + amp + 1, semicolon - amp - 1);
        if (entity == "amp")
            out += u'&';
        else if (entity == "lt")
            out += u'<';
        else if (entity == "gt")
            out += u'>';
        else if (entity == "quot")
            out += u'"';
        else if (entity == "apos")
            out += u'\'';
        else if (entity.startsWith('#') && entity.size() > 1) {
            const bool hex = entity[1] == 'x';
            const QByteArrayView digits = entity.sliced(hex ? 2 : 1);
            // Digits only: no sign, blank or "0x" that a number parser would let by.
            bool ok = !digits.isEmpty();
            for (const char d : digits)
                ok = ok
                    && ((d >= '0' && d <= '9')
                        || (hex && ((d >= 'a' && d <= 'f') || (d >= 'A' && d <= 'F'))));
            const uint code = ok ? QByteArray(digits.data(), digits.size()).toUInt(&ok, hex ? 16 : 10) : 0;
            if (!ok || !isXmlChar(code))
                return false;
            out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
        } else {
            return false; // an entity only a DOCTYPE could define
        }
        i = semicolon + 1;
    }
    return true;
}

XmlScanner::Step XmlScanner::scanTag()
{
    const char *data = m_data;
    const qsizetype size = m_size;
    const qsizetype nameStart = m_at + 1;
    qsizetype localStart = 0;
    qsizetype at = scanName(data, nameStart, size, localStart);
    if (at >= size)
        return ranOut();
    if (at == nameStart || (data[nameStart] >= '0' && data[nameStart] <= '9') || data[nameStart] == '-'
        || data[nameStart] == '.')
        return Step::Failed;
    const qsizetype nameEnd = at;
    m_attributeCount = 0;
    bool empty = false;
    while (true) {
        const qsizetype before = at;
        while (at < size && is(data[at], kSpace))
            ++at;
        if (at >= size)
            return ranOut();
        if (data[at] == '>') {
            ++at;
            break;
        }
        if (data[at] == '/') {
            if (at + 1 >= size)
                return ranOut();
            if (data[at + 1] != '>')
                return Step::Failed;
            at += 2;
            empty = true;
            break;
        }
        if (at == before)
            return Step::Failed; // attributes are set apart by blanks
        const qsizetype attributeStart = at;
        qsizetype attributeLocal = 0;
        at = scanName(data, at, size, attributeLocal);
        const qsizetype attributeEnd = at;
        while (at < size && is(data[at], kSpace))
            ++at;
        if (at >= size)
            return ranOut();
        if (attributeEnd == attributeStart || data[at] != '=')
            return Step::Failed;
        ++at;
        while (at < size && is(data[at], kSpace))
            ++at;
        if (at >= size)
            return ranOut();
        if (data[at] != '"' && data[at] != '\'')
            return Step::Failed;
        const char quote = data[at++];
        const qsizetype valueStart = at;
        const void *close = std::memchr(data + at, quote, size_t(size - at));
        if (!close)
            return ranOut();
        at = static_cast<const char *>(close) - data + 1;
        const QByteArrayView qualified(data + attributeStart, attributeEnd - attributeStart);
        if (qualified.size() >= 5 && qualified[0] == 'x' && qualified.first(5) == "xmlns"
            && (qualified.size() == 5 || qualified[5] == ':'))
            continue;
        if (size_t(m_attributeCount) == m_attributes.size())
            m_attributes.emplace_back();
        Attribute &attribute = m_attributes[size_t(m_attributeCount++)];
        attribute.name = QLatin1StringView(data + attributeLocal, attributeEnd - attributeLocal);
        attribute.raw = QByteArrayView(data + valueStart, at - 1 - valueStart);
        attribute.decoded = false;
        for (const char c : attribute.raw) {
            if (is(c, kValueSpecial)) {
                // Entities and UTF-8 are checked now, so a broken value is
                // noticed whether or not anyone asks for it.
                attribute.value.truncate(0); // keeps its room
                if (!decode(attribute.raw, attribute.value, true))
                    return Step::Failed;
                attribute.decoded = true;
                break;
            }
        }
    }
    m_name = QLatin1StringView(data + localStart, nameEnd - localStart);
    m_openStarts.push_back(qsizetype(m_openNames.size()));
    m_openNames.append(data + nameStart, size_t(nameEnd - nameStart));
    m_pendingEnd = empty;
    m_at = at;
    m_token = Token::Start;
    return Step::Done;
}

XmlScanner::Step XmlScanner::scanEndTag()
{
    const char *data = m_data;
    const qsizetype size = m_size;
    const qsizetype nameStart = m_at + 2;
    qsizetype localStart = 0;
    qsizetype at = scanName(data, nameStart, size, localStart);
    const qsizetype nameEnd = at;
    while (at < size && is(data[at], kSpace))
        ++at;
    if (at >= size)
        return ranOut();
    const size_t open = m_openStarts.empty() ? 0 : m_openStarts.back();
    if (data[at] != '>' || m_openStarts.empty() || m_openNames.size() - open != size_t(nameEnd - nameStart)
        || !sameBytes(m_openNames.data() + open, data + nameStart, nameEnd - nameStart))
        return Step::Failed;
    m_openNames.resize(open);
    m_openStarts.pop_back();
    m_name = QLatin1StringView(data + localStart, nameEnd - localStart);
    m_at = at + 1;
    m_token = Token::End;
    return Step::Done;
}

// Text goes to `appendTo` when given, else to m_text.
XmlScanner::Step XmlScanner::scanToken(QString *appendTo)
{
    const char *data = m_data;
    const qsizetype size = m_size;
    while (true) {
        if (m_at >= size) {
            if (!m_eof)
                return Step::More;
            if (!m_openStarts.empty() || !m_seenRoot)
                return Step::Failed;
            m_done = true;
            m_token = Token::None;
            return Step::Done;
        }
        if (data[m_at] != '<') {
            const void *found = std::memchr(data + m_at, '<', size_t(size - m_at));
            if (!found && !m_eof)
                return Step::More;
            const qsizetype to = found ? static_cast<const char *>(found) - data : size;
            if (m_openStarts.empty()) {
                for (qsizetype i = m_at; i < to; ++i) {
                    if (!is(data[i], kSpace))
                        return Step::Failed; // text outside the root
                }
                m_at = to;
                continue;
            }
            QString &out = appendTo ? *appendTo : m_text;
            const qsizetype before = out.size();
            if (!appendTo)
                m_text.truncate(0); // keeps its room
            if (!decode(QByteArrayView(data + m_at, to - m_at), out, false)) {
                out.truncate(appendTo ? before : 0);
                return Step::Failed;
            }
            m_at = to;
            m_token = Token::Text;
            return Step::Done;
        }
        if (m_at + 1 >= size)
            return ranOut();
        const char second = data[m_at + 1];
        if (second == '/')
            return scanEndTag();
        if (second != '?' && second != '!') {
            if (m_openStarts.empty() && m_seenRoot)
                return Step::Failed; // a second root
            const Step step = scanTag();
            m_seenRoot = m_seenRoot || step == Step::Done;
            return step;
        }
        const QByteArrayView rest(data + m_at, size - m_at);
        if (rest.size() < 9 && !m_eof)
            return Step::More; // enough to tell what it is
        if (second == '?') {
            // The declaration is read at the start; one anywhere else is an error.
            if (rest.startsWith("<?xml") && (rest.size() == 5 || is(rest[5], kSpace) || rest[5] == '?'))
                return Step::Failed;
            const qsizetype end = rest.indexOf("?>", 2);
            if (end < 0)
                return ranOut();
            m_at += end + 2;
        } else if (rest.startsWith("<!--")) {
            const qsizetype end = rest.indexOf("-->", 4);
            if (end < 0)
                return ranOut();
            m_at += end + 3;
        } else if (rest.startsWith("<![CDATA[")) {
            const qsizetype end = rest.indexOf("]]>", 9);
            if (end < 0)
                return ranOut();
            if (m_openStarts.empty())
                return Step::Failed;
            if (!appendTo)
                m_text.truncate(0);
            if (!appendUtf8(rest.sliced(9, end - 9), appendTo ? *appendTo : m_text))
                return Step::Failed;
            m_at += end + 3;
            m_token = Token::Text;
            return Step::Done;
        } else {
            return Step::Failed; // a DOCTYPE may define entities
        }
    }
}

void XmlScanner::readNext()
{
    next(nullptr);
}

void XmlScanner::next(QString *appendTo)
{
    if (atEnd())
        return;
    if (m_pendingEnd) {
        m_pendingEnd = false;
        m_openNames.resize(m_openStarts.back());
        m_openStarts.pop_back();
        m_token = Token::End;
        return;
    }
    while (true) {
        const Step step = scanToken(appendTo);
        if (step == Step::Done)
            return;
        if (step == Step::Failed || !more())
            return fail();
    }
}

QString XmlScanner::readElementText(ReadElementTextBehaviour behaviour)
{
    QString result;
    appendElementText(result, behaviour);
    return result;
}

void XmlScanner::appendElementText(QString &out, ReadElementTextBehaviour behaviour)
{
    int depth = 1;
    while (!atEnd()) {
        // Text goes straight to `out`, not through m_text.
        const bool wanted = depth == 1 || behaviour == IncludeChildElements;
        next(wanted ? &out : nullptr);
        if (isStartElement())
            ++depth;
        else if (isEndElement() && --depth == 0)
            break;
    }
}

void XmlScanner::skipCurrentElement()
{
    int depth = 1;
    while (!atEnd()) {
        readNext();
        if (isStartElement())
            ++depth;
        else if (isEndElement() && --depth == 0)
            break;
    }
}

qint64 toInteger(QStringView text, bool *ok)
{
    text = text.trimmed();
    qint64 value = 0;
    qsizetype i = !text.isEmpty() && text[0] == u'+' ? 1 : 0;
    const qsizetype digitsFrom = i;
    for (; i < text.size() && i - digitsFrom < 18; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            break;
        value = value * 10 + (c - u'0');
    }
    if (i == text.size() && i > digitsFrom) {
        if (ok)
            *ok = true;
        return value;
    }
    return text.toLongLong(ok); // signs, long numbers and the rest, as Qt reads them
}

double toNumber(QStringView text, bool *ok)
{
    text = text.trimmed();
    char ascii[64];
    qsizetype i = !text.isEmpty() && text[0] == u'+' ? 1 : 0; // from_chars takes no '+'
    const qsizetype size = text.size() - i;
    bool plain = size > 0 && size < qsizetype(sizeof ascii) && text[i] != u'+' && text[i] != u'-';
    for (qsizetype k = 0; plain && k < size; ++k) {
        const char16_t c = text[i + k].unicode();
        plain = (c >= u'0' && c <= u'9') || c == u'.' || c == u'e' || c == u'E' || c == u'+' || c == u'-';
        ascii[k] = char(c);
    }
    if (plain) {
        double value = 0;
        const auto [end, error] = std::from_chars(ascii, ascii + size, value);
        if (error == std::errc() && end == ascii + size) {
            if (ok)
                *ok = true;
            return value;
        }
    }
    return text.toDouble(ok); // signs, infinities and the rest, as Qt reads them
}

QStringView attribute(const QXmlStreamReader &xml, QLatin1StringView name)
{
    // Kept const: a range-for over the temporary list would copy it each call.
    const QXmlStreamAttributes attributes = xml.attributes();
    for (const QXmlStreamAttribute &a : attributes) {
        if (a.name() == name)
            return a.value();
    }
    return {};
}

} // namespace lintaro
