#pragma once

#include <QString>

#include <memory>

namespace lintaro::numberformat {

// The format code of a built-in number format id, in the form a Russian Excel
// shows it (14 is ДД.ММ.ГГГГ, 20 is ч:мм); "General" for an unknown id.
QString builtinCode(int id);

// A number as a cell with this format code shows it in a Russian Excel:
// decimal comma, a no-break space between thousands, dates and times from the
// serial day number (1900 or 1904 system), General as at most 15 significant
// digits.
QString format(double value, const QString &code, bool date1904 = false);

// A format code read once for all the cells that share it: the same as
// format(), without reading the code for each cell.
class Format
{
public:
    explicit Format(const QString &code = QString());
    QString apply(double value, bool date1904 = false) const;

private:
    struct Parsed;
    std::shared_ptr<const Parsed> m_parsed;
};

// General: at most 15 significant digits, a decimal comma, an exponent only
// where fixed notation would not fit eleven characters.
QString general(double value);

} // namespace lintaro::numberformat
