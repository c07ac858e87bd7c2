#include "aviheaderreader.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cstring>

namespace lintaro {

namespace {

constexpr quint32 kRiff = fourCc("RIFF");
constexpr quint32 kAvi = fourCc("AVI ");
constexpr quint32 kList = fourCc("LIST");
constexpr quint32 kHdrl = fourCc("hdrl");
constexpr quint32 kStrl = fourCc("strl");
constexpr quint32 kOdml = fourCc("odml");
constexpr quint32 kMovi = fourCc("movi");
constexpr quint32 kAvih = fourCc("avih");
constexpr quint32 kStrh = fourCc("strh");
constexpr quint32 kDmlh = fourCc("dmlh");
constexpr quint32 kIdx1 = fourCc("idx1");
constexpr quint32 kStrf = fourCc("strf");
constexpr quint32 kVprp = fourCc("vprp");
constexpr quint32 kAuds = fourCc("auds");
constexpr quint32 kWave = fourCc("WAVE");
constexpr quint32 kRf64 = fourCc("RF64");
constexpr quint32 kBw64 = fourCc("BW64");
constexpr quint32 kFmt = fourCc("fmt ");
constexpr quint32 kVids = fourCc("vids");

constexpr qsizetype kMainHeaderSize = 56;
constexpr qsizetype kMainHeaderNeeded = 28; // up to and with dwStreams
constexpr qsizetype kStreamHeaderSize = 56;

// Little-endian 32-bit value at offset; 0 past the end of the bytes read.
quint32 le32(const char *bytes, qsizetype size, qsizetype offset)
{
    if (offset < 0 || offset + 4 > size)
        return 0;
    const auto *b = reinterpret_cast<const quint8 *>(bytes + offset);
    return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
}

quint16 le16(const char *bytes, qsizetype size, qsizetype offset)
{
    if (offset < 0 || offset + 2 > size)
        return 0;
    const auto *b = reinterpret_cast<const quint8 *>(bytes + offset);
    return quint16(b[0] | b[1] << 8);
}

struct Container
{
    qint64 end = 0;  // first byte after the contents
    qint64 next = 0; // where the chunk after this list starts (pad byte included)
    quint32 type = 0;
    bool sawStreamHeader = false;
};

bool isHeaderList(quint32 type)
{
    return type == kHdrl || type == kStrl || type == kOdml;
}

} // namespace

qsizetype AviHeaders::firstVideoStream() const
{
    for (qsizetype i = 0; i < streams.size(); ++i) {
        if (streams[i].type == kVids)
            return i;
    }
    return -1;
}

qsizetype AviHeaderReader::readAt(qint64 pos, char *into, qsizetype size)
{
    if (size <= 0 || pos < 0)
        return 0;
    const qint64 bufferEnd = m_bufferStart + m_buffer.size();
    const bool inBuffer = pos >= m_bufferStart && (pos + size <= bufferEnd || (m_bufferReachesEnd && pos <= bufferEnd));
    if (!inBuffer) {
        const qsizetype wanted = m_deviceReads < kBlockReads ? std::max(size, kBlockSize) : size;
        m_buffer.resize(wanted);
        m_bufferStart = pos;
        ++m_deviceReads;
        const qint64 got = m_device.seek(pos) ? m_device.read(m_buffer.data(), wanted) : -1;
        m_buffer.resize(qsizetype(std::max<qint64>(got, 0)));
        m_bufferReachesEnd = got < wanted;
    }
    const qsizetype got = qsizetype(std::min<qint64>(size, m_bufferStart + m_buffer.size() - pos));
    if (got <= 0)
        return 0;
    std::memcpy(into, m_buffer.constData() + (pos - m_bufferStart), size_t(got));
    m_bytesRead += got;
    return got;
}

AviHeaderReader::Result AviHeaderReader::read()
{
    Result result;
    m_bytesRead = 0;
    m_deviceReads = 0;
    m_buffer.clear();
    m_bufferStart = 0;
    m_bufferReachesEnd = false;
    if (!m_device.isOpen() || !m_device.isReadable() || m_device.isSequential())
        return result;

    const qint64 fileSize = m_device.size();
    std::array<char, 12> head{};
    result.status = Status::NotAvi;
    if (readAt(0, head.data(), 12) != 12 || le32(head.data(), 12, 0) != kRiff
        || le32(head.data(), 12, 8) != kAvi) {
        result.bytesRead = m_bytesRead;
        result.deviceReads = m_deviceReads;
        return result;
    }

    // A capture still being written has a RIFF size of 0 or one past the end.
    const qint64 riffSize = le32(head.data(), 12, 4);
    const qint64 riffEnd = riffSize < 4 || 8 + riffSize > fileSize ? fileSize : 8 + riffSize;

    std::array<Container, kMaxDepth> stack;
    int depth = 1;
    stack[0] = {riffEnd, riffEnd, kAvi, false};
    qint64 pos = 12;
    bool haveMainHeader = false;
    bool done = false;

    while (depth > 0 && !done && result.chunksVisited < kMaxChunks) {
        Container &container = stack[size_t(depth - 1)];
        if (pos + 8 > container.end) {
            // A fragment too short for a chunk header ends the list.
            pos = container.next;
            --depth;
            continue;
        }
        std::array<char, 8> chunk{};
        if (readAt(pos, chunk.data(), 8) != 8)
            break;
        ++result.chunksVisited;
        const quint32 id = le32(chunk.data(), 8, 0);
        const qint64 declared = le32(chunk.data(), 8, 4);
        const qint64 dataStart = pos + 8;
        // A size that runs past the list is cut at the list's end.
        const qint64 dataEnd = std::min(dataStart + declared, container.end);
        const qint64 next = std::min(dataStart + declared + (declared & 1), container.end);
        const qint64 available = dataEnd - dataStart;

        if (id == kList) {
            std::array<char, 4> type{};
            if (available < 4 || readAt(dataStart, type.data(), 4) != 4) {
                pos = next;
                continue;
            }
            const quint32 listType = le32(type.data(), 4, 0);
            if (listType == kMovi && depth == 1) {
                done = true; // the headers come before the payload
                continue;
            }
            if (isHeaderList(listType) && depth < kMaxDepth) {
                stack[size_t(depth)] = {dataEnd, next, listType, false};
                ++depth;
                pos = dataStart + 4;
                continue;
            }
            pos = next;
            continue;
        }

        if (id == kAvih && !haveMainHeader && container.type != kStrl) {
            std::array<char, kMainHeaderSize> bytes{};
            const qsizetype got = readAt(dataStart, bytes.data(), std::min<qint64>(available, kMainHeaderSize));
            if (got >= kMainHeaderNeeded) {
                haveMainHeader = true;
                result.headers.microSecPerFrame = le32(bytes.data(), got, 0);
                result.headers.totalFrames = le32(bytes.data(), got, 16);
                result.headers.streamCount = le32(bytes.data(), got, 24);
                result.headers.width = le32(bytes.data(), got, 32);
                result.headers.height = le32(bytes.data(), got, 36);
            }
        } else if (id == kStrh && container.type == kStrl && !container.sawStreamHeader) {
            container.sawStreamHeader = true;
            std::array<char, kStreamHeaderSize> bytes{};
            const qsizetype got
                = readAt(dataStart, bytes.data(), std::min<qint64>(available, kStreamHeaderSize));
            if (got >= 4) {
                AviStreamHeader stream;
                stream.type = le32(bytes.data(), got, 0);
                stream.scale = le32(bytes.data(), got, 20);
                stream.rate = le32(bytes.data(), got, 24);
                stream.length = le32(bytes.data(), got, 32);
                stream.bytes = quint32(got);
                result.headers.streams.append(stream);
            }
        } else if ((id == kStrf || id == kVprp) && container.type == kStrl && container.sawStreamHeader
            && !result.headers.streams.isEmpty()) {
            // The format and properties of the stream whose header this list began with.
            AviStreamHeader &stream = result.headers.streams.last();
            std::array<char, kStreamHeaderSize> bytes {};
            const qsizetype got
                = readAt(dataStart, bytes.data(), std::min<qint64>(available, kStreamHeaderSize));
            if (id == kVprp) {
                stream.aspectDen = le16(bytes.data(), got, 20);
                stream.aspectNum = le16(bytes.data(), got, 22);
                stream.aspectWidth = le32(bytes.data(), got, 24);
                stream.aspectHeight = le32(bytes.data(), got, 28);
            } else if (stream.type == kAuds) {
                stream.sound = soundFormat(bytes.data(), got);
            } else if (stream.type == kVids) {
                // BITMAPINFOHEADER; a top-down picture has a negative height.
                stream.width = le32(bytes.data(), got, 4);
                const qint32 height = qint32(le32(bytes.data(), got, 8));
                stream.height = height < 0 ? quint32(-qint64(height)) : quint32(height);
            }
        } else if (id == kDmlh && !result.headers.odmlTotalFrames && container.type != kStrl) {
            std::array<char, 4> bytes{};
            if (readAt(dataStart, bytes.data(), std::min<qint64>(available, 4)) == 4)
                result.headers.odmlTotalFrames = le32(bytes.data(), 4, 0);
        } else if (depth == 1 && (id == kIdx1 || id == kRiff)) {
            done = true; // the index or the next RIFF part: past the headers
            continue;
        }
        pos = next;
    }

    result.status = haveMainHeader ? Status::Ok : Status::NoMainHeader;
    result.bytesRead = m_bytesRead;
    result.deviceReads = m_deviceReads;
    return result;
}

AviSoundFormat AviHeaderReader::soundFormat(const char *bytes, qsizetype size)
{
    AviSoundFormat format;
    format.formatTag = le16(bytes, size, 0);
    format.channels = le16(bytes, size, 2);
    format.samplesPerSec = le32(bytes, size, 4);
    format.bitsPerSample = le16(bytes, size, 14);
    // WAVE_FORMAT_EXTENSIBLE names its real format in the first two bytes of its sub-format.
    if (format.formatTag == 0xFFFE)
        format.formatTag = size >= 26 ? le16(bytes, size, 24) : 0;
    return format;
}

std::optional<AviSoundFormat> AviHeaderReader::readWaveFormat(QIODevice &device)
{
    constexpr int kMaxWaveChunks = 64; // 'fmt ' comes first or after a few 'bext', 'JUNK', 'ds64'
    if (!device.isOpen() || !device.isReadable() || device.isSequential())
        return std::nullopt;
    std::array<char, 12> head {};
    if (!device.seek(0) || device.read(head.data(), 12) != 12)
        return std::nullopt;
    const quint32 riff = le32(head.data(), 12, 0);
    if ((riff != kRiff && riff != kRf64 && riff != kBw64) || le32(head.data(), 12, 8) != kWave)
        return std::nullopt;
    const qint64 size = device.size();
    qint64 pos = 12;
    for (int i = 0; i < kMaxWaveChunks && pos + 8 <= size; ++i) {
        std::array<char, 8> chunk {};
        if (!device.seek(pos) || device.read(chunk.data(), 8) != 8)
            return std::nullopt;
        const qint64 declared = le32(chunk.data(), 8, 4);
        if (le32(chunk.data(), 8, 0) == kFmt) {
            std::array<char, 40> bytes {};
            const qint64 got = device.read(bytes.data(), std::min<qint64>(declared, qint64(bytes.size())));
            if (got < 16)
                return std::nullopt;
            return soundFormat(bytes.data(), qsizetype(got));
        }
        pos += 8 + declared + (declared & 1);
    }
    return std::nullopt;
}

std::optional<AviSoundFormat> AviHeaderReader::readWaveFile(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    return readWaveFormat(file);
}

AviHeaderReader::Result AviHeaderReader::readFile(const QString &path)
{
    // Only a regular file: opening a pipe would wait for a writer.
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return AviHeaderReader(file).read();
}

} // namespace lintaro
