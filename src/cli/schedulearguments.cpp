#include "schedulearguments.h"

#include "common/failure.h"
#include "lookup/cliptypes.h"
#include "schedule/columnlayout.h"
#include "schedule/scheduleimport.h"
#include "schedule/scheduletable.h"
#include "settings/settingsstore.h"

#include <algorithm>

namespace lintaro::cli {

namespace {

// "--name VALUE" or "--name=VALUE"; nothing when arguments[i] is neither.
std::optional<QString> optionValue(
    const QStringList &arguments, qsizetype &i, const QString &name, bool &missing)
{
    const QString &argument = arguments[i];
    if (argument == name) {
        if (i + 1 == arguments.size()) {
            missing = true;
            return QString();
        }
        return arguments[++i];
    }
    if (argument.startsWith(name + u'='))
        return argument.mid(name.size() + 1);
    return std::nullopt;
}

// A row number: digits only, no sign, no blanks.
std::optional<int> rowNumber(QStringView text)
{
    bool ok = false;
    const int row = text.toInt(&ok);
    const bool digits = !text.isEmpty()
        && std::all_of(text.begin(), text.end(), [](QChar ch) { return ch >= u'0' && ch <= u'9'; });
    if (!ok || !digits)
        return std::nullopt;
    return row;
}

} // namespace

ScheduleArguments::Take ScheduleArguments::takeRows(const QString &text)
{
    // "12-48", also with the dash the window's status bar shows, or "12".
    qsizetype dash = text.indexOf(u'-');
    if (dash < 0)
        dash = text.indexOf(QChar(0x2013));
    const std::optional<int> first = rowNumber(dash < 0 ? QStringView(text) : QStringView(text).left(dash));
    const std::optional<int> last = dash < 0 ? first : rowNumber(QStringView(text).mid(dash + 1));
    if (!first || !last) {
        m_error
            = QStringLiteral("После --rows нужен номер строки N или диапазон A-B (строки нумеруются с 1), "
                             "а не \"%1\"")
                  .arg(text);
        return Take::Bad;
    }
    if (*first == 0 || *last == 0) {
        m_error = QStringLiteral("Строки нумеруются с 1: --rows %1").arg(text);
        return Take::Bad;
    }
    if (*first > *last) {
        m_error = QStringLiteral("В диапазоне строк --rows %1 начало больше конца").arg(text);
        return Take::Bad;
    }
    QList<std::pair<int, int>> ranges = m_rows ? m_rows->ranges : QList<std::pair<int, int>>();
    ranges.append({ *first, *last });
    m_rows = RowSelection::fromRanges(std::move(ranges));
    return Take::Taken;
}

std::optional<int> ScheduleArguments::columnValue(const QString &option, const QString &text)
{
    bool ok = false;
    const int column = text.toInt(&ok);
    // Digits only: "+1", " 1" or "1.0" are not column numbers.
    const bool digits = !text.isEmpty()
        && std::all_of(text.begin(), text.end(), [](QChar ch) { return ch >= u'0' && ch <= u'9'; });
    if (!ok || !digits) {
        m_error = QStringLiteral("После %1 нужен номер столбца (0, 1, 2...), а не \"%2\"").arg(option, text);
        return std::nullopt;
    }
    return column;
}

ScheduleArguments::Take ScheduleArguments::takeOption(const QStringList &arguments, qsizetype &i)
{
    {
        bool missing = false;
        const QString name = QStringLiteral("--type");
        if (const std::optional<QString> value = optionValue(arguments, i, name, missing)) {
            const QString type = cliptypes::normalized(*value);
            if (missing || type.isEmpty() || value->startsWith(u'.')) {
                m_error = QStringLiteral("После --type нужен тип файлов роликов без точки: %1")
                              .arg(cliptypes::known().join(QStringLiteral(", ")));
                if (!missing)
                    m_error.prepend(QStringLiteral("Неизвестный тип \"%1\". ").arg(*value));
                return Take::Bad;
            }
            if (!m_types.contains(type))
                m_types.append(type);
            return Take::Taken;
        }
    }
    {
        bool missing = false;
        if (const std::optional<QString> value
            = optionValue(arguments, i, QStringLiteral("--rows"), missing)) {
            if (missing) {
                m_error = QStringLiteral("После --rows нужно указать строки: N или A-B");
                return Take::Bad;
            }
            return takeRows(*value);
        }
    }
    {
        bool missing = false;
        if (const std::optional<QString> value
            = optionValue(arguments, i, QStringLiteral("--sheet"), missing)) {
            if (missing || value->isEmpty()) {
                m_error = QStringLiteral("После --sheet нужно указать имя листа или его номер (с 1)");
                return Take::Bad;
            }
            m_sheet = value;
            return Take::Taken;
        }
    }
    for (const QString &name : {QStringLiteral("--source"), QStringLiteral("--separator")}) {
        bool missing = false;
        const std::optional<QString> value = optionValue(arguments, i, name, missing);
        if (!value)
            continue;
        if (missing) {
            m_error = QStringLiteral("После %1 нужно указать номер столбца").arg(name);
            return Take::Bad;
        }
        const std::optional<int> column = columnValue(name, *value);
        if (!column)
            return Take::Bad;
        if (name == QStringLiteral("--source")) {
            if (m_source && *m_source != *column) {
                m_error = QStringLiteral("Столбец Источника можно указать только один");
                return Take::Bad;
            }
            m_source = column;
        } else if (!m_separators.contains(*column)) {
            m_separators.append(*column);
        }
        return Take::Taken;
    }
    return Take::NotMine;
}

bool ScheduleArguments::takeSchedule(const QString &argument)
{
    if (!m_schedulePath.isNull())
        return false;
    m_schedulePath = argument;
    return true;
}

ScheduleArguments::Take ScheduleArguments::takeValue(const QStringList &arguments, qsizetype &i,
                                                     const QString &name, std::optional<QString> &value,
                                                     QString &error)
{
    bool missing = false;
    const std::optional<QString> given = optionValue(arguments, i, name, missing);
    if (!given)
        return Take::NotMine;
    if (missing) {
        error = QStringLiteral("После %1 нужно указать значение").arg(name);
        return Take::Bad;
    }
    value = given;
    return Take::Taken;
}

ScheduleArguments::Parsed ScheduleArguments::parse(const QStringList &arguments, const ExtraOptions &extra)
{
    bool options = true;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (options && argument == QStringLiteral("--")) {
            options = false;
            continue;
        }
        if (options && (argument == QStringLiteral("--help") || argument == QStringLiteral("-h")))
            return Parsed::Help;
        if (options) {
            Take taken = takeOption(arguments, i);
            if (taken == Take::NotMine && extra)
                taken = extra(arguments, i, m_error);
            if (taken == Take::Bad)
                return Parsed::Wrong;
            if (taken == Take::Taken)
                continue;
            if (argument.size() > 1 && argument.startsWith(u'-')) {
                m_error = QStringLiteral("Неизвестный параметр: %1").arg(argument);
                return Parsed::Wrong;
            }
        }
        if (!takeSchedule(argument)) {
            m_error = QStringLiteral("Лишний параметр: %1").arg(argument);
            return Parsed::Wrong;
        }
    }
    m_error = validate();
    return m_error.isEmpty() ? Parsed::Ready : Parsed::Wrong;
}

