#include "xmlscanner.h"

#include <QXmlStreamReader>

#include <cstring>

namespace lintaro {

namespace {

// Bytes of an ASCII name, looked up rather than compared: names are most of a sheet.
struct NameBytes
{
    bool table[256] = {};
    constexpr NameBytes()
    {
        for (int c = 0; c < 256; ++c)
            table[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
                || c == ':' || c == '-' || c == '.';
    }
};
constexpr NameBytes kNameBytes;

bool isNameByte(char c)
{
    return kNameBytes.table[uchar(c)];
}

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\t';
}

bool isXmlChar(uint code)
{
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF)
        || (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// The local name of an ASCII qualified name, into a buffer kept between tags.
void setLocalName(QString &out, QByteArrayView qualified)
{
    qsizetype start = qualified.size();
    while (start > 0 && qualified[start - 1] != ':')
        --start;
    out.resize(qualified.size() - start);
    QChar *o = out.data();
    for (qsizetype i = start; i < qualified.size(); ++i)
        *o++ = QChar(uchar(qualified[i]));
}

} // namespace

XmlScanner::XmlScanner(QByteArrayView bytes)
    : m_bytes(bytes)
{
    if (m_bytes.startsWith("\xEF\xBB\xBF"))
        m_at = 3;
    // A raw CR or a control character would need the normalisation we leave
    // to QXmlStreamReader; so do other encodings and broken UTF-8.
    // Eight bytes at a time: a word with no byte under 0x20 needs no closer look.
    const char *data = m_bytes.data();
    const qsizetype size = m_bytes.size();
    constexpr quint64 kOnes = 0x0101010101010101ULL;
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, data + i, 8);
        if (((word - kOnes * 0x20) & ~word & (kOnes * 0x80)) == 0)
            continue;
        for (qsizetype k = i; k < i + 8; ++k) {
            if (uchar(data[k]) < 0x20 && data[k] != '\n' && data[k] != '\t') {
                fail();
                return;
            }
        }
    }
    for (; i < size; ++i) {
        if (uchar(data[i]) < 0x20 && data[i] != '\n' && data[i] != '\t') {
            fail();
            return;
        }
    }
    if (m_bytes.sliced(m_at).startsWith("<?xml")) {
        const qsizetype end = m_bytes.indexOf("?>", m_at);
        if (end < 0) {
            fail();
            return;
        }
        const QByteArray prolog = m_bytes.sliced(m_at, end - m_at).toByteArray().toLower();
        const qsizetype encoding = prolog.indexOf("encoding");
        if (encoding >= 0 && !prolog.contains("utf-8")) {
            fail();
            return;
        }
    }
}

void XmlScanner::fail()
{
    m_failed = true;
    m_token = Token::None;
}

QStringView XmlScanner::attribute(QLatin1StringView name) const
{
    for (int i = 0; i < m_attributeCount; ++i) {
        if (m_attributes[size_t(i)].name == name)
            return m_attributes[size_t(i)].value;
    }
    return {};
}

