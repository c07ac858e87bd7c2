#pragma once

#include "workbook.h"

#include <memory>
#include <vector>

namespace lintaro {

class ZipArchive;

// An OpenDocument spreadsheet (.ods): each cell's own displayed text; runs of
// repeated empty rows and columns are stepped over, never expanded.
class OdsWorkbook : public Workbook
{
public:
    OdsWorkbook(QByteArray bytes, std::shared_ptr<ZipArchive> archive);
    ScheduleTable readSheet(int index) const override;

private:
    template <class Xml> void readContent(Xml &xml);

    QByteArray m_bytes; // the archive reads from these
    std::shared_ptr<ZipArchive> m_archive;
    mutable std::vector<ScheduleTable> m_tables; // each handed out once
};

} // namespace lintaro
