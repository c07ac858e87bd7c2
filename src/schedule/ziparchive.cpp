#include "ziparchive.h"

#include "common/failure.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace lintaro {

namespace {

const QString kBroken = QStringLiteral("Книга повреждена: ");

quint16 le16(QByteArrayView bytes, qsizetype at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data()) + at;
    return quint16(p[0] | (p[1] << 8));
}

quint32 le32(QByteArrayView bytes, qsizetype at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data()) + at;
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

[[noreturn]] void broken(const QString &why)
{
    throw Failure(kBroken + why);
}

} // namespace

bool ZipArchive::looksLikeZip(QByteArrayView bytes)
{
    return bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K'
        && ((bytes[2] == 3 && bytes[3] == 4) || (bytes[2] == 5 && bytes[3] == 6));
}

ZipArchive::ZipArchive(QByteArrayView bytes)
    : m_bytes(bytes)
{
    constexpr qsizetype kEndSize = 22;
    const qsizetype size = bytes.size();
    if (size < kEndSize)
        broken(QStringLiteral("архив обрезан"));
    // The end record sits in the last 64 KB + 22 bytes (its comment at most 64 KB).
    qsizetype end = -1;
    for (qsizetype at = size - kEndSize; at >= 0 && at >= size - kEndSize - 0xFFFF; --at) {
        if (le32(bytes, at) == 0x06054b50 && at + kEndSize + le16(bytes, at + 20) == size) {
            end = at;
            break;
        }
    }
    if (end < 0)
        broken(QStringLiteral("архив обрезан или это не архив"));
    const quint16 count = le16(bytes, end + 10);
    const quint32 directorySize = le32(bytes, end + 12);
    const quint32 directoryOffset = le32(bytes, end + 16);
    const bool zip64Locator = end >= 20 && le32(bytes, end - 20) == 0x07064b50;
    if (zip64Locator || count == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF)
        throw Failure(QStringLiteral(
            "Книга в формате ZIP64 не поддерживается: сохраните ее заново как .xlsx или .ods"));
    if (qint64(directoryOffset) + directorySize > end)
        broken(QStringLiteral("оглавление архива за его пределами"));

    qsizetype at = directoryOffset;
    const qsizetype directoryEnd = qsizetype(directoryOffset) + directorySize;
    m_entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        if (at + 46 > directoryEnd || le32(bytes, at) != 0x02014b50)
            broken(QStringLiteral("оглавление архива испорчено"));
        Entry entry;
        entry.flags = le16(bytes, at + 8);
        entry.method = le16(bytes, at + 10);
        entry.crc = le32(bytes, at + 16);
        entry.packedSize = le32(bytes, at + 20);
        entry.size = le32(bytes, at + 24);
        const quint16 nameLength = le16(bytes, at + 28);
        const quint16 extraLength = le16(bytes, at + 30);
        const quint16 commentLength = le16(bytes, at + 32);
        entry.localOffset = le32(bytes, at + 42);
        const qsizetype next = at + 46 + nameLength + extraLength + commentLength;
        if (next > directoryEnd)
            broken(QStringLiteral("оглавление архива испорчено"));
        if (entry.packedSize == 0xFFFFFFFF || entry.size == 0xFFFFFFFF || entry.localOffset == 0xFFFFFFFF)
            throw Failure(QStringLiteral(
                "Книга в формате ZIP64 не поддерживается: сохраните ее заново как .xlsx или .ods"));
        const QByteArrayView name = bytes.sliced(at + 46, nameLength);
        // Bit 11: the name is UTF-8; the parts we look for are plain ASCII anyway.
        entry.name = QString::fromUtf8(name);
        m_entries.push_back(std::move(entry));
        at = next;
    }
}

