#pragma once

#include <QString>

#include <initializer_list>
#include <utility>

namespace lintaro {

// XML written straight into text, escaped as it goes: a writer per element
// costs more than the rest of a sequence's rendering. Elements are closed by
// name, so what is opened is also what is closed.
class XmlText
{
public:
    using Attributes = std::initializer_list<std::pair<const char *, QString>>;

    // Starts the text with the XML declaration.
    XmlText();

    void open(const char *tag, Attributes attributes = {});
    void close(const char *tag);
    // <tag>text</tag>
    void element(const char *tag, const QString &text);
    // <tag a="b"/>
    void empty(const char *tag, Attributes attributes);
    // Character data, escaped.
    void characters(const QString &text) { escape(text); }
    // Text that is already XML.
    void raw(const char *markup) { m_text += QLatin1String(markup); }

    // False once a character that XML 1.0 cannot carry was given.
    bool isValid() const { return m_valid; }
    const QString &text() const { return m_text; }

private:
    void escape(const QString &text);
    void startTag(const char *tag, Attributes attributes);

    QString m_text;
    bool m_valid = true;
};

} // namespace lintaro