QString ScheduleArguments::validate() const
{
    if (m_schedulePath.isEmpty())
        return QStringLiteral("Не указан файл расписания");
    // Without --source the stored layout names the separator columns too.
    if (!m_source && !m_separators.isEmpty())
        return QStringLiteral("--separator действует только вместе с --source");
    if (m_source && m_separators.contains(*m_source))
        return QStringLiteral("Столбец %1 не может быть одновременно Источником и разделителем")
            .arg(*m_source);
    return {};
}

QStringList ScheduleArguments::clipTypes(const SettingsStore &settings) const
{
    return m_types.isEmpty() ? cliptypes::read(settings) : m_types;
}

ScheduleArguments::Take ScheduleArguments::takeOutputOption(
    const QStringList &arguments, qsizetype &i, QString &error)
{
    Take taken = takeValue(arguments, i, QStringLiteral("--format"), m_formatKey, error);
    if (taken != Take::NotMine)
        return taken;
    std::optional<QString> map;
    taken = takeValue(arguments, i, QStringLiteral("--map"), map, error);
    if (taken != Take::Taken)
        return taken;
    const std::optional<PathMapping> pair = PathMap::parseArgument(*map);
    const QString problem = pair ? PathMap::pairProblem(*pair) : QString();
    if (!pair || !problem.isEmpty()) {
        error = pair ? problem : QStringLiteral("После --map нужна пара ЗДЕСЬ=ТАМ, а не \"") + *map + u'"';
        return Take::Bad;
    }
    m_maps = m_maps.value_or(QList<PathMapping>()) << *pair;
    return Take::Taken;
}

