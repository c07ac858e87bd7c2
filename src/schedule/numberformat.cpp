#include "numberformat.h"

#include <QDate>
#include <QList>

#include <cmath>
#include <cstdio>

namespace lintaro::numberformat {

namespace {

const QChar kNoBreakSpace(0x00A0);

// One piece of a format section.
struct Token
{
    enum Kind {
        Literal,
        Digit,
        Point,
        Percent,
        Text,
        Year,
        Month,
        Day,
        Hour,
        Minute,
        Second,
        Fraction,
        AmPm,
        Elapsed,
        Exponent
    };
    Kind kind;
    QString text; // Literal: the text; Digit: "0", "#" or "?"; date parts: the letters
};

struct Section
{
    QList<Token> tokens;
    bool isDate = false;
    bool isNumber = false;
    bool grouping = false;
    int scale = 0; // trailing commas: divide by 1000 each
    bool hasCondition = false;
};

QChar latinCode(QChar ch)
{
    // Format codes typed in a Russian Excel use Cyrillic letters for dates.
    switch (ch.toLower().unicode()) {
    case 0x0434:
        return u'd'; // д
    case 0x043C:
        return u'm'; // м
    case 0x0433:
        return u'y'; // г
    case 0x0447:
        return u'h'; // ч
    case 0x0441:
        return u's'; // с
    default:
        return ch.toLower();
    }
}

QList<QString> splitSections(const QString &code)
{
    QList<QString> sections;
    QString current;
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar ch = code[i];
        if (ch == u'"')
            quoted = !quoted;
        if (!quoted && ch == u'\\' && i + 1 < code.size()) {
            current += ch;
            current += code[++i];
            continue;
        }
        if (!quoted && ch == u';') {
            sections.append(current);
            current.clear();
            continue;
        }
        current += ch;
    }
    sections.append(current);
    return sections;
}

Section parseSection(const QString &code)
{
    Section section;
    const qsizetype size = code.size();
    bool inInteger = true;
    for (qsizetype i = 0; i < size; ++i) {
        const QChar ch = code[i];
        const QChar lower = latinCode(ch);
        if (ch == u'"') {
            const qsizetype close = code.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? size : close;
            section.tokens.append({ Token::Literal, code.mid(i + 1, end - i - 1) });
            i = end;
        } else if (ch == u'\\' && i + 1 < size) {
            section.tokens.append({ Token::Literal, QString(code[++i]) });
        } else if (ch == u'_' && i + 1 < size) {
            ++i;
            section.tokens.append({ Token::Literal, QStringLiteral(" ") });
        } else if (ch == u'*' && i + 1 < size) {
            ++i; // fill: nothing in a text cell
        } else if (ch == u'[') {
            const qsizetype close = code.indexOf(u']', i + 1);
            const QString inside = code.mid(i + 1, (close < 0 ? size : close) - i - 1);
            i = close < 0 ? size : close;
            const QString lowered = inside.toLower();
            if (!inside.isEmpty()
                && (lowered[0] == u'h' || lowered[0] == u'm' || lowered[0] == u's'
                    || latinCode(inside[0]) == u'h' || latinCode(inside[0]) == u's')) {
                section.tokens.append(
                    { Token::Elapsed, QString(latinCode(inside[0])) + QString::number(inside.size()) });
                section.isDate = true;
            } else if (inside.startsWith(u'$')) {
                // [$руб.-419]: the currency text before the dash.
                const qsizetype dash = inside.indexOf(u'-');
                const QString symbol = inside.mid(1, (dash < 0 ? inside.size() : dash) - 1);
                if (!symbol.isEmpty())
                    section.tokens.append({ Token::Literal, symbol });
            } else if (inside.startsWith(u'<') || inside.startsWith(u'>') || inside.startsWith(u'=')) {
                section.hasCondition = true;
            } // colours and the rest show nothing
        } else if (ch == u'0' || ch == u'#' || ch == u'?') {
            section.tokens.append({ Token::Digit, QString(ch) });
            section.isNumber = true;
        } else if (ch == u'.' || ch == u',') {
            // In the stored code '.' is the decimal point and ',' groups
            // thousands (or scales, when nothing follows).
            if (ch == u'.' && inInteger && !section.isDate) {
                section.tokens.append(Token { Token::Point, {} });
                inInteger = false;
            } else if (ch == u'.' && section.isDate && i + 1 < size && code[i + 1] == u'0') {
                int digits = 0;
                while (i + 1 < size && code[i + 1] == u'0') {
                    ++digits;
                    ++i;
                }
                section.tokens.append({ Token::Fraction, QString::number(digits) });
            } else if (ch == u',') {
                bool digitFollows = false;
                for (qsizetype k = i + 1; k < size; ++k) {
                    if (code[k] == u'0' || code[k] == u'#' || code[k] == u'?') {
                        digitFollows = true;
                        break;
                    }
                    if (code[k] == u'.' || code[k] == u';')
                        break;
                }
                if (digitFollows && section.isNumber)
                    section.grouping = true;
                else if (section.isNumber)
                    ++section.scale;
                else
                    section.tokens.append({ Token::Literal, QStringLiteral(",") });
            } else {
                section.tokens.append({ Token::Literal, QString(ch) });
            }
        } else if (ch == u'%') {
            section.tokens.append(Token { Token::Percent, {} });
        } else if (ch == u'@') {
            section.tokens.append(Token { Token::Text, {} });
        } else if ((ch == u'E' || ch == u'e') && i + 1 < size
            && (code[i + 1] == u'+' || code[i + 1] == u'-')) {
            ++i;
            section.tokens.append(Token { Token::Exponent, {} });
        } else if (code.mid(i, 5).compare(QStringLiteral("AM/PM"), Qt::CaseInsensitive) == 0) {
            section.tokens.append({ Token::AmPm, QStringLiteral("AM/PM") });
            i += 4;
        } else if (code.mid(i, 3).compare(QStringLiteral("A/P"), Qt::CaseInsensitive) == 0) {
            section.tokens.append({ Token::AmPm, QStringLiteral("A/P") });
            i += 2;
        } else if (lower == u'y' || lower == u'm' || lower == u'd' || lower == u'h' || lower == u's') {
            qsizetype run = 1;
            while (i + run < size && latinCode(code[i + run]) == lower)
                ++run;
            const Token::Kind kind = lower == u'y' ? Token::Year
                : lower == u'd'                    ? Token::Day
                : lower == u'h'                    ? Token::Hour
                : lower == u's'                    ? Token::Second
                                                   : Token::Month;
            section.tokens.append({ kind, QString(run, lower) });
            section.isDate = true;
            i += run - 1;
        } else if (code.mid(i, 7).compare(QStringLiteral("General"), Qt::CaseInsensitive) == 0) {
            section.tokens.append({ Token::Text, QStringLiteral("General") });
            i += 6;
        } else {
            section.tokens.append({ Token::Literal, QString(ch) });
        }
    }
    // "m" right after hours or right before seconds is minutes.
    for (qsizetype t = 0; t < section.tokens.size(); ++t) {
        if (section.tokens[t].kind != Token::Month || section.tokens[t].text.size() > 2)
            continue;
        bool minutes = false;
        for (qsizetype k = t - 1; k >= 0; --k) {
            const Token::Kind kind = section.tokens[k].kind;
            if (kind == Token::Literal)
                continue;
            minutes = kind == Token::Hour || kind == Token::Elapsed;
            break;
        }
        for (qsizetype k = t + 1; !minutes && k < section.tokens.size(); ++k) {
            const Token::Kind kind = section.tokens[k].kind;
            if (kind == Token::Literal)
                continue;
            minutes = kind == Token::Second;
            break;
        }
        if (minutes)
            section.tokens[t].kind = Token::Minute;
    }
    if (section.isDate)
        section.isNumber = false;
    return section;
}

QString pad(qint64 value, int width)
{
    return QString::number(value).rightJustified(width, u'0');
}

const char16_t *const kMonthsShort[]
    = { u"янв", u"фев", u"мар", u"апр", u"май", u"июн", u"июл", u"авг", u"сен", u"окт", u"ноя", u"дек" };
const char16_t *const kMonthsLong[] = { u"Январь", u"Февраль", u"Март", u"Апрель", u"Май", u"Июнь", u"Июль",
    u"Август", u"Сентябрь", u"Октябрь", u"Ноябрь", u"Декабрь" };
const char16_t *const kDaysShort[] = { u"Пн", u"Вт", u"Ср", u"Чт", u"Пт", u"Сб", u"Вс" };
const char16_t *const kDaysLong[]
    = { u"понедельник", u"вторник", u"среда", u"четверг", u"пятница", u"суббота", u"воскресенье" };

QString formatDate(double value, const Section &section, bool date1904)
{
    // Excel shows no date before its epoch nor past the year 9999.
    if (value < 0 || value > 2958465.0 || !std::isfinite(value))
        return QString(11, u'#');
    int fractionDigits = 0;
    for (const Token &token : section.tokens) {
        if (token.kind == Token::Fraction)
            fractionDigits = std::max(fractionDigits, token.text.toInt());
    }
    fractionDigits = std::min(fractionDigits, 3);
    const double unitsPerSecond = std::pow(10.0, fractionDigits);
    const qint64 units = qint64(std::llround(value * 86400.0 * unitsPerSecond));
    const qint64 totalSeconds = units / qint64(unitsPerSecond);
    const qint64 fraction = units % qint64(unitsPerSecond);
    const qint64 days = totalSeconds / 86400;
    const qint64 secondOfDay = totalSeconds % 86400;

    QDate date;
    bool fakeLeapDay = false;
    if (date1904) {
        date = QDate(1904, 1, 1).addDays(days);
    } else if (days == 60) {
        fakeLeapDay = true; // 29.02.1900, which Excel counts though it never was
    } else if (days == 0) {
        date = QDate(1900, 1, 1).addDays(-1); // shown as 00.01.1900
    } else {
        date = QDate(1899, 12, 31).addDays(days < 60 ? days : days - 1);
    }
    int year = fakeLeapDay ? 1900 : date.year();
    int month = fakeLeapDay ? 2 : date.month();
    int day = fakeLeapDay ? 29 : date.day();
    if (!date1904 && days == 0) {
        year = 1900;
        month = 1;
        day = 0;
    }
    const int weekday = fakeLeapDay ? 3 : date.dayOfWeek() - 1;

    bool twelveHour = false;
    for (const Token &token : section.tokens)
        twelveHour = twelveHour || token.kind == Token::AmPm;
    const int hour = int(secondOfDay / 3600);

    QString out;
    for (const Token &token : section.tokens) {
        const int length = int(token.text.size());
        switch (token.kind) {
        case Token::Year:
            out += length <= 2 ? pad(year % 100, 2) : pad(year, 4);
            break;
        case Token::Month:
            if (length <= 2)
                out += pad(month, length);
            else if (length == 3)
                out += QString::fromUtf16(kMonthsShort[month - 1]);
            else if (length == 4)
                out += QString::fromUtf16(kMonthsLong[month - 1]);
            else
                out += QString::fromUtf16(kMonthsLong[month - 1]).left(1);
            break;
        case Token::Day:
            if (length <= 2)
                out += pad(day, length);
            else if (length == 3)
                out += QString::fromUtf16(kDaysShort[weekday]);
            else
                out += QString::fromUtf16(kDaysLong[weekday]);
            break;
        case Token::Hour: {
            int shown = hour;
            if (twelveHour) {
                shown = hour % 12;
                if (shown == 0)
                    shown = 12;
            }
            out += pad(shown, std::min(length, 2));
            break;
        }
        case Token::Minute:
            out += pad(secondOfDay / 60 % 60, std::min(length, 2));
            break;
        case Token::Second:
            out += pad(secondOfDay % 60, std::min(length, 2));
            break;
        case Token::Fraction: {
            const int digits = std::min(token.text.toInt(), 3);
            out += u',';
            out += pad(fraction, fractionDigits).left(digits);
            break;
        }
        case Token::Elapsed: {
            const QChar unit = token.text[0];
            const int width = token.text.mid(1).toInt();
            const qint64 elapsed = unit == u'h' ? totalSeconds / 3600
                : unit == u'm'                  ? totalSeconds / 60
                                                : totalSeconds;
            out += pad(elapsed, width);
            break;
        }
        case Token::AmPm:
            if (token.text == QStringLiteral("A/P"))
                out += hour < 12 ? u'A' : u'P';
            else
                out += hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            break;
        case Token::Literal:
            out += token.text;
            break;
        case Token::Point:
            out += u',';
            break;
        default:
            break;
        }
    }
    return out;
}

QString formatNumber(double value, const Section &section, bool negativeSign)
{
    int integerDigits = 0; // placeholders before the point
    int decimalDigits = 0;
    bool afterPoint = false;
    bool percent = false;
    bool exponent = false;
    for (const Token &token : section.tokens) {
        if (token.kind == Token::Point)
            afterPoint = true;
        else if (token.kind == Token::Digit)
            (afterPoint ? decimalDigits : integerDigits) += 1;
        else if (token.kind == Token::Percent)
            percent = true;
        else if (token.kind == Token::Exponent)
            exponent = true;
    }
    if (exponent) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.*E", decimalDigits, std::fabs(value));
        QString text = QString::fromLatin1(buffer).replace(u'.', u',');
        return (negativeSign && value < 0 ? QStringLiteral("-") : QString()) + text;
    }
    double shown = std::fabs(value);
    if (percent)
        shown *= 100.0;
    for (int i = 0; i < section.scale; ++i)
        shown /= 1000.0;
    // Halves away from zero, on the decimal digits Excel keeps (15), not on
    // the binary value: 1.25 shows as 1,3 and 1.005 as 1,01.
    if (decimalDigits <= 15 && shown < 1e15) {
        const double scale = std::pow(10.0, decimalDigits);
        shown = std::round(shown * scale * (1.0 + 1e-15)) / scale;
    }
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", std::min(decimalDigits, 30), shown);
    const QString fixed = QString::fromLatin1(buffer);
    const qsizetype point = fixed.indexOf(u'.');
    QString integerPart = point < 0 ? fixed : fixed.left(point);
    QString decimalPart = point < 0 ? QString() : fixed.mid(point + 1);
    if (integerPart == QStringLiteral("0"))
        integerPart.clear(); // '#' shows no zero; '0' placeholders pad below
    const bool negative = value < 0 && negativeSign
        && (!integerPart.isEmpty() || decimalPart.count(u'0') != decimalPart.size());