const ZipArchive::Entry *ZipArchive::find(const QString &name) const
{
    for (const Entry &entry : m_entries) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

bool ZipArchive::contains(const QString &name) const
{
    return find(name) != nullptr;
}

QStringList ZipArchive::names() const
{
    QStringList names;
    for (const Entry &entry : m_entries)
        names.append(entry.name);
    return names;
}

struct ZipArchive::Stream::Inflater
{
    z_stream z {};
    ~Inflater() { inflateEnd(&z); }
};

ZipArchive::Stream::~Stream() = default;

std::unique_ptr<ZipArchive::Stream> ZipArchive::stream(const QString &name) const
{
    const Entry *entry = find(name);
    if (!entry)
        broken(QStringLiteral("нет части ") + name);
    if (entry->flags & 1)
        throw Failure(QStringLiteral("Книга защищена паролем"));
    if (entry->size > kMaxPartSize)
        throw Failure(
            QStringLiteral("Часть книги ") + name + QStringLiteral(" больше 512 МБ: это не расписание"));
    const qsizetype local = entry->localOffset;
    if (local + 30 > m_bytes.size() || le32(m_bytes, local) != 0x04034b50)
        broken(QStringLiteral("часть ") + name + QStringLiteral(" не найдена в архиве"));
    const qsizetype dataStart = local + 30 + le16(m_bytes, local + 26) + le16(m_bytes, local + 28);
    if (dataStart + qsizetype(entry->packedSize) > m_bytes.size())
        broken(QStringLiteral("часть ") + name + QStringLiteral(" обрезана"));
    if (entry->method == 0 && entry->packedSize != entry->size)
        broken(QStringLiteral("размеры части ") + name + QStringLiteral(" не сходятся"));
    if (entry->method != 0 && entry->method != 8)
        broken(QStringLiteral("часть ") + name + QStringLiteral(" сжата неизвестным способом"));

    std::unique_ptr<Stream> stream(new Stream);
    stream->m_name = name;
    stream->m_packed = m_bytes.sliced(dataStart, entry->packedSize);
    stream->m_method = entry->method;
    stream->m_size = entry->size;
    stream->m_crc = entry->crc;
    stream->m_runningCrc = quint32(crc32(0, nullptr, 0));
    if (entry->method == 8) {
        stream->m_inflater = std::make_unique<Stream::Inflater>();
        z_stream &z = stream->m_inflater->z;
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
            stream->m_inflater.reset();
            broken(QStringLiteral("не удалось распаковать ") + name);
        }
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(stream->m_packed.data()));
        z.avail_in = uInt(stream->m_packed.size());
    }
    return stream;
}

void ZipArchive::Stream::finish()
{
    m_done = true;
    if (m_produced != m_size)
        broken(QStringLiteral("часть ") + m_name + QStringLiteral(" не распаковывается или ее размер не тот"));
    if (m_runningCrc != m_crc)
        broken(QStringLiteral("контрольная сумма части ") + m_name + QStringLiteral(" не сходится"));
}

qsizetype ZipArchive::Stream::read(char *to, qsizetype max)
{
    if (m_done || max <= 0)
        return 0;
    qsizetype produced = 0;
    if (m_method == 0) {
        produced = std::min<qsizetype>(max, m_packed.size() - m_storedAt);
        std::memcpy(to, m_packed.data() + m_storedAt, size_t(produced));
        m_storedAt += produced;
    } else {
        z_stream &z = m_inflater->z;
        // Room for one byte past the size the directory gives: a part that
        // unpacks to more is refused once that byte comes.
        const qint64 room = std::min<qint64>(max, m_size - m_produced + 1);
        z.next_out = reinterpret_cast<Bytef *>(to);
        z.avail_out = uInt(room);
        int result = Z_OK;
        while (result == Z_OK && z.avail_out == uInt(room))
            result = inflate(&z, Z_NO_FLUSH);
        produced = qsizetype(room - z.avail_out);
        if (result != Z_OK && result != Z_STREAM_END)
            broken(QStringLiteral("часть ") + m_name
                + QStringLiteral(" не распаковывается или ее размер не тот"));
        if (result == Z_STREAM_END)
            m_done = true;
    }
    m_runningCrc = quint32(crc32(m_runningCrc, reinterpret_cast<const Bytef *>(to), uInt(produced)));
    m_produced += produced;
    if (m_produced > m_size)
        broken(QStringLiteral("часть ") + m_name + QStringLiteral(" не распаковывается или ее размер не тот"));
    if (m_done || (m_method == 0 && m_storedAt == m_packed.size()))
        finish();
    return produced;
}

QByteArray ZipArchive::read(const QString &name) const
{
    const std::unique_ptr<Stream> part = stream(name);
    // Exactly the size the directory gives, and one byte more to catch a
    // part that unpacks to more: a lying size costs no more than it claims.
    QByteArray out(qsizetype(part->m_size) + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    while (qsizetype got = part->read(out.data() + filled, out.size() - filled))
        filled += got;
    out.truncate(filled);
    return out;
}

void unreadablePart(const QString &part, const QString &why)
{
    throw Failure(kBroken + QStringLiteral("часть ") + part + QStringLiteral(" не читается (") + why
        + QStringLiteral(")"));
}

XmlScanner scannerOf(const ZipArchive &archive, const QString &part)
{
    std::shared_ptr<ZipArchive::Stream> stream = archive.stream(part);
    return XmlScanner([stream](char *to, qsizetype max) { return stream->read(to, max); });
}

} // namespace lintaro
