#include "cp1251.h"

#include <QList>

#include <array>

namespace lintaro::cp1251 {

namespace {

// Bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F, the rest is ASCII.
// 0x98 has no character in the code page; it maps to U+0098 so every byte reads back.
constexpr std::array<char16_t, 64> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

inline char16_t toUnicode(unsigned char byte)
{
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return char16_t(0x0410 + (byte - 0xC0));
    return kUpperHalf[byte - 0x80];
}

// Returns the byte for a character, or -1 when the code page lacks it.
inline int toByte(char16_t ch)
{
    if (ch < 0x80)
        return ch;
    if (ch >= 0x0410 && ch <= 0x044F)
        return 0xC0 + (ch - 0x0410);
    for (int i = 0; i < int(kUpperHalf.size()); ++i) {
        if (kUpperHalf[i] == ch)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

QString decode(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = toUnicode(static_cast<unsigned char>(bytes[i]));
    return text;
}

std::optional<QByteArray> encode(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int byte = toByte(text[i].unicode());
        if (byte < 0)
            return std::nullopt;
        bytes[i] = static_cast<char>(byte);
    }
    return bytes;
}

qsizetype firstUnencodable(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (toByte(text[i].unicode()) < 0)
            return i;
    }
    return -1;
}

bool canEncode(QStringView text)
{
    return firstUnencodable(text) < 0;
}

QString unencodableMessage(QStringView text)
{
    const qsizetype at = firstUnencodable(text);
    if (at < 0)
        return {};
    QString shown = text.mid(at, text[at].isHighSurrogate() && at + 1 < text.size() ? 2 : 1).toString();
    const QString code = QString::number(QStringView(shown).toUcs4().value(0), 16).toUpper().rightJustified(4, u'0');
    return QStringLiteral("Символ \"%1\" (U+%2) в тексте \"%3\" не может быть сохранён в кодировке Windows-1251")
        .arg(shown, code, text.toString());
}

} // namespace lintaro::cp1251