std::optional<SequenceFormat> ScheduleArguments::format() const
{
    return formatFromKey(m_formatKey.value_or(QStringLiteral("psq")));
}

QString ScheduleArguments::formatError() const
{
    return QStringLiteral("Формат \"") + m_formatKey.value_or(QString())
        + QStringLiteral("\" неизвестен: psq, xml, edl, mlt или kdenlive");
}

PathMap ScheduleArguments::pathMap(const SettingsStore &settings) const
{
    return m_maps ? PathMap(*m_maps) : PathMap::fromStored(settings.read(QStringLiteral("PathMap")));
}

QString ScheduleArguments::noSourceText()
{
    return QStringLiteral("Не назначен столбец Источника: укажите его номер параметром --source "
                          "(столбцы нумеруются с 0)");
}

ScheduleTable ScheduleArguments::loadTable(const SettingsStore &settings) const
{
    // An exact name wins, then a number counting the visible sheets from 1.
    const auto chooseSheet = [this](const QStringList &names) -> std::optional<int> {
        const QString list = QStringLiteral(":\n") + names.join(u'\n');
        if (!m_sheet)
            throw Failure(QStringLiteral("В книге несколько листов: укажите один параметром --sheet") + list);
        if (names.contains(*m_sheet))
            return int(names.indexOf(*m_sheet));
        const bool digits
            = std::all_of(m_sheet->begin(), m_sheet->end(), [](QChar ch) { return ch.isDigit(); });
        bool ok = false;
        const int number = m_sheet->toInt(&ok);
        if (digits && ok && number >= 1 && number <= names.size())
            return number - 1;
        throw Failure(
            QStringLiteral("В книге нет листа \"") + *m_sheet + QStringLiteral("\"; ее листы") + list);
    };
    QString sheetName;
    std::optional<ScheduleTable> read
        = readSchedule(m_schedulePath, chooseSheet, &sheetName, m_sheet.has_value());
    if (m_sheet && sheetName.isNull())
        throw Failure(QStringLiteral("--sheet действует только для книги (.xlsx, .ods), а не для текста"));
    ScheduleTable table = read ? std::move(*read) : ScheduleTable();
    if (table.isEmpty())
        throw Failure(QStringLiteral("Расписание %1 пусто").arg(m_schedulePath));
    if (m_rows && m_rows->ranges.last().second >= table.rowCount())
        throw Failure(
            QStringLiteral("В расписании нет строки %1, всего строк: %2")
                .arg(QString::number(m_rows->ranges.last().second), QString::number(table.rowCount() - 1)));
    if (!m_source) {
        applyStoredLayout(table, settings);
        return table;
    }
    QList<int> columns = m_separators;
    columns.prepend(*m_source);
    for (const int column : columns) {
        if (column >= table.columnCount())
            throw Failure(QStringLiteral("В расписании нет столбца %1: его столбцы нумеруются от 0 до %2")
                              .arg(column)
                              .arg(table.columnCount() - 1));
    }
    for (const int column : m_separators)
        table.setCaption(column, kSeparatorCaption);
    table.setSourceColumn(*m_source);
    table.setCaption(*m_source, kSourceCaption);
    return table;
}

} // namespace lintaro::cli
