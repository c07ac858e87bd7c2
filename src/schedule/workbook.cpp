#include "workbook.h"

#include "common/failure.h"
#include "odsworkbook.h"
#include "xlsxworkbook.h"
#include "ziparchive.h"

namespace lintaro {

namespace {

// An OLE2 compound file names its streams in UTF-16 in its directory, each
// name ending in a NUL character.
bool holdsStream(const QByteArray &bytes, const char *name)
{
    QByteArray wide;
    for (const char *p = name; *p; ++p) {
        wide += *p;
        wide += '\0';
    }
    wide += QByteArray(2, '\0');
    return bytes.contains(wide);
}

} // namespace

QStringList Workbook::visibleSheetNames() const
{
    QStringList names;
    for (const Sheet &sheet : m_sheets) {
        if (sheet.visible)
            names.append(sheet.name);
    }
    return names;
}

std::unique_ptr<Workbook> Workbook::open(const QByteArray &bytes)
{
    static const QByteArray ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    if (bytes.startsWith(ole)) {
        if (holdsStream(bytes, "EncryptedPackage"))
            throw Failure(QStringLiteral("Книга защищена паролем"));
        if (holdsStream(bytes, "Workbook") || holdsStream(bytes, "Book"))
            throw Failure(QStringLiteral(
                "Файл Excel 97–2003 (.xls) не поддерживается: сохраните его как .xlsx, .ods или CSV"));
        throw Failure(QStringLiteral("Файл не является расписанием: это документ Office, но не книга Excel"));
    }
    if (!ZipArchive::looksLikeZip(bytes))
        return nullptr;
    auto archive = std::make_shared<ZipArchive>(bytes);
    if (archive->contains(QStringLiteral("content.xml")) || archive->contains(QStringLiteral("mimetype"))) {
        const QByteArray mime = archive->contains(QStringLiteral("mimetype"))
            ? archive->read(QStringLiteral("mimetype"))
            : QByteArray();
        if (mime.isEmpty() || mime.trimmed() == "application/vnd.oasis.opendocument.spreadsheet")
            return std::make_unique<OdsWorkbook>(bytes, archive);
    }
    if (archive->contains(QStringLiteral("xl/workbook.xml"))
        || archive->contains(QStringLiteral("_rels/.rels")))
        return std::make_unique<XlsxWorkbook>(bytes, archive);
    throw Failure(
        QStringLiteral("Файл не является расписанием: это архив, но не книга Excel (.xlsx) или Calc (.ods)"));
}

} // namespace lintaro