bool XmlScanner::decode(qsizetype from, qsizetype to, QString &out, bool attribute)
{
    const char *data = m_bytes.data();
    bool plain = true;
    for (qsizetype i = from; i < to; ++i) {
        const char c = data[i];
        if (c == '&' || uchar(c) >= 0x80)
            plain = false;
        if (attribute ? (c == '<' || c == '\n' || c == '\t')
                      : c == '>' && i >= 2 && data[i - 1] == ']' && data[i - 2] == ']')
            return false;
    }
    if (plain) {
        out.resize(to - from);
        QChar *o = out.data();
        for (qsizetype i = from; i < to; ++i)
            *o++ = QChar(uchar(data[i]));
        return true;
    }
    out.clear();
    qsizetype i = from;
    while (i < to) {
        qsizetype amp = i;
        while (amp < to && data[amp] != '&')
            ++amp;
        const qsizetype before = out.size();
        out += QString::fromUtf8(data + i, amp - i);
        // Broken UTF-8 shows as U+FFFD: only then is the piece checked.
        if (out.indexOf(QChar::ReplacementCharacter, before) >= 0
            && !QByteArrayView(data + i, amp - i).isValidUtf8())
            return false;
        if (amp == to)
            break;
        qsizetype semicolon = amp + 1;
        while (semicolon < to && semicolon - amp < 12 && data[semicolon] != ';')
            ++semicolon;
        if (semicolon >= to || data[semicolon] != ';')
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

bool XmlScanner::scanTag()
{
    const char *data = m_bytes.data();
    const qsizetype size = m_bytes.size();
    qsizetype at = m_at + 1;
    const qsizetype nameStart = at;
    while (at < size && isNameByte(data[at]))
        ++at;
    if (at == nameStart || (data[nameStart] >= '0' && data[nameStart] <= '9') || data[nameStart] == '-'
        || data[nameStart] == '.')
        return false;
    const QByteArrayView qualified(data + nameStart, at - nameStart);
    setLocalName(m_name, qualified);
    m_attributeCount = 0;
    while (true) {
        const qsizetype before = at;
        while (at < size && isSpace(data[at]))
            ++at;
        if (at >= size)
            return false;
        if (data[at] == '>') {
            ++at;
            break;
        }
        if (data[at] == '/') {
            if (at + 1 >= size || data[at + 1] != '>')
                return false;
            at += 2;
            m_pendingEnd = true;
            break;
        }
        if (at == before)
            return false; // attributes are set apart by blanks
        const qsizetype attributeStart = at;
        while (at < size && isNameByte(data[at]))
            ++at;
        const QByteArrayView attributeName(data + attributeStart, at - attributeStart);
        while (at < size && isSpace(data[at]))
            ++at;
        if (attributeName.isEmpty() || at >= size || data[at] != '=')
            return false;
        ++at;
        while (at < size && isSpace(data[at]))
            ++at;
        if (at >= size || (data[at] != '"' && data[at] != '\''))
            return false;
        const char quote = data[at++];
        const qsizetype valueStart = at;
        const void *close = std::memchr(data + at, quote, size_t(size - at));
        if (!close)
            return false;
        at = static_cast<const char *>(close) - data + 1;
        if (attributeName.size() >= 5 && attributeName[0] == 'x' && attributeName.first(5) == "xmlns"
            && (attributeName.size() == 5 || attributeName[5] == ':'))
            continue;
        if (size_t(m_attributeCount) == m_attributes.size())
            m_attributes.emplace_back();
        Attribute &attribute = m_attributes[size_t(m_attributeCount++)];
        setLocalName(attribute.name, attributeName);
        if (!decode(valueStart, at - 1, attribute.value, true))
            return false;
    }
    m_open.push_back(qualified);
    m_at = at;
    m_token = Token::Start;
    return true;
}

void XmlScanner::readNext()
{
    if (atEnd())
        return;
    if (m_pendingEnd) {
        m_pendingEnd = false;
        m_open.pop_back();
        m_token = Token::End;
        return;
    }
    const char *data = m_bytes.data();
    const qsizetype size = m_bytes.size();
    while (true) {
        if (m_at >= size) {
            if (!m_open.empty())
                return fail();
            m_done = true;
            m_token = Token::None;
            return;
        }
        if (data[m_at] != '<') {
            const qsizetype end = m_bytes.indexOf('<', m_at);
            const qsizetype to = end < 0 ? size : end;
            if (m_open.empty()) {
                for (qsizetype i = m_at; i < to; ++i) {
                    if (!isSpace(data[i]))
                        return fail(); // text outside the root
                }
                m_at = to;
                continue;
            }
            if (!decode(m_at, to, m_text, false))
                return fail();
            m_at = to;
            m_token = Token::Text;
            return;
        }
        const char second = m_at + 1 < size ? data[m_at + 1] : '\0';
        if (second != '?' && second != '!' && second != '/') {
            if (m_open.empty() && m_seenRoot)
                return fail(); // a second root
            if (!scanTag())
                return fail();
            m_seenRoot = true;
            return;
        }
        const QByteArrayView rest = m_bytes.sliced(m_at);
        if (second == '?') {
            const qsizetype end = m_bytes.indexOf("?>", m_at);
            if (end < 0)
                return fail();
            m_at = end + 2;
        } else if (rest.startsWith("<!--")) {
            const qsizetype end = m_bytes.indexOf("-->", m_at + 4);
            if (end < 0)
                return fail();
            m_at = end + 3;
        } else if (rest.startsWith("<![CDATA[")) {
            const qsizetype end = m_bytes.indexOf("]]>", m_at + 9);
            if (end < 0 || m_open.empty())
                return fail();
            const QByteArrayView cdata(data + m_at + 9, end - m_at - 9);
            if (!cdata.isValidUtf8())
                return fail();
            m_text = QString::fromUtf8(cdata);
            m_at = end + 3;
            m_token = Token::Text;
            return;
        } else if (rest.startsWith("<!")) {
            return fail(); // a DOCTYPE may define entities
        } else {
            qsizetype at = m_at + 2;
            while (at < size && isNameByte(data[at]))
                ++at;
            const QByteArrayView qualified(data + m_at + 2, at - m_at - 2);
            while (at < size && isSpace(data[at]))
                ++at;
            if (at >= size || data[at] != '>' || m_open.empty() || m_open.back() != qualified)
                return fail();
            m_open.pop_back();
            setLocalName(m_name, qualified);
            m_at = at + 1;
            m_token = Token::End;
            return;
        }
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
        readNext();
        if (isCharacters() && (depth == 1 || behaviour == IncludeChildElements))
            out += m_text;
        else if (isStartElement())
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
