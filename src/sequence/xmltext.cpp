#include "xmltext.h"

namespace lintaro {

XmlText::XmlText()
{
    m_text.reserve(1 << 18);
    m_text += QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
}

void XmlText::escape(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        switch (ch.unicode()) {
        case u'&':
            m_text += QLatin1String("&amp;");
            continue;
        case u'<':
            m_text += QLatin1String("&lt;");
            continue;
        case u'>':
            m_text += QLatin1String("&gt;");
            continue;
        case u'"':
            m_text += QLatin1String("&quot;");
            continue;
        // Kept as characters a reader does not fold into a blank.
        case u'\t':
            m_text += QLatin1String("&#9;");
            continue;
        case u'\n':
            m_text += QLatin1String("&#10;");
            continue;
        case u'\r':
            m_text += QLatin1String("&#13;");
            continue;
        default:
            break;
        }
        const char16_t code = ch.unicode();
        if (code < 32 || code == 0xfffe || code == 0xffff) {
            m_valid = false;
        } else if (ch.isHighSurrogate()) {
            if (i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                m_text += ch;
                m_text += text[++i];
            } else {
                m_valid = false;
            }
            continue;
        } else if (ch.isLowSurrogate()) {
            m_valid = false;
        }
        m_text += ch;
    }
}

void XmlText::startTag(const char *tag, Attributes attributes)
{
    m_text += u'<';
    m_text += QLatin1String(tag);
    for (const auto &[name, value] : attributes) {
        m_text += u' ';
        m_text += QLatin1String(name);
        m_text += QLatin1String("=\"");
        escape(value);
        m_text += u'"';
    }
}

void XmlText::open(const char *tag, Attributes attributes)
{
    startTag(tag, attributes);
    m_text += u'>';
}

void XmlText::close(const char *tag)
{
    m_text += QLatin1String("</");
    m_text += QLatin1String(tag);
    m_text += u'>';
}

void XmlText::element(const char *tag, const QString &text)
{
    open(tag);
    escape(text);
    close(tag);
}

void XmlText::empty(const char *tag, Attributes attributes)
{
    startTag(tag, attributes);
    m_text += QLatin1String("/>");
}

} // namespace lintaro