    // Integer placeholders are filled from the right; extra digits go to the leftmost one.
    QList<QString> integerFill(integerDigits);
    {
        int remaining = int(integerPart.size());
        QString grouped;
        int placeholder = integerDigits - 1;
        QList<QChar> kinds;
        for (const Token &token : section.tokens) {
            if (token.kind == Token::Point)
                break;
            if (token.kind == Token::Digit)
                kinds.append(token.text[0]);
        }
        for (; placeholder >= 0; --placeholder) {
            if (remaining > 0) {
                integerFill[placeholder] = integerPart[remaining - 1];
                --remaining;
            } else if (kinds[placeholder] == u'0') {
                integerFill[placeholder] = QStringLiteral("0");
            } else if (kinds[placeholder] == u'?') {
                integerFill[placeholder] = QStringLiteral(" ");
            }
        }
        if (remaining > 0 && integerDigits > 0)
            integerFill[0] = integerPart.left(remaining) + integerFill[0];
        if (section.grouping) {
            QString digits;
            for (const QString &piece : integerFill)
                digits += piece;
            QString withGroups;
            int count = 0;
            for (qsizetype i = digits.size() - 1; i >= 0; --i) {
                if (count > 0 && count % 3 == 0 && digits[i].isDigit())
                    withGroups.prepend(kNoBreakSpace);
                withGroups.prepend(digits[i]);
                if (digits[i].isDigit())
                    ++count;
            }
            for (QString &piece : integerFill)
                piece.clear();
            if (integerDigits > 0)
                integerFill[0] = withGroups;
        }
    }
    // Decimal placeholders: '#' drops trailing zeros, '?' turns them to blanks.
    QList<QChar> decimalKinds;
    {
        bool after = false;
        for (const Token &token : section.tokens) {
            if (token.kind == Token::Point)
                after = true;
            else if (after && token.kind == Token::Digit)
                decimalKinds.append(token.text[0]);
        }
    }
    for (int i = int(decimalPart.size()) - 1; i >= 0; --i) {
        if (decimalPart[i] != u'0' || decimalKinds[i] == u'0')
            break;
        decimalPart[i] = decimalKinds[i] == u'?' ? u' ' : QChar();
    }
    decimalPart.remove(QChar());

