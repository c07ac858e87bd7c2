#include "schedulearguments.h"

#include "common/failure.h"
#include "lookup/cliptypes.h"
#include "schedule/columnlayout.h"
#include "schedule/scheduleimport.h"
#include "schedule/scheduletable.h"

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

} // namespace

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
