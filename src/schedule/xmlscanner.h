#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <vector>

class QXmlStreamReader;

namespace lintaro {

// A fast pull reader for the plain UTF-8 XML that sheets are written in,
// with the few calls of QXmlStreamReader the sheet readers use. It gives up
// (hasError()) on whatever it does not handle exactly — a DOCTYPE, another
// encoding, an unknown entity, malformed markup — and the caller then reads
// the part again with QXmlStreamReader, which also words the error.
// Names are local names; the bytes must outlive the scanner.
class XmlScanner
{
public:
    enum ReadElementTextBehaviour { SkipChildElements, IncludeChildElements };

    explicit XmlScanner(QByteArrayView bytes);

    void readNext();
    bool atEnd() const { return m_failed || m_done; }
    bool hasError() const { return m_failed; }
    bool isStartElement() const { return m_token == Token::Start; }
    bool isEndElement() const { return m_token == Token::End; }
    bool isCharacters() const { return m_token == Token::Text; }
    QStringView name() const { return m_name; }
    QStringView text() const { return m_text; }
    // By local name; valid until the next readNext().
    QStringView attribute(QLatin1StringView name) const;
    QString readElementText(ReadElementTextBehaviour behaviour);
    // The same, appended to `out`: no string of its own for each element.
    void appendElementText(QString &out, ReadElementTextBehaviour behaviour);
    void skipCurrentElement();

private:
    enum class Token { None, Start, End, Text };
    struct Attribute
    {
        QString name, value;
    };
    void fail();
    bool scanTag();
    bool decode(qsizetype from, qsizetype to, QString &out, bool attribute);

    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    Token m_token = Token::None;
    bool m_failed = false;
    bool m_done = false;
    bool m_pendingEnd = false; // after <empty/>
    bool m_seenRoot = false;
    QString m_name;
    QString m_text;
    std::vector<Attribute> m_attributes;
    int m_attributeCount = 0;
    std::vector<QByteArrayView> m_open;
};

// An attribute by its local name (writers differ in their prefixes), from
// either reader; empty when absent.
QStringView attribute(const QXmlStreamReader &xml, QLatin1StringView name);
inline QStringView attribute(const XmlScanner &xml, QLatin1StringView name)
{
    return xml.attribute(name);
}

} // namespace lintaro