    QString out;
    if (negative)
        out += u'-';
    int integerAt = 0;
    int decimalAt = 0;
    afterPoint = false;
    bool pointShown = false;
    for (const Token &token : section.tokens) {
        switch (token.kind) {
        case Token::Digit:
            if (!afterPoint)
                out += integerFill[integerAt++];
            else if (decimalAt < decimalPart.size())
                out += decimalPart[decimalAt++];
            break;
        case Token::Point:
            afterPoint = true;
            if (!pointShown) {
                out += u',';
                pointShown = true;
            }
            break;
        case Token::Percent:
            out += u'%';
            break;
        case Token::Literal:
            out += token.text;
            break;
        case Token::Text:
            if (token.text == QStringLiteral("General"))
                out += general(std::fabs(value));
            break;
        default:
            break;
        }
    }
    // A point with no decimals shown stays, as Excel shows "5," for "0.#".
    return out;
}

} // namespace

QString general(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("#ЧИСЛО!");
    if (value == 0)
        return QStringLiteral("0");
    char buffer[64];
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e15 || magnitude < 1e-9) {
        std::snprintf(buffer, sizeof buffer, "%.5E", value);
        QString text = QString::fromLatin1(buffer);
        // Trailing zeros of the mantissa go, as in "1E+20".
        const qsizetype e = text.indexOf(u'E');
        QString mantissa = text.left(e);
        QString exponent = text.mid(e + 1);
        while (mantissa.contains(u'.') && (mantissa.endsWith(u'0') || mantissa.endsWith(u'.')))
            mantissa.chop(1);
        const QChar sign = exponent[0];
        exponent = exponent.mid(1);
        while (exponent.size() > 2 && exponent.startsWith(u'0'))
            exponent.remove(0, 1);
        return mantissa.replace(u'.', u',') + u'E' + sign + exponent;
    }
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    QString text = QString::fromLatin1(buffer);
    if (text.contains(u'e')) {
        // %g chose an exponent for a small number: write it out in full.
        std::snprintf(buffer, sizeof buffer, "%.15f", value);
        text = QString::fromLatin1(buffer);
        while (text.contains(u'.') && (text.endsWith(u'0') || text.endsWith(u'.')))
            text.chop(1);
    }
    return text.replace(u'.', u',');
}

