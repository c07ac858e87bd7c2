// Any bytes as a workbook part's XML: the fast scanner never crashes, reads
// the same whole and fed in pieces as an unpacking part feeds it (or fails
// either way), and where
// both it and QXmlStreamReader read the bytes they see the same elements,
// attributes and text.
#include "schedule/xmlscanner.h"

#include <QByteArray>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

struct Walk
{
    QStringList events;
    bool failed = false;
    bool operator==(const Walk &other) const = default;
};

void listAttributes(const lintaro::XmlScanner &xml, QStringList &events)
{
    for (int i = 0; i < xml.attributeCount(); ++i) {
        const QLatin1StringView name = xml.attributeName(i);
        events.append(QString(name) + u'=' + xml.attribute(name).toString());
    }
}

// Values looked up by local name, as the sheet readers look them up: of two
// attributes of one local name (x:t and t) both give the first.
void listAttributes(const QXmlStreamReader &xml, QStringList &events)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    for (const QXmlStreamAttribute &a : attributes) {
        const QByteArray name = a.name().toLatin1();
        events.append(a.name().toString() + u'='
            + lintaro::attribute(xml, QLatin1StringView(name)).toString());
    }
}

// Elements with their attributes, and the text inside the root with
// adjacent pieces joined, since the readers cut text differently.
template <class Xml> Walk walk(Xml &xml)
{
    Walk result;
    QString text;
    int depth = 0;
    auto flush = [&] {
        if (!text.isEmpty())
            result.events.append(QStringLiteral("T ") + text);
        text.clear();
    };
    while (!xml.atEnd() && result.events.size() < 100000) {
        xml.readNext();
        if (xml.isCharacters()) {
            if (depth > 0)
                text += xml.text();
        } else if (xml.isStartElement()) {
            flush();
            ++depth;
            result.events.append(QStringLiteral("S ") + xml.name().toString());
            listAttributes(xml, result.events);
        } else if (xml.isEndElement()) {
            flush();
            --depth;
            result.events.append(QStringLiteral("E ") + xml.name().toString());
        }
    }
    result.failed = xml.hasError();
    return result;
}

// Says where two walks part before stopping, for whoever replays the input.
[[noreturn]] void differ(const char *what, const Walk &a, const Walk &b)
{
    qsizetype i = 0;
    while (i < a.events.size() && i < b.events.size() && a.events[i] == b.events[i])
        ++i;
    std::fprintf(stderr, "%s differ at event %lld: \"%s\" / \"%s\" (failed %d / %d)\n", what,
        static_cast<long long>(i), qPrintable(a.events.value(i)), qPrintable(b.events.value(i)), a.failed,
        b.failed);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    lintaro::XmlScanner whole { QByteArrayView(bytes) };
    const Walk scanned = walk(whole);

    const qsizetype piece = size > 0 ? data[0] % 7 + 1 : 1;
    lintaro::XmlScanner pieces([&bytes, piece, at = qsizetype(0)](char *to, qsizetype max) mutable {
        const qsizetype n = std::min({ piece, max, bytes.size() - at });
        std::copy_n(bytes.constData() + at, n, to);
        at += n;
        return n;
    });
    // Fed in pieces, a fault is found only once its piece comes, after the
    // tokens before it; a scan that fails is read again anyway.
    const Walk piecewise = walk(pieces);
    if (piecewise.failed != scanned.failed || (!scanned.failed && piecewise != scanned))
        differ("whole and in pieces", scanned, piecewise);

    // The scanner may accept what QXmlStreamReader refuses (an undeclared
    // prefix, a repeated attribute), never read differently what both accept.
    if (!scanned.failed) {
        QXmlStreamReader reference(bytes);
        const Walk read = walk(reference);
        if (!read.failed && read.events != scanned.events)
            differ("the scanner and QXmlStreamReader", scanned, read);
    }
    return 0;
}
