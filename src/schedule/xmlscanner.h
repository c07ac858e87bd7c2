#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

class QXmlStreamReader;

namespace lintaro {

// A fast pull reader for the plain UTF-8 XML that sheets are written in,
// with the few calls of QXmlStreamReader the sheet readers use. It gives up
// (hasError()) on whatever it does not handle exactly — a DOCTYPE, another
// encoding, an unknown entity, malformed markup — and the caller then reads
// the part again with QXmlStreamReader, which also words the error.
// Names are local names.
class XmlScanner
{
public:
    enum ReadElementTextBehaviour { SkipChildElements, IncludeChildElements };
    // The document piece by piece: up to `max` bytes into `to`, 0 at its end.
    using Source = std::function<qsizetype(char *to, qsizetype max)>;

    // The whole document at hand; the bytes must outlive the scanner.
    explicit XmlScanner(QByteArrayView bytes);
    // Read as it is scanned: only the token under way is held, so a part of
    // a hundred megabytes costs a buffer of a few hundred kilobytes.
    explicit XmlScanner(Source source);

    void readNext();
    bool atEnd() const { return m_failed || m_done; }
    bool hasError() const { return m_failed; }
    bool isStartElement() const { return m_token == Token::Start; }
    bool isEndElement() const { return m_token == Token::End; }
    bool isCharacters() const { return m_token == Token::Text; }
    // Valid until the next readNext(), as the attributes are.
    QLatin1StringView name() const { return m_name; }
    QStringView text() const { return m_text; }
    // By local name.
    QStringView attribute(QLatin1StringView name) const;
    // The start element's attributes in the order written, namespace
    // declarations left out, as QXmlStreamReader::attributes() lists them.
    int attributeCount() const { return m_attributeCount; }
    QLatin1StringView attributeName(int i) const { return m_attributes[size_t(i)].name; }
    QString readElementText(ReadElementTextBehaviour behaviour);
    // The same, appended to `out`: no string of its own for each element.
    void appendElementText(QString &out, ReadElementTextBehaviour behaviour);
    void skipCurrentElement();

private:
    enum class Token { None, Start, End, Text };
    enum class Step { Done, Failed, More };
    struct Attribute
    {
        QLatin1StringView name;
        QByteArrayView raw;
        mutable QString value;
        mutable bool decoded = false;
    };
    void start();
    void next(QString *appendTo);
    void fail();
    bool more();
    Step ranOut() const { return m_eof ? Step::Failed : Step::More; }
    Step scanToken(QString *appendTo = nullptr);
    Step scanTag();
    Step scanEndTag();
    bool checkBytes(qsizetype from, qsizetype to);
    // Appends the text or value in `bytes` to `out`; false where the
    // scanner leaves it to QXmlStreamReader.
    bool decode(QByteArrayView bytes, QString &out, bool attribute) const;
    bool appendUtf8(QByteArrayView bytes, QString &out) const;

    Source m_source;
    QByteArray m_buffer; // what the source gave and is not yet scanned
    const char *m_data = nullptr;
    qsizetype m_size = 0;
    qsizetype m_at = 0;
    bool m_eof = true;
    Token m_token = Token::None;
    bool m_failed = false;
    bool m_done = false;
    bool m_pendingEnd = false; // after <empty/>
    bool m_seenRoot = false;
    QLatin1StringView m_name;
    QString m_text;
    std::vector<Attribute> m_attributes;
    int m_attributeCount = 0;
    // The qualified names of the open elements, end to end.
    std::string m_openNames;
    std::vector<qsizetype> m_openStarts;
    mutable QStringDecoder m_utf8 { QStringDecoder::Utf8,
        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom };
};

// A number in an attribute or a text, as QStringView::toLongLong() reads it,
// without its detour through a byte array for the plain digits writers give.
qint64 toInteger(QStringView text, bool *ok = nullptr);

// A number as QStringView::toDouble() reads it, through the standard
// library's exact conversion for the plain forms writers give.
double toNumber(QStringView text, bool *ok = nullptr);

// Whether a name from either reader is this ASCII name: inline, for the
// names compared at every element.
template <qsizetype N> bool isNamed(QLatin1StringView name, const char (&ascii)[N])
{
    return name.size() == N - 1 && std::equal(ascii, ascii + N - 1, name.data());
}
template <qsizetype N> bool isNamed(QStringView name, const char (&ascii)[N])
{
    return name.size() == N - 1 && std::equal(ascii, ascii + N - 1, name.utf16());
}

// An attribute by its local name (writers differ in their prefixes), from
// either reader; empty when absent.
QStringView attribute(const QXmlStreamReader &xml, QLatin1StringView name);
inline QStringView attribute(const XmlScanner &xml, QLatin1StringView name)
{
    return xml.attribute(name);
}

} // namespace lintaro