QString builtinCode(int id)
{
    switch (id) {
    case 1:
        return QStringLiteral("0");
    case 2:
        return QStringLiteral("0.00");
    case 3:
        return QStringLiteral("#,##0");
    case 4:
        return QStringLiteral("#,##0.00");
    case 9:
        return QStringLiteral("0%");
    case 10:
        return QStringLiteral("0.00%");
    case 11:
        return QStringLiteral("0.00E+00");
    case 14:
        return QStringLiteral("dd.mm.yyyy");
    case 15:
        return QStringLiteral("dd.mmm.yy");
    case 16:
        return QStringLiteral("dd.mmm");
    case 17:
        return QStringLiteral("mmm.yy");
    case 18:
        return QStringLiteral("h:mm");
    case 19:
        return QStringLiteral("h:mm:ss");
    case 20:
        return QStringLiteral("h:mm");
    case 21:
        return QStringLiteral("h:mm:ss");
    case 22:
        return QStringLiteral("dd.mm.yyyy h:mm");
    case 37:
        return QStringLiteral("#,##0 ;-#,##0 ");
    case 38:
        return QStringLiteral("#,##0 ;[Red]-#,##0 ");
    case 39:
        return QStringLiteral("#,##0.00;-#,##0.00");
    case 40:
        return QStringLiteral("#,##0.00;[Red]-#,##0.00");
    case 45:
        return QStringLiteral("mm:ss");
    case 46:
        return QStringLiteral("[h]:mm:ss");
    case 47:
        return QStringLiteral("mm:ss.0");
    case 48:
        return QStringLiteral("##0.0E+0");
    case 49:
        return QStringLiteral("@");
    default:
        return QStringLiteral("General");
    }
}

