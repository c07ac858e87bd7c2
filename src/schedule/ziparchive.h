#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

#include "xmlscanner.h"

#include <memory>
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

    // A part unpacked piece by piece, so a sheet's XML need not be held whole.
    // Checked as it goes: a part that unpacks to more or fewer bytes than the
    // directory gives, or to a wrong checksum, throws before read() gives 0.
    class Stream
    {
    public:
        ~Stream();
        Stream(const Stream &) = delete;
        Stream &operator=(const Stream &) = delete;
        // Up to `max` bytes into `to`; 0 once the whole part is read.
        qsizetype read(char *to, qsizetype max);

    private:
        friend class ZipArchive;
        Stream() = default;
        void finish();

        QString m_name;
        QByteArrayView m_packed;
        quint16 m_method = 0;
        quint32 m_size = 0;
        quint32 m_crc = 0;
        quint32 m_runningCrc = 0;
        qint64 m_produced = 0;
        qsizetype m_storedAt = 0;
        bool m_done = false;
        struct Inflater;
        std::unique_ptr<Inflater> m_inflater;
    };
    // Throws as read() does for a part that is missing, too big or encrypted.
    std::unique_ptr<Stream> stream(const QString &name) const;

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

// The fast scanner over a part as it is unpacked.
XmlScanner scannerOf(const ZipArchive &archive, const QString &part);

// "Книга повреждена: часть PART не читается (WHY)".
[[noreturn]] void unreadablePart(const QString &part, const QString &why);

// Reads a part's XML: `read` is called with the fast scanner over the part
// as it unpacks, and where the scanner gives up, again with QXmlStreamReader
// over the whole part; so `read` starts by clearing what it fills. Throws
// when QXmlStreamReader finds the part broken too.
template <class Read> void readXmlPart(const ZipArchive &archive, const QString &part, Read &&read)
{
    {
        XmlScanner fast = scannerOf(archive, part);
        read(fast);
        if (!fast.hasError())
            return;
    }
    // Read through a device, the reader decodes piece by piece instead of
    // holding the whole part again as UTF-16.
    QBuffer device;
    device.setData(archive.read(part));
    device.open(QIODevice::ReadOnly);
    QXmlStreamReader xml(&device);
    read(xml);
    if (xml.hasError())
        unreadablePart(part, xml.errorString());
}

} // namespace lintaro
