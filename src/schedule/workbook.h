#pragma once

#include "scheduletable.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace lintaro {

// A spreadsheet workbook opened directly (.xlsx or .ods), read from its own
// bytes. Its sheets, hidden ones included, in the workbook's order.
class Workbook
{
public:
    struct Sheet
    {
        QString name;
        bool visible = true;
    };

    virtual ~Workbook() = default;

    const QList<Sheet> &sheets() const { return m_sheets; }
    QStringList visibleSheetNames() const;

    // The sheet as the spreadsheet shows it: data row r is sheet row r,
    // column c its column c (A = 0). Throws Failure for a damaged workbook.
    virtual ScheduleTable readSheet(int index) const = 0;

    // The workbook in these bytes; nothing when they are no workbook (a text
    // schedule). Throws Failure with the operator's message for a file it
    // refuses: a legacy .xls, a workbook with a password, ZIP64, a damaged
    // archive, an archive that holds no workbook.
    static std::unique_ptr<Workbook> open(const QByteArray &bytes);

protected:
    QList<Sheet> m_sheets;
};

} // namespace lintaro