struct Format::Parsed
{
    bool general = true;
    QList<Section> sections;
};

Format::Format(const QString &code)
{
    auto parsed = std::make_shared<Parsed>();
    parsed->general = code.isEmpty() || code.compare(QStringLiteral("General"), Qt::CaseInsensitive) == 0;
    if (!parsed->general) {
        for (const QString &text : splitSections(code))
            parsed->sections.append(parseSection(text));
    }
    m_parsed = std::move(parsed);
}

QString format(double value, const QString &code, bool date1904)
{
    return Format(code).apply(value, date1904);
}

QString Format::apply(double value, bool date1904) const
{
    if (m_parsed->general)
        return general(value);
    const QList<Section> &sections = m_parsed->sections;
    // Positive;negative;zero;text. With one section a negative number gets its
    // sign; a negative section writes its own.
    int chosen = 0;
    if (value < 0 && sections.size() >= 2 && !sections[1].tokens.isEmpty())
        chosen = 1;
    else if (value == 0 && sections.size() >= 3)
        chosen = 2;
    const Section &section = sections[chosen];
    const bool negativeSign = chosen == 0 && value < 0;
    if (section.isDate)
        return formatDate(value, section, date1904);
    if (section.isNumber)
        return formatNumber(value, section, negativeSign);
    // No placeholder at all: the literals, or General where it says so.
    QString out;
    bool shownNumber = false;
    for (const Token &token : section.tokens) {
        if (token.kind == Token::Literal) {
            out += token.text;
        } else if (token.kind == Token::Text) {
            out += general(negativeSign ? value : std::fabs(value));
            shownNumber = true;
        }
    }
    if (section.tokens.isEmpty() && chosen == 0)
        return general(value);
    Q_UNUSED(shownNumber);
    return out;
}

} // namespace lintaro::numberformat
