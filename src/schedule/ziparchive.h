#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

namespace lintaro {

// Reads the parts of a ZIP archive (a workbook) from its central directory,
// without trusting it: every part is bounded, its sizes and checksum are
// verified after inflating. Failures throw Failure with a message for the
// operator. The bytes must outlive the archive.
class ZipArchive
{
public:
    // The largest part ever unpacked: a sheet's XML beyond this is no schedule.
    static constexpr qint64 kMaxPartSize = qint64(512) * 1024 * 1024;

    explicit ZipArchive(QByteArrayView bytes);

    bool contains(const QString &name) const;
    QStringList names() const;
    // The unpacked part; throws when it is missing, too big or damaged.
    QByteArray read(const QString &name) const;

    // True when the bytes begin like a ZIP archive.
    static bool looksLikeZip(QByteArrayView bytes);

private:
    struct Entry
    {
        QString name;
        quint16 flags = 0;
        quint16 method = 0;
        quint32 crc = 0;
        quint32 packedSize = 0;
        quint32 size = 0;
        quint32 localOffset = 0;
    };
    const Entry *find(const QString &name) const;

    QByteArrayView m_bytes;
    std::vector<Entry> m_entries;
};

} // namespace lintaro
