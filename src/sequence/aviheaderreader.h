#pragma once

#include "aviheaders.h"

#include <QByteArray>

class QIODevice;
class QString;

namespace lintaro {

// Reads the headers of an AVI (RIFF) file with seeks, chunk by chunk: it never
// reads the 'movi' payload, visits a bounded number of chunks and reads a bounded
// number of bytes, so a 4 GB clip costs what a 100 KB clip costs. The device is
// read in few requests, which a network share answers one round trip each:
// the first 64 KB at once, the next 64 KB when the headers run on, and only
// what a chunk needs after that. It walks the
// chunk tree with an explicit stack of fixed depth, never by recursion.
//
// Files come from capture cards and many muxers: unknown chunks and lists are
// skipped, odd sizes carry a pad byte, a RIFF size of 0 or one past the end of
// the file means "up to the end", and a chunk that claims to run past its list
// is cut at the list's end.
class AviHeaderReader
{
public:
    enum class Status {
        Ok,
        CannotOpen,   // not a readable regular file, or not seekable
        NotAvi,       // no "RIFF" ... "AVI " at the start
        NoMainHeader, // no 'avih', or one too short to hold the stream count
    };

    struct Result
    {
        Status status = Status::CannotOpen;
        AviHeaders headers;
        qint64 bytesRead = 0; // that the walk looked at
        int chunksVisited = 0;
        int deviceReads = 0;
    };

    static constexpr int kMaxChunks = 1024;
    static constexpr int kMaxDepth = 4; // RIFF > hdrl > strl, with room for one odd nesting
    // The RIFF head, then per chunk its header and at most a 56-byte header record.
    static constexpr qint64 kMaxBytes = 12 + qint64(kMaxChunks) * (8 + 56);
    static constexpr qsizetype kBlockSize = 64 * 1024;
    static constexpr int kBlockReads = 2;

    explicit AviHeaderReader(QIODevice &device) : m_device(device) {}

    // The device must be open and seekable; it is read from position 0.
    Result read();

    // Opens the file, reads its headers and closes it again on every path.
    static Result readFile(const QString &path);

    // The format of a WAV file (RIFF/RF64 "WAVE"), from its 'fmt ' chunk among
    // the first chunks; nothing when there is none. Reads a bounded number of bytes.
    static std::optional<AviSoundFormat> readWaveFormat(QIODevice &device);
    static std::optional<AviSoundFormat> readWaveFile(const QString &path);

    // A format record: WAVEFORMATEX, or WAVEFORMATEXTENSIBLE with its sub-format.
    static AviSoundFormat soundFormat(const char *bytes, qsizetype size);

private:
    // Reads up to size bytes at pos; fewer when the device ends or fails.
    qsizetype readAt(qint64 pos, char *into, qsizetype size);

    QIODevice &m_device;
    qint64 m_bytesRead = 0;
    int m_deviceReads = 0;
    QByteArray m_buffer;
    qint64 m_bufferStart = 0;
    bool m_bufferReachesEnd = false; // the device had no more after it
};

} // namespace lintaro
